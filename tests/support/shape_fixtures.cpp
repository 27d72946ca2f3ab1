#include <support/shape_fixtures.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/surface_mesh_builder.h>

#include <support/block_fixtures.h>
#include <support/fixtures.h>

namespace
{
    using namespace vorna;

    constexpr double PI = 3.141592653589793;

    // Every shape here is a stack of closed rings of vertices (one vertex
    // per angular step) stitched together, so it is built from index
    // arithmetic alone: no search for shared points.
    class RingMesh
    {
      public:
        using Ring = std::vector< index_t >;

        explicit RingMesh( index_t nb_steps ) : nb_steps_( nb_steps ) {}

        index_t add_point( const Point3D& point )
        {
            points_.push_back( point );
            return static_cast< index_t >( points_.size() - 1 );
        }

        Ring add_ring( const std::function< Point3D( index_t ) >& point_at )
        {
            Ring ring( nb_steps_ );
            for( index_t k = 0; k < nb_steps_; k++ )
            {
                ring[k] = add_point( point_at( k ) );
            }
            return ring;
        }

        // Quads (a_k, a_k+1, b_k+1, b_k): the normal runs along
        // (direction of increasing k) x (b - a).
        void stitch( const Ring& a, const Ring& b )
        {
            for( index_t k = 0; k < nb_steps_; k++ )
            {
                const auto next = ( k + 1 ) % nb_steps_;
                triangles_.push_back( { a[k], a[next], b[next] } );
                triangles_.push_back( { a[k], b[next], b[k] } );
            }
        }

        // Quads of a flat annulus in a plane z = constant, their normal
        // along +z when `up`.
        void stitch_flat( const Ring& inner, const Ring& outer, bool up )
        {
            if( up )
            {
                stitch( outer, inner );
            }
            else
            {
                stitch( inner, outer );
            }
        }

        // Triangles closing a flat ring around its centre, their normal
        // along +z when `up`.
        void fan( index_t centre, const Ring& ring, bool up )
        {
            for( index_t k = 0; k < nb_steps_; k++ )
            {
                const auto next = ( k + 1 ) % nb_steps_;
                if( up )
                {
                    triangles_.push_back( { centre, ring[k], ring[next] } );
                }
                else
                {
                    triangles_.push_back( { centre, ring[next], ring[k] } );
                }
            }
        }

        std::unique_ptr< SurfaceMesh< 3 > > build() const
        {
            auto mesh = test::empty_surface( true );
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            builder->create_vertices(
                static_cast< index_t >( points_.size() ) );
            for( index_t v = 0; v < points_.size(); v++ )
            {
                builder->set_point( v, points_[v] );
            }
            for( const auto& triangle : triangles_ )
            {
                builder->create_polygon( triangle );
            }
            builder->compute_polygon_adjacencies();
            return mesh;
        }

      private:
        index_t nb_steps_;
        std::vector< Point3D > points_;
        std::vector< std::array< index_t, 3 > > triangles_;
    };

    void check_resolution( index_t resolution, const char* operation )
    {
        if( resolution == 0 )
        {
            throw CorvaneException(
                "[", operation, "] Resolution must be 1 or more" );
        }
    }

    // Step i of n from -1 to 1, both ends exact.
    double level( index_t i, index_t n )
    {
        return i == n ? 1. : -1. + 2. * i / n;
    }

    // Point k of 4n on the circle of that radius, the first one at -45
    // degrees, so that each quarter faces one side of the square below.
    std::array< double, 2 > on_circle( double radius, index_t k, index_t n )
    {
        const auto angle = -PI / 4 + 2 * PI * k / ( 4 * n );
        return { radius * std::cos( angle ), radius * std::sin( angle ) };
    }

    // Point k of 4n on the square [-1, 1]^2, counterclockwise from (1, -1);
    // the coordinate constant along each side is exact, so each side stays
    // in its plane.
    std::array< double, 2 > on_square( index_t k, index_t n )
    {
        const auto t = 2. * ( k % n ) / n;
        switch( k / n )
        {
        case 0:
            return { 1., -1. + t };
        case 1:
            return { 1. - t, 1. };
        case 2:
            return { -1., 1. - t };
        default:
            return { -1. + t, -1. };
        }
    }

    Point3D at_height( const std::array< double, 2 > xy, double z )
    {
        return Point3D{ { xy[0], xy[1], z } };
    }

