#include <support/model_checks.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>
#include <absl/types/optional.h>

#include <vorna/geometry/mensuration.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/polygon_crossing.h>
#include <vorna/geometry/ray.h>
#include <vorna/geometry/tetrahedron.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/section.h>
#include <vorna/model/surface.h>

#include <support/check_failures.h>

namespace
{
    using namespace vorna;

    template < typename Range >
    void name_by_rank( absl::flat_hash_map< uuid, std::string >& names,
                       const Range& range,
                       absl::string_view kind )
    {
        index_t rank{ 0 };
        for( const auto& component : range )
        {
            names.emplace( component.id(), absl::StrCat( kind, rank++ ) );
        }
    }

    template < typename Model >
    absl::flat_hash_map< uuid, std::string >
    corner_line_and_surface_names( const Model& model )
    {
        absl::flat_hash_map< uuid, std::string > names;
        name_by_rank( names, model.corners(), "c" );
        name_by_rank( names, model.lines(), "l" );
        name_by_rank( names, model.surfaces(), "s" );
        return names;
    }

    template < typename Model >
    auto corner_line_or_surface_point( const Model& model,
                                       const ComponentMeshVertex& vertex )
    {
        const auto& type = vertex.component_id.type().get();
        const auto& id = vertex.component_id.id();
        if( type == "Corner" )
        {
            return model.corner( id ).mesh().point( vertex.vertex );
        }
        if( type == "Line" )
        {
            return model.line( id ).mesh().point( vertex.vertex );
        }
        return model.surface( id ).mesh().point( vertex.vertex );
    }
} // namespace

namespace vorna
{
    namespace test
    {
        Point3D component_point( const BRep& brep,
                                 const ComponentMeshVertex& vertex )
        {
            if( vertex.component_id.type().get() == "Block" )
            {
                return brep.block( vertex.component_id.id() )
                    .mesh()
                    .point( vertex.vertex );
            }
            return corner_line_or_surface_point( brep, vertex );
        }

        bool ModelCounts::operator==( const ModelCounts& other ) const
        {
            return corners == other.corners && lines == other.lines &&
                   surfaces == other.surfaces && blocks == other.blocks;
        }

        ModelCounts counts_of( const BRep& brep )
        {
            return { brep.nb_corners(),
                     brep.nb_lines(),
                     brep.nb_surfaces(),
                     brep.nb_blocks() };
        }

        void PrintTo( const ModelCounts& counts, std::ostream* out )
        {
            *out << counts.corners << " corners, " << counts.lines << " lines, "
                 << counts.surfaces << " surfaces, " << counts.blocks
                 << " blocks";
        }

        absl::flat_hash_map< uuid, std::string >
        component_names( const BRep& brep )
        {
            auto names = corner_line_and_surface_names( brep );
            name_by_rank( names, brep.blocks(), "b" );
            return names;
        }

        absl::flat_hash_map< uuid, std::string >
        component_names( const Section& section )
        {
            return corner_line_and_surface_names( section );
        }

        double fan_volume( const SurfaceMesh< 3 >& mesh, const Point3D& apex )
        {
            double volume{ 0.0 };
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto& first =
                    mesh.point( mesh.polygon_vertex( { p, 0 } ) );
                for( local_index_t k = 1; k + 1 < mesh.nb_polygon_vertices( p );
                     k++ )
                {
                    volume += tetrahedron_signed_volume( Tetrahedron{
                        first,
                        mesh.point( mesh.polygon_vertex( { p, k } ) ),
                        mesh.point( mesh.polygon_vertex(
                            { p, static_cast< local_index_t >( k + 1 ) } ) ),
                        apex } );
                }
            }
            return volume;
        }
    } // namespace test
} // namespace vorna

namespace
{
    using namespace vorna;

    constexpr double POINT_TOLERANCE = 1e-6;

    using UniquePair = std::pair< index_t, index_t >;

    UniquePair sorted_pair( index_t first, index_t second )
    {
        return first < second ? UniquePair{ first, second }
                              : UniquePair{ second, first };
    }

    double distance( const Point3D& a, const Point3D& b )
    {
        return Vector3D{ a, b }.length();
    }

    Point3D point_of( const BRep& brep, const ComponentMeshVertex& vertex )
    {
        return test::component_point( brep, vertex );
    }

