#include <support/block_fixtures.h>

#include <cstdint>

#include <absl/container/flat_hash_map.h>

#include <vorna/mesh/surface_mesh_builder.h>

#include <support/fixtures.h>

namespace
{
    using namespace vorna;

    // Coordinate of grid step i of n along one axis: the ends are exact, so
    // points shared by two faces weld bit for bit.
    double grid_coordinate( double min, double max, index_t i, index_t n )
    {
        if( i == n )
        {
            return max;
        }
        return min + ( max - min ) * static_cast< double >( i ) / n;
    }

    // Adds grid points by integer coordinates, once each.
    class GridPoints
    {
      public:
        GridPoints( SurfaceMeshBuilder< 3 >& builder,
                    const Point3D& min,
                    const Point3D& max,
                    index_t cells )
            : builder_( builder ), min_( min ), max_( max ), cells_( cells )
        {
        }

        index_t vertex( std::array< index_t, 3 > grid )
        {
            const auto key = ( static_cast< std::uint64_t >( grid[0] ) << 42 ) |
                             ( static_cast< std::uint64_t >( grid[1] ) << 21 ) |
                             grid[2];
            const auto found = vertices_.find( key );
            if( found != vertices_.end() )
            {
                return found->second;
            }
            std::array< double, 3 > values;
            for( const index_t axis : { 0u, 1u, 2u } )
            {
                values[axis] = grid_coordinate( min_.value( axis ),
                                                max_.value( axis ),
                                                grid[axis],
                                                cells_ );
            }
            const auto vertex = builder_.create_point( Point3D{ values } );
            vertices_.emplace( key, vertex );
            return vertex;
        }

      private:
        SurfaceMeshBuilder< 3 >& builder_;
        Point3D min_;
        Point3D max_;
        index_t cells_;
        absl::flat_hash_map< std::uint64_t, index_t > vertices_;
    };

    // Face (axis, at max) of the box: cells x cells squares, two triangles
    // each; with axes b, c following `axis` cyclically, (b, c) order gives
    // a normal along +axis.
    void add_box_face( SurfaceMeshBuilder< 3 >& builder,
                       GridPoints& points,
                       index_t axis,
                       bool at_max,
                       index_t cells,
                       bool inward )
    {
        const index_t b = ( axis + 1 ) % 3;
        const index_t c = ( axis + 2 ) % 3;
        const bool flip = at_max == inward;
        for( index_t i = 0; i < cells; i++ )
        {
            for( index_t j = 0; j < cells; j++ )
            {
                const auto corner = [&]( index_t di, index_t dj )
                {
                    std::array< index_t, 3 > grid;
                    grid[axis] = at_max ? cells : 0;
                    grid[b] = i + di;
                    grid[c] = j + dj;
                    return points.vertex( grid );
                };
                const auto v00 = corner( 0, 0 );
                const auto v10 = corner( 1, 0 );
                const auto v11 = corner( 1, 1 );
                const auto v01 = corner( 0, 1 );
                if( flip )
                {
                    builder.create_polygon( { v00, v11, v10 } );
                    builder.create_polygon( { v00, v01, v11 } );
                }
                else
                {
                    builder.create_polygon( { v00, v10, v11 } );
                    builder.create_polygon( { v00, v11, v01 } );
                }
            }
        }
    }
} // namespace

namespace vorna
{
    namespace test
    {
        std::unique_ptr< SurfaceMesh< 3 > >
        make_box_mesh( const Point3D& min,
                       const Point3D& max,
                       index_t cells,
                       bool inward,
                       absl::string_view name )
        {
            auto mesh = empty_surface( true, name );
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            GridPoints points{ *builder, min, max, cells };
            for( const index_t axis : { 0u, 1u, 2u } )
            {
                for( const bool at_max : { false, true } )
                {
                    add_box_face(
                        *builder, points, axis, at_max, cells, inward );
                }
            }
            builder->compute_polygon_adjacencies();
            return mesh;
        }

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > >
        make_box_faces( const Point3D& min,
                        const Point3D& max,
                        index_t cells,
                        std::array< bool, 6 > inward,
                        absl::string_view name )
        {
            std::vector< std::unique_ptr< SurfaceMesh< 3 > > > faces;
            for( const index_t axis : { 0u, 1u, 2u } )
            {
                for( const bool at_max : { false, true } )
                {
                    auto mesh = empty_surface( true, name );
                    auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
                    GridPoints points{ *builder, min, max, cells };
                    add_box_face( *builder,
                                  points,
                                  axis,
                                  at_max,
                                  cells,
                                  inward[faces.size()] );
                    builder->compute_polygon_adjacencies();
                    faces.push_back( std::move( mesh ) );
                }
            }
            return faces;
        }

        LogCapture::LogCapture()
            : lines_{ std::make_shared< std::vector< Line > >() },
              previous_level_{ Logger::level() }
        {
            Logger::set_level( Logger::Level::trace );
            Logger::set_sink(
                [lines = lines_]( Logger::Level level, absl::string_view text )
                {
                    lines->push_back( { level, std::string{ text } } );
                } );
        }

        LogCapture::~LogCapture()
        {
            Logger::set_sink( {} );
            Logger::set_level( previous_level_ );
        }

        index_t LogCapture::count( Logger::Level level,
                                   absl::string_view text ) const
        {
            index_t result{ 0 };
            for( const auto& line : *lines_ )
            {
                if( line.level == level && line.text == text )
                {
                    result++;
                }
            }
            return result;
        }
    } // namespace test
} // namespace vorna