    // Rings up a wall from z = -1 to z = 1, n layers.
    std::vector< RingMesh::Ring >
    wall( RingMesh& mesh,
          index_t n,
          const std::function< std::array< double, 2 >( index_t ) >& outline )
    {
        std::vector< RingMesh::Ring > rings;
        for( index_t i = 0; i <= n; i++ )
        {
            rings.push_back( mesh.add_ring(
                [&outline, i, n]( index_t k )
                { return at_height( outline( k ), level( i, n ) ); } ) );
        }
        return rings;
    }
} // namespace

namespace vorna
{
    namespace test
    {
        std::unique_ptr< SurfaceMesh< 3 > >
        box_with_through_hole( index_t resolution )
        {
            check_resolution( resolution, "box_with_through_hole" );
            const auto n = resolution;
            const auto nb_rings = ( n + 1 ) / 2;
            RingMesh mesh{ 4 * n };
            const auto circle = [n]( index_t k )
            { return on_circle( 0.5, k, n ); };
            const auto square = [n]( index_t k ) { return on_square( k, n ); };
            const auto outer = wall( mesh, n, square );
            const auto inner = wall( mesh, n, circle );
            for( index_t i = 0; i < n; i++ )
            {
                mesh.stitch( outer[i], outer[i + 1] );
                mesh.stitch( inner[i + 1], inner[i] );
            }
            // Top and bottom: rings from the hole's rim to the box's.
            for( const bool top : { false, true } )
            {
                const auto z = top ? 1. : -1.;
                auto previous = top ? inner.back() : inner.front();
                for( index_t j = 1; j <= nb_rings; j++ )
                {
                    auto ring =
                        j == nb_rings
                            ? ( top ? outer.back() : outer.front() )
                            : mesh.add_ring(
                                  [&]( index_t k )
                                  {
                                      const auto c = circle( k );
                                      const auto s = square( k );
                                      const auto t =
                                          static_cast< double >( j ) / nb_rings;
                                      return at_height(
                                          { c[0] + t * ( s[0] - c[0] ),
                                            c[1] + t * ( s[1] - c[1] ) },
                                          z );
                                  } );
                    mesh.stitch_flat( previous, ring, top );
                    previous = std::move( ring );
                }
            }
            return mesh.build();
        }

        std::unique_ptr< SurfaceMesh< 3 > >
        closed_cylinder( index_t resolution )
        {
            check_resolution( resolution, "closed_cylinder" );
            const auto n = resolution;
            RingMesh mesh{ 4 * n };
            const auto side = wall(
                mesh, n, [n]( index_t k ) { return on_circle( 1., k, n ); } );
            for( index_t i = 0; i < n; i++ )
            {
                mesh.stitch( side[i], side[i + 1] );
            }
            for( const bool top : { false, true } )
            {
                const auto z = top ? 1. : -1.;
                auto previous = top ? side.back() : side.front();
                for( index_t j = n - 1; j >= 1; j-- )
                {
                    auto ring = mesh.add_ring(
                        [&]( index_t k ) {
                            return at_height(
                                on_circle(
                                    static_cast< double >( j ) / n, k, n ),
                                z );
                        } );
                    mesh.stitch_flat( ring, previous, top );
                    previous = std::move( ring );
                }
                const auto centre = mesh.add_point( Point3D{ { 0., 0., z } } );
                mesh.fan( centre, previous, top );
            }
            return mesh.build();
        }

        std::unique_ptr< SurfaceMesh< 3 > >
        box_with_sphere_cavity( index_t resolution )
        {
            check_resolution( resolution, "box_with_sphere_cavity" );
            auto mesh = make_box_mesh( Point3D{ { -1., -1., -1. } },
                                       Point3D{ { 1., 1., 1. } },
                                       resolution );
            const auto sphere = make_box_mesh( Point3D{ { -1., -1., -1. } },
                                               Point3D{ { 1., 1., 1. } },
                                               resolution,
                                               true );
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            const auto offset = mesh->nb_vertices();
            for( index_t v = 0; v < sphere->nb_vertices(); v++ )
            {
                const Point3D centre;
                const Vector3D radius{ centre, sphere->point( v ) };
                builder->create_point( centre +
                                       radius * ( 0.5 / radius.length() ) );
            }
            for( index_t p = 0; p < sphere->nb_polygons(); p++ )
            {
                auto vertices = sphere->polygon_vertices( p );
                for( auto& vertex : vertices )
                {
                    vertex += offset;
                }
                builder->create_polygon( vertices );
            }
            builder->compute_polygon_adjacencies();
            return mesh;
        }
    } // namespace test
} // namespace vorna