    Point2D point_of( const Section& section,
                      const ComponentMeshVertex& vertex )
    {
        return corner_line_or_surface_point( section, vertex );
    }

    // What the BRep and Section checks share: the unique vertices of the
    // component vertices, and the edges of lines and surfaces taken by the
    // unique vertices of their ends.
    template < typename Model, index_t D >
    class ModelChecker : public test::CheckFailures
    {
      protected:
        explicit ModelChecker( const Model& model ) : model_( model ) {}

        template < typename Component >
        void check_vertices( const Component& component )
        {
            const auto& mesh = component.mesh();
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                check_vertex( { component.component_id(), v },
                              mesh.point( v ) );
            }
        }

        index_t unique_of( const ComponentID& component, index_t vertex ) const
        {
            return model_.unique_vertex( { component, vertex } );
        }

        UniquePair unique_pair( const ComponentID& component,
                                const std::array< index_t, 2 >& vertices ) const
        {
            return sorted_pair( unique_of( component, vertices[0] ),
                                unique_of( component, vertices[1] ) );
        }

        /// The line's edges as unique vertex pairs, in edge order.
        std::vector< UniquePair > line_pairs( const Line< D >& line ) const
        {
            std::vector< UniquePair > pairs;
            const auto& mesh = line.mesh();
            for( index_t e = 0; e < mesh.nb_edges(); e++ )
            {
                pairs.push_back( unique_pair( line.component_id(),
                                              mesh.edge_vertices( e ) ) );
            }
            return pairs;
        }

        /// Calls visit( pair, on_border ) on every polygon edge of the
        /// surface's mesh.
        template < typename Visit >
        void for_each_surface_edge( const Surface< D >& surface,
                                    const Visit& visit ) const
        {
            const auto& mesh = surface.mesh();
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    visit(
                        unique_pair( surface.component_id(),
                                     mesh.polygon_edge_vertices( { p, e } ) ),
                        mesh.is_edge_on_border( { p, e } ) );
                }
            }
        }

        /// The vertices where the line ends (of degree one), after failing on
        /// its other vertices of a degree other than two; none for a line
        /// without edge, which fails.
        absl::optional< std::vector< index_t > >
        line_ends( const Line< D >& line )
        {
            const auto& mesh = line.mesh();
            if( mesh.nb_edges() == 0 )
            {
                fail( "line ", line.id().string(), " has no edge" );
                return absl::nullopt;
            }
            std::vector< index_t > ends;
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                const auto degree = mesh.edges_around_vertex( v ).size();
                if( degree == 1 )
                {
                    ends.push_back( v );
                }
                else if( degree != 2 )
                {
                    fail( "line ",
                          line.id().string(),
                          " vertex ",
                          v,
                          " has degree ",
                          degree );
                }
            }
            return ends;
        }

        const Model& model_;

      private:
        void check_vertex( const ComponentMeshVertex& vertex,
                           const Point< D >& point )
        {
            const auto unique = model_.unique_vertex( vertex );
            if( unique == INVALID_INDEX )
            {
                fail( vertex.component_id.string(),
                      " vertex ",
                      vertex.vertex,
                      " has no unique vertex" );
                return;
            }
            const auto& linked = model_.component_mesh_vertices( unique );
            if( std::find( linked.begin(), linked.end(), vertex ) ==
                linked.end() )
            {
                fail( vertex.component_id.string(),
                      " vertex ",
                      vertex.vertex,
                      " is not listed by its unique vertex ",
                      unique );
            }
            for( const auto& other : linked )
            {
                if( Vector< D >{ point_of( model_, other ), point }.length() >
                    POINT_TOLERANCE )
                {
                    fail( "unique vertex ",
                          unique,
                          " ties ",
                          vertex.component_id.string(),
                          " vertex ",
                          vertex.vertex,
                          " to the distant ",
                          other.component_id.string(),
                          " vertex ",
                          other.vertex );
                }
            }
        }
    };

    class Checker : public ModelChecker< BRep, 3 >
    {
      public:
        explicit Checker( const BRep& brep ) : ModelChecker< BRep, 3 >( brep )
        {
        }

        ::testing::AssertionResult run()
        {
            for( const auto& corner : model_.corners() )
            {
                check_vertices( corner );
            }
            for( const auto& line : model_.lines() )
            {
                check_vertices( line );
                check_line_ends( line );
            }
            for( const auto& surface : model_.surfaces() )
            {
                check_vertices( surface );
                check_surface( surface );
            }
            for( const auto& block : model_.blocks() )
            {
                check_vertices( block );
                check_block( block );
            }
            return result();
        }

      private:
        void check_line_ends( const Line< 3 >& line )
        {
            const auto ends = line_ends( line );
            if( !ends )
            {
                return;
            }
            for( const auto v : *ends )
            {
                // An open end, or the two ends of a closed line where it
                // starts again.
                const auto unique = unique_of( line.component_id(), v );
                if( unique == INVALID_INDEX )
                {
                    continue;
                }
                bool bounded{ false };
                for( const auto& vertex :
                     model_.component_mesh_vertices( unique ) )
                {
                    if( vertex.component_id.type().get() == "Corner" &&
                        model_.is_boundary( vertex.component_id.id(),
                                            line.id() ) )
                    {
                        bounded = true;
                    }
                }
                if( !bounded && !is_closed_at( line, unique, v ) )
                {
                    fail( "line ",
                          line.id().string(),
                          " end vertex ",
                          v,
                          " is no corner bounding it" );
                }
            }
        }

        // A closed line without corner starts and ends at one unique vertex.
        bool
        is_closed_at( const Line< 3 >& line, index_t unique, index_t end ) const
        {
            const auto& mesh = line.mesh();
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                if( v != end && mesh.edges_around_vertex( v ).size() == 1 &&
                    unique_of( line.component_id(), v ) == unique )
                {
                    return true;
                }
            }
            return false;
        }

        absl::flat_hash_set< UniquePair >
        line_edge_pairs( const uuid& line_id ) const
        {
            const auto pairs = line_pairs( model_.line( line_id ) );
            return { pairs.begin(), pairs.end() };
        }

        // The edges of a surface's mesh by the unique vertices of their
        // ends: how many polygon edges run along each, and which of those
        // are borders.
        struct SurfaceEdges
        {
            absl::flat_hash_map< UniquePair, index_t > uses;
            absl::flat_hash_set< UniquePair > borders;
        };

        SurfaceEdges surface_edges( const Surface< 3 >& surface ) const
        {
            SurfaceEdges edges;
            for_each_surface_edge(
                surface,
                [&edges]( const UniquePair& pair, bool border )
                {
                    edges.uses[pair]++;
                    if( border )
                    {
                        edges.borders.insert( pair );
                    }
                } );
            return edges;
        }

        void check_surface( const Surface< 3 >& surface )
        {
            const auto edges = surface_edges( surface );
            absl::flat_hash_set< UniquePair > boundary_pairs;
            for( const auto& line : model_.boundaries( surface.id() ) )
            {
                for( const auto& pair : line_edge_pairs( line.id() ) )
                {
                    boundary_pairs.insert( pair );
                    if( !edges.borders.contains( pair ) )
                    {
                        fail( "surface ",
                              surface.id().string(),
                              ": its boundary line ",
                              line.id().string(),
                              " runs along no border edge between unique "
                              "vertices ",
                              pair.first,
                              " and ",
                              pair.second );
                    }
                }
            }
            absl::flat_hash_set< UniquePair > internal_pairs;
            for( const auto& line : model_.internals( surface.id() ) )
            {
                if( line.type().get() != "Line" )
                {
                    continue;
                }
                // A line both bounding and internal to the surface bounds it
                // along some edges: those have one side.
                const index_t needed =
                    model_.is_boundary( line.id(), surface.id() ) ? 1 : 2;
                for( const auto& pair : line_edge_pairs( line.id() ) )
                {
                    internal_pairs.insert( pair );
                    const auto found = edges.uses.find( pair );
                    const index_t sides =
                        found == edges.uses.end() ? 0 : found->second;
                    if( sides < needed )
                    {
                        fail( "surface ",
                              surface.id().string(),
                              ": its internal line ",
                              line.id().string(),
                              " has ",
                              sides,
                              " polygon edges between unique vertices ",
                              pair.first,
                              " and ",
                              pair.second,
                              ", not one on each side" );
                    }
                }
            }
            // The surface's own border: its border edges that no internal
            // line cut open.
            absl::flat_hash_set< index_t > border_vertices;
            for( const auto& pair : edges.borders )
            {
                if( !boundary_pairs.contains( pair ) &&
                    !internal_pairs.contains( pair ) )
                {
                    fail( "surface ",
                          surface.id().string(),
                          ": border edge between unique vertices ",
                          pair.first,
                          " and ",
                          pair.second,
                          " runs along none of its lines" );
                }
                if( !internal_pairs.contains( pair ) ||
                    boundary_pairs.contains( pair ) )
                {
                    border_vertices.insert( pair.first );
                    border_vertices.insert( pair.second );
                }
            }
            for( const auto& corner : model_.internals( surface.id() ) )
            {
                if( corner.type().get() != "Corner" )
                {
                    continue;
                }
                const auto unique = unique_of( corner, 0 );
                if( border_vertices.contains( unique ) )
                {
                    fail( "surface ",
                          surface.id().string(),
                          ": corner ",
                          corner.id().string(),
                          " is internal to it but lies on its border" );
                }
            }
        }

        void check_block( const Block< 3 >& block )
        {
            std::vector< uuid > surfaces;
            for( const auto& boundary : model_.boundaries( block.id() ) )
            {
                surfaces.push_back( boundary.id() );
            }
            if( surfaces.empty() )
            {
                fail( "block ", block.id().string(), " has no boundary" );
                return;
            }
            // At each edge of a line, the polygon edges along it of the
            // boundary surfaces that the line bounds or lies in: a surface
            // that meets itself along a line brings more than two.
            absl::flat_hash_map< std::pair< uuid, UniquePair >, index_t >
                sheets;
            for( const auto& surface_id : surfaces )
            {
                const auto uses =
                    surface_edges( model_.surface( surface_id ) ).uses;
                absl::flat_hash_set< uuid > lines;
                for( const auto& line : model_.boundaries( surface_id ) )
                {
                    lines.insert( line.id() );
                }
                for( const auto& line : model_.internals( surface_id ) )
                {
                    if( line.type().get() == "Line" )
                    {
                        lines.insert( line.id() );
                    }
                }
                for( const auto& line : lines )
                {
                    for( const auto& pair : line_pairs( model_.line( line ) ) )
                    {
                        const auto found = uses.find( pair );
                        sheets[{ line, pair }] +=
                            found == uses.end() ? 0 : found->second;
                    }
                }
            }
            for( const auto& count : sheets )
            {
                if( count.second % 2 != 0 )
                {
                    fail( "block ",
                          block.id().string(),
                          ": line ",
                          count.first.first.string(),
                          " meets ",
                          count.second,
                          " sheets of its boundary surfaces between unique "
                          "vertices ",
                          count.first.second.first,
                          " and ",
                          count.first.second.second );
                }
            }
            check_closed_shells( block, surfaces );
            check_block_volume( block, surfaces );
        }

        // Every polygon edge of the block's boundary surfaces, taken by its
        // unique vertices, is used an even number of times.
        void check_closed_shells( const Block< 3 >& block,
                                  const std::vector< uuid >& surfaces )
        {
            absl::flat_hash_map< UniquePair, index_t > uses;
            for( const auto& surface_id : surfaces )
            {
                for_each_surface_edge( model_.surface( surface_id ),
                                       [&uses]( const UniquePair& pair, bool )
                                       { uses[pair]++; } );
            }
            for( const auto& edge : uses )
            {
                if( edge.second % 2 != 0 )
                {
                    fail( "block ",
                          block.id().string(),
                          ": the edge between unique vertices ",
                          edge.first.first,
                          " and ",
                          edge.first.second,
                          " is used by ",
                          edge.second,
                          " polygons of its boundary surfaces" );
                }
            }
        }

        // Volume of the block from its boundary, each surface taken from the
        // side that faces the block (found by ray parity from a point just
        // in front of one of its polygons).
        void check_block_volume( const Block< 3 >& block,
                                 const std::vector< uuid >& surfaces )
        {
            const auto reference =
                model_.surface( surfaces.front() ).mesh().point( 0 );
            // Offsets and volumes scale with the block: models in metres
            // hold millimetre shells.
            double extent{ 0.0 };
            for( const auto& surface_id : surfaces )
            {
                const auto& mesh = model_.surface( surface_id ).mesh();
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    extent = std::max( extent,
                                       distance( reference, mesh.point( v ) ) );
                }
            }
            const auto offset = 1e-3 * extent;
            double total{ 0.0 };
            for( const auto& surface_id : surfaces )
            {
                const auto& mesh = model_.surface( surface_id ).mesh();
                index_t largest{ 0 };
                for( index_t p = 1; p < mesh.nb_polygons(); p++ )
                {
                    if( mesh.polygon_area( p ) > mesh.polygon_area( largest ) )
                    {
                        largest = p;
                    }
                }
                const auto normal = unit_normal( mesh, largest, extent );
                const auto probe = mesh.polygon_barycenter( largest ) +
                                   Point3D{ { normal.value( 0 ) * offset,
                                              normal.value( 1 ) * offset,
                                              normal.value( 2 ) * offset } };
                const auto front_inside = is_inside( probe, surfaces );
                if( !front_inside )
                {
                    fail( "block ",
                          block.id().string(),
                          ": every probe ray from surface ",
                          surface_id.string(),
                          " runs through a polygon edge or along a polygon" );
                    return;
                }
                const auto volume = test::fan_volume( mesh, reference );
                total += front_inside.value() ? volume : -volume;
            }
            if( !( total > 1e-9 * extent * extent * extent ) )
            {
                fail( "block ",
                      block.id().string(),
                      " encloses no positive volume: ",
                      total );
            }
        }

        // The polygon's normal, measured on points divided by the block's
        // extent, so that no block is too small for it.
        static Vector3D unit_normal( const SurfaceMesh< 3 >& mesh,
                                     index_t polygon,
                                     double extent )
        {
            const auto vertices = mesh.polygon_vertices( polygon );
            const auto& first = mesh.point( vertices.front() );
            const auto shrunk = [&]( index_t vertex )
            {
                const Vector3D along{ first, mesh.point( vertex ) };
                return along / extent;
            };
            Vector3D sum;
            for( index_t k = 1; k + 1 < vertices.size(); k++ )
            {
                sum += shrunk( vertices[k] ).cross( shrunk( vertices[k + 1] ) );
            }
            return sum.normalize();
        }

        // Parity of the crossings of a ray from the point with the
        // surfaces' polygons. Each crossing counts, so coincident sheets
        // (a duplicated polygon, a fin folded onto itself) count once each;
        // a ray through an edge or a vertex, or along a plane, would count
        // its polygons ambiguously, so another direction is taken then.
        // Empty when every direction is ambiguous.
        absl::optional< bool >
        is_inside( const Point3D& point,
                   const std::vector< uuid >& surfaces ) const
        {
            static const std::array< Vector3D, 4 > directions{
                Vector3D{ { 0.8123, 0.4321, 0.3917 } },
                Vector3D{ { -0.3123, 0.7321, -0.5917 } },
                Vector3D{ { 0.5477, -0.6691, 0.5023 } },
                Vector3D{ { -0.7219, -0.2883, 0.6291 } } };
            std::vector< Point3D > polygon;
            for( const auto& direction : directions )
            {
                const Ray3D ray{ direction, point };
                index_t nb_crossings{ 0 };
                bool clear{ true };
                for( const auto& surface_id : surfaces )
                {
                    const auto& mesh = model_.surface( surface_id ).mesh();
                    for( index_t p = 0; clear && p < mesh.nb_polygons(); p++ )
                    {
                        polygon.clear();
                        for( const auto v : mesh.polygon_vertices( p ) )
                        {
                            polygon.push_back( mesh.point( v ) );
                        }
                        if( const auto crossing =
                                polygon_crossing( polygon, ray ) )
                        {
                            clear = crossing->position == Position::inside;
                            nb_crossings++;
                        }
                    }
                }
                if( clear )
                {
                    return nb_crossings % 2 == 1;
                }
            }
            return absl::nullopt;
        }
    };

    double tolerance( const Point3D& at )
    {
        double largest{ 1 };
        for( const index_t axis : { 0u, 1u, 2u } )
        {
            largest = std::max( largest, std::abs( at.value( axis ) ) );
        }
        return POINT_TOLERANCE * largest;
    }

    bool close( const Point3D& a, const Point3D& b )
    {
        return distance( a, b ) <= tolerance( a );
    }

    // Each point of `from` lies near a point of `to`.
    bool covered( absl::Span< const Point3D > from,
                  absl::Span< const Point3D > to )
    {
        return std::all_of( from.begin(),
                            from.end(),
                            [&to]( const Point3D& a )
                            {
                                return std::any_of( to.begin(),
                                                    to.end(),
                                                    [&a]( const Point3D& b )
                                                    { return close( a, b ); } );
                            } );
    }

    bool same_points( absl::Span< const Point3D > a,
                      absl::Span< const Point3D > b )
    {
        return covered( a, b ) && covered( b, a );
    }

    template < typename List >
    bool has_repeats( const List& values )
    {
        for( auto it = values.begin(); it != values.end(); ++it )
        {
            if( std::find( std::next( it ), values.end(), *it ) !=
                values.end() )
            {
                return true;
            }
        }
        return false;
    }

    class MappingChecker : public test::CheckFailures
    {
      public:
        MappingChecker(
            const BRep& brep,
            const GenericMapping< MeshVertex, ComponentMeshVertex >& vertices,
            const GenericMapping< MeshElement, ComponentMeshElement >&
                elements )
            : brep_( brep ), vertices_( vertices ), elements_( elements )
        {
        }

        ::testing::AssertionResult run( test::SurfaceInputs surfaces,
                                        test::CurveInputs curves )
        {
            // A mesh listed twice has the same keys: checked once.
            absl::flat_hash_set< uuid > checked;
            for( const auto& surface : surfaces )
            {
                if( checked.insert( surface.get().id() ).second )
                {
                    check_surface_input( surface.get() );
                }
            }
            for( const auto& curve : curves )
            {
                if( checked.insert( curve.get().id() ).second )
                {
                    check_curve_input( curve.get() );
                }
            }
            for( const auto& entry : vertices_.out2in_map() )
            {
                if( !point_of( entry.first ) )
                {
                    fail( "mapped vertex ",
                          entry.first.component_id.string(),
                          " ",
                          entry.first.vertex,
                          " is no vertex of the model" );
                }
            }
            for( const auto& entry : elements_.out2in_map() )
            {
                if( !element_points( entry.first ) )
                {
                    fail( "mapped element ",
                          entry.first.component_id.string(),
                          " ",
                          entry.first.element,
                          " is no element of the model" );
                }
            }
            return result();
        }

      private:
        absl::optional< Point3D >
        point_of( const ComponentMeshVertex& vertex ) const
        {
            const auto& id = vertex.component_id.id();
            const auto& type = vertex.component_id.type().get();
            if( type == "Surface" && brep_.has_surface( id ) &&
                vertex.vertex < brep_.surface( id ).mesh().nb_vertices() )
            {
                return brep_.surface( id ).mesh().point( vertex.vertex );
            }
            if( type == "Line" && brep_.has_line( id ) &&
                vertex.vertex < brep_.line( id ).mesh().nb_vertices() )
            {
                return brep_.line( id ).mesh().point( vertex.vertex );
            }
            return absl::nullopt;
        }

        // The points of a surface polygon or line edge of the model.
        absl::optional< std::vector< Point3D > >
        element_points( const ComponentMeshElement& element ) const
        {
            const auto& id = element.component_id.id();
            const auto& type = element.component_id.type().get();
            std::vector< Point3D > points;
            if( type == "Surface" && brep_.has_surface( id ) &&
                element.element < brep_.surface( id ).mesh().nb_polygons() )
            {
                const auto& mesh = brep_.surface( id ).mesh();
                for( const auto v : mesh.polygon_vertices( element.element ) )
                {
                    points.push_back( mesh.point( v ) );
                }
                return points;
            }
            if( type == "Line" && brep_.has_line( id ) &&
                element.element < brep_.line( id ).mesh().nb_edges() )
            {
                const auto& mesh = brep_.line( id ).mesh();
                for( const auto v : mesh.edge_vertices( element.element ) )
                {
                    points.push_back( mesh.point( v ) );
                }
                return points;
            }
            return absl::nullopt;
        }

        void check_vertex( const MeshVertex& key,
                           bool used,
                           const Point3D& point,
                           absl::string_view type,
                           absl::string_view what )
        {
            if( !vertices_.has_mapping_input( key ) )
            {
                if( used )
                {
                    fail( what, " vertex ", key.vertex, " is not mapped" );
                }
                return;
            }
            const auto& values = vertices_.in2out( key );
            if( has_repeats( values ) )
            {
                fail( what, " vertex ", key.vertex, " lists a value twice" );
            }
            for( const auto& value : values )
            {
                const auto at = point_of( value );
                if( value.component_id.type().get() != type || !at ||
                    !close( point, *at ) )
                {
                    fail( what,
                          " vertex ",
                          key.vertex,
                          " maps to ",
                          value.component_id.string(),
                          " vertex ",
                          value.vertex,
                          ", no ",
                          type,
                          " vertex at its point" );
                }
            }
        }

        void check_element( const MeshElement& key,
                            const std::vector< Point3D >& points,
                            absl::string_view type,
                            absl::string_view what )
        {
            if( !elements_.has_mapping_input( key ) )
            {
                fail( what, " ", key.element, " is not mapped" );
                return;
            }
            const auto& values = elements_.in2out( key );
            if( values.size() != 1 )
            {
                fail( what,
                      " ",
                      key.element,
                      " maps to ",
                      values.size(),
                      " elements, not one" );
            }
            for( const auto& value : values )
            {
                const auto at = element_points( value );
                if( value.component_id.type().get() != type || !at ||
                    !same_points( points, *at ) )
                {
                    fail( what,
                          " ",
                          key.element,
                          " maps to ",
                          value.component_id.string(),
                          " element ",
                          value.element,
                          ", not on its points" );
                }
            }
        }

        void check_surface_input( const SurfaceMesh< 3 >& input )
        {
            const auto what = absl::StrCat( "mesh '", input.name(), "'" );
            for( index_t v = 0; v < input.nb_vertices(); v++ )
            {
                check_vertex( { input.id(), v },
                              !input.polygons_around_vertex( v ).empty(),
                              input.point( v ),
                              "Surface",
                              what );
            }
            std::vector< Point3D > points;
            for( index_t p = 0; p < input.nb_polygons(); p++ )
            {
                points.clear();
                for( const auto v : input.polygon_vertices( p ) )
                {
                    points.push_back( input.point( v ) );
                }
                check_element( { input.id(), p },
                               points,
                               "Surface",
                               absl::StrCat( what, " polygon" ) );
            }
        }

        void check_curve_input( const EdgedCurve< 3 >& curve )
        {
            const auto what = absl::StrCat( "curve '", curve.name(), "'" );
            for( index_t v = 0; v < curve.nb_vertices(); v++ )
            {
                check_vertex( { curve.id(), v },
                              !curve.edges_around_vertex( v ).empty(),
                              curve.point( v ),
                              "Line",
                              what );
            }
            for( index_t e = 0; e < curve.nb_edges(); e++ )
            {
                const auto& ends = curve.edge_vertices( e );
                check_element(
                    { curve.id(), e },
                    { curve.point( ends[0] ), curve.point( ends[1] ) },
                    "Line",
                    absl::StrCat( what, " edge" ) );
            }
        }

        const BRep& brep_;
        const GenericMapping< MeshVertex, ComponentMeshVertex >& vertices_;
        const GenericMapping< MeshElement, ComponentMeshElement >& elements_;
    };
} // namespace

namespace vorna
{
    namespace test
    {
        ::testing::AssertionResult check_brep_consistency( const BRep& brep )
        {
            return Checker{ brep }.run();
        }

        ::testing::AssertionResult check_mappings(
            const BRep& brep,
            const GenericMapping< MeshVertex, ComponentMeshVertex >&
                vertex_mapping,
            const GenericMapping< MeshElement, ComponentMeshElement >&
                element_mapping,
            SurfaceInputs surfaces,
            CurveInputs curves )
        {
            return MappingChecker{ brep, vertex_mapping, element_mapping }.run(
                surfaces, curves );
        }

        ::testing::AssertionResult
        check_conversion( const BRepConversionResult& result,
                          SurfaceInputs surfaces,
                          CurveInputs curves )
        {
            const auto& brep = std::get< 0 >( result );
            auto model = check_brep_consistency( brep );
            auto mappings = check_mappings( brep,
                                            std::get< 1 >( result ),
                                            std::get< 2 >( result ),
                                            surfaces,
                                            curves );
            if( model && mappings )
            {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure()
                   << ( model ? "" : model.message() )
                   << ( mappings ? "" : mappings.message() );
        }
    } // namespace test
} // namespace vorna

namespace
{
    class SectionChecker : public ModelChecker< Section, 2 >
    {
      public:
        explicit SectionChecker( const Section& section )
            : ModelChecker< Section, 2 >( section )
        {
        }

        ::testing::AssertionResult run()
        {
            for( const auto& corner : model_.corners() )
            {
                if( corner.mesh().nb_vertices() != 1 )
                {
                    fail( "corner ",
                          corner.id().string(),
                          " has ",
                          corner.mesh().nb_vertices(),
                          " vertices" );
                }
                check_vertices( corner );
            }
            for( const auto& line : model_.lines() )
            {
                check_vertices( line );
                check_line( line );
            }
            for( const auto& surface : model_.surfaces() )
            {
                check_vertices( surface );
                check_surface( surface );
            }
            for( const auto& boundary : model_.model_boundaries() )
            {
                for( const auto& line : model_.items( boundary ) )
                {
                    if( model_.nb_incidences( line.id() ) != 1 )
                    {
                        fail( "line ",
                              line.id().string(),
                              " of a model boundary bounds ",
                              model_.nb_incidences( line.id() ),
                              " surfaces" );
                    }
                }
            }
            return result();
        }

      private:
        void check_line( const Line< 2 >& line )
        {
            const auto ends = line_ends( line );
            if( !ends )
            {
                return;
            }
            std::vector< index_t > end_uniques;
            for( const auto v : *ends )
            {
                end_uniques.push_back( unique_of( line.component_id(), v ) );
            }
            if( end_uniques.size() != 2 )
            {
                fail( "line ",
                      line.id().string(),
                      " has ",
                      end_uniques.size(),
                      " ends" );
                return;
            }
            std::vector< index_t > corner_uniques;
            for( const auto& corner : model_.boundaries( line ) )
            {
                const auto unique = unique_of( corner.component_id(), 0 );
                corner_uniques.push_back( unique );
                if( std::find( end_uniques.begin(),
                               end_uniques.end(),
                               unique ) == end_uniques.end() )
                {
                    fail( "corner ",
                          corner.id().string(),
                          " bounds line ",
                          line.id().string(),
                          " away from its ends" );
                }
            }
            const bool closed = end_uniques[0] == end_uniques[1];
            for( const auto end : end_uniques )
            {
                if( std::find( corner_uniques.begin(),
                               corner_uniques.end(),
                               end ) == corner_uniques.end() &&
                    !( closed && corner_uniques.empty() ) )
                {
                    fail( "line ",
                          line.id().string(),
                          " ends at unique vertex ",
                          end,
                          " where no corner bounds it" );
                }
            }
        }

        void check_surface( const Surface< 2 >& surface )
        {
            absl::flat_hash_map< UniquePair, index_t > border_counts;
            for_each_surface_edge(
                surface,
                [&border_counts]( const UniquePair& pair, bool border )
                {
                    if( border )
                    {
                        border_counts[pair]++;
                    }
                } );
            absl::flat_hash_set< UniquePair > along_lines;
            // expected: the number of border edges along each line edge, or
            // 0 for "at least one" (a line both bounding and internal).
            const auto expect_along =
                [&]( const Line< 2 >& line, index_t expected )
            {
                for( const auto& pair : line_pairs( line ) )
                {
                    along_lines.insert( pair );
                    const auto found = border_counts.find( pair );
                    const auto count =
                        found == border_counts.end() ? 0u : found->second;
                    if( expected == 0 ? count == 0 : count != expected )
                    {
                        fail( "line ",
                              line.id().string(),
                              " runs along ",
                              count,
                              " border edges of surface ",
                              surface.id().string(),
                              " at one of its edges" );
                    }
                }
            };
            for( const auto& line : model_.boundaries( surface ) )
            {
                const bool both = model_.is_internal( line, surface );
                expect_along( line, both ? 0 : 1 );
            }
            for( const auto& line : model_.internal_lines( surface ) )
            {
                const bool both = model_.is_boundary( line, surface );
                expect_along( line, both ? 0 : 2 );
            }
            for( const auto& border : border_counts )
            {
                if( !along_lines.contains( border.first ) )
                {
                    fail( "surface ",
                          surface.id().string(),
                          " has a border edge between unique vertices ",
                          border.first.first,
                          " and ",
                          border.first.second,
                          " along none of its lines" );
                }
            }
        }
    };
} // namespace

namespace vorna
{
    namespace test
    {
        ::testing::AssertionResult
        check_section_consistency( const Section& section )
        {
            return SectionChecker{ section }.run();
        }
    } // namespace test
} // namespace vorna
