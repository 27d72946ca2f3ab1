#include <algorithm>
#include <functional>
#include <limits>
#include <numeric>
#include <string>

#include <gtest/gtest.h>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <support/conversion_test.h>
#include <support/cube_tables.h>
#include <support/expect_error.h>
#include <support/mesh_queries.h>
#include <support/model_checks.h>
#include <support/property_seeds.h>
#include <support/solid_fixtures.h>

#include <vorna/conversion/model/brep_from_solid_elements_builder.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/surface.h>

namespace
{
    using namespace vorna;
    using Builder = detail::BRepFromSolidElementsBuilder;
    using Positions = absl::flat_hash_map< uuid, std::vector< index_t > >;

    using test::border_edges;
    using test::facets_where;
    using test::plane;
    using test::tetrahedral_grid;

    /// Runs every step.
    Positions build_all( BRep& model,
                         const SolidMesh< 3 >& solid,
                         absl::Span< const index_t > lines,
                         absl::Span< const index_t > facets )
    {
        Builder builder{ model, solid, lines, facets };
        builder.build();
        builder.build_whole_surface_step();
        return builder.build_surfaces();
    }

    const uuid& only_surface( const BRep& model )
    {
        return model.surfaces().begin()->id();
    }

    /// Empty when every surface whose polygons can be oriented alike is:
    /// two polygons joined along an edge run it in opposite directions.
    /// Otherwise the first surface that is not, with its number of edges run
    /// the same way on both sides.
    std::string unoriented_surface( const BRep& model )
    {
        for( const auto& surface : model.surfaces() )
        {
            const auto& mesh = surface.mesh();
            // Per polygon, whether it must flip to agree with the first
            // polygon of its part; -1 while unvisited.
            std::vector< int > flip( mesh.nb_polygons(), -1 );
            bool orientable{ true };
            index_t nb_same_way{ 0 };
            for( index_t seed = 0; seed < mesh.nb_polygons(); seed++ )
            {
                if( flip[seed] >= 0 )
                {
                    continue;
                }
                flip[seed] = 0;
                std::vector< index_t > to_visit{ seed };
                while( !to_visit.empty() )
                {
                    const auto p = to_visit.back();
                    to_visit.pop_back();
                    for( local_index_t e = 0; e < mesh.nb_polygon_edges( p );
                         e++ )
                    {
                        const auto across =
                            mesh.polygon_adjacent_edge( { p, e } );
                        if( !across )
                        {
                            continue;
                        }
                        const bool same_way =
                            mesh.polygon_edge_vertices( { p, e } )[0] ==
                            mesh.polygon_edge_vertices( *across )[0];
                        nb_same_way += same_way ? 1 : 0;
                        const int wanted = flip[p] ^ ( same_way ? 1 : 0 );
                        auto& other = flip[across->polygon_id];
                        if( other < 0 )
                        {
                            other = wanted;
                            to_visit.push_back( across->polygon_id );
                        }
                        orientable = orientable && other == wanted;
                    }
                }
            }
            if( orientable && nb_same_way != 0 )
            {
                return absl::StrCat( "a surface of ",
                                     mesh.nb_polygons(),
                                     " polygons has ",
                                     nb_same_way,
                                     " polygon edges run the same way as "
                                     "their neighbour's" );
            }
        }
        return {};
    }

    class BRepFromSolidElementsBuilderTest : public test::ModelTest
    {
      protected:
        BRep model;
    };

    TEST_F( BRepFromSolidElementsBuilderTest, nothing_chosen_gives_no_surface )
    {
        const auto solid = tetrahedral_grid( 1 );
        const auto positions = build_all( model, *solid, {}, {} );
        EXPECT_TRUE( positions.empty() );
        EXPECT_EQ( model.nb_surfaces(), 0u );
        EXPECT_EQ( model.nb_unique_vertices(), 8u );
    }

    TEST_F( BRepFromSolidElementsBuilderTest,
            closed_shells_without_lines_give_one_surface_each )
    {
        // All border facets of a solid of two tetrahedra apart, no line edge.
        const auto solid = test::two_tetrahedra_apart( 5 );
        const std::vector< index_t > facets{ 0, 1, 2, 3, 4, 5, 6, 7 };
        const auto positions = build_all( model, *solid, {}, facets );

        EXPECT_EQ( model.nb_corners(), 0u );
        EXPECT_EQ( model.nb_lines(), 0u );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        for( const auto& surface : model.surfaces() )
        {
            const auto& mesh = surface.mesh();
            EXPECT_EQ( mesh.type_name().get(), "TriangulatedSurface3D" );
            EXPECT_EQ( mesh.nb_polygons(), 4u );
            EXPECT_EQ( mesh.nb_vertices(), 4u );
            EXPECT_EQ( test::nb_border_edges( mesh ), 0u );
        }
        EXPECT_EQ( positions.at( model.surfaces().begin()->id() ),
                   ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    class GridTest : public BRepFromSolidElementsBuilderTest
    {
      protected:
        void set_up_grid( index_t n )
        {
            BRepFromSolidElementsBuilderTest::SetUp();
            solid = tetrahedral_grid( n );
        }

        index_t edge( index_t a, index_t b ) const
        {
            return test::edge( *solid, a, b );
        }

        std::unique_ptr< SolidMesh< 3 > > solid;
    };

    // Vertex (x, y, z) of a one-cube grid is x + 2y + 4z; its z = 0 face
    // is the triangles (0, 1, 3) and (0, 2, 3).
    class UnitCubeFaceTest : public GridTest
    {
      protected:
        void SetUp() override
        {
            set_up_grid( 1 );
            for( const auto f : facets_where( *solid, plane( 2, 0 ) ) )
            {
                const auto vertices = solid->facets().facet_vertices( f );
                const bool has_one =
                    std::count( vertices.begin(), vertices.end(), 1u ) == 1;
                ( has_one ? first : second ) = f;
            }
        }

        index_t first{ INVALID_INDEX };
        index_t second{ INVALID_INDEX };
    };

    TEST_F( UnitCubeFaceTest, two_triangles_with_all_five_edges )
    {
        // Named twice, edge 0-1 is one line edge.
        const std::vector< index_t > lines{ edge( 0, 1 ),
                                            edge( 1, 0 ),
                                            edge( 1, 3 ),
                                            edge( 0, 3 ),
                                            edge( 0, 2 ),
                                            edge( 2, 3 ) };
        build_all( model, *solid, lines, { first, second } );

        // Corners where three line edges meet; the far vertices 1 and 2 are
        // passed by two-edge lines.
        ASSERT_EQ( model.nb_corners(), 2u );
        for( const auto& corner : model.corners() )
        {
            const auto unique =
                model.unique_vertex( { corner.component_id(), 0 } );
            EXPECT_TRUE( unique == 0 || unique == 3 ) << unique;
        }
        ASSERT_EQ( model.nb_lines(), 3u );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        for( const auto& line : model.lines() )
        {
            const auto shared = line.mesh().nb_edges() == 1;
            EXPECT_EQ( model.nb_incidences( line.id() ), shared ? 2u : 1u );
            EXPECT_EQ( model.nb_embeddings( line.id() ), 0u );
        }
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( model.nb_boundaries( surface.id() ), 2u );
            EXPECT_EQ( surface.mesh().nb_polygons(), 1u );
        }
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( UnitCubeFaceTest, queries_refuse_indices_out_of_range )
    {
        // A wireframe of 4 vertices and 5 edges.
        const std::vector< index_t > lines{ edge( 0, 1 ),
                                            edge( 1, 3 ),
                                            edge( 0, 3 ),
                                            edge( 0, 2 ),
                                            edge( 2, 3 ) };
        Builder builder{ model, *solid, lines, { first, second } };
        builder.build();
        const auto& line = model.lines().begin()->id();
        const std::vector< std::pair< std::function< void() >, std::string > >
            queries{
                { [&] { builder.vertex_id( 4 ); },
                  "[CornersLinesBuilder::vertex_id] Wireframe vertex 4 is out "
                  "of range [0, 4)" },
                { [&] { builder.line_uuid( 5 ); },
                  "[CornersLinesBuilder::line_uuid] Wireframe edge 5 is out of "
                  "range [0, 5)" },
                { [&] { builder.line_edge_id( 7 ); },
                  "[CornersLinesBuilder::line_edge_id] Wireframe edge 7 is out "
                  "of range [0, 5)" },
                { [&] { builder.line_vertex_id( 4, line ); },
                  "[CornersLinesBuilder::line_vertex_id] Wireframe vertex 4 is "
                  "out of range [0, 4)" },
                { [&] { builder.add_corner( 9 ); },
                  "[CornersLinesBuilder::add_corner] Wireframe vertex 9 is out "
                  "of range [0, 4)" },
                { [&] { builder.is_corner( 4 ); },
                  "[BRepFromSolidElementsBuilder::is_corner] Wireframe vertex "
                  "4 "
                  "is out of range [0, 4)" },
                { [&] { builder.CornersLinesBuilderFromSolid::is_corner( 4 ); },
                  "[CornersLinesBuilderFromSolid::is_corner] Wireframe vertex "
                  "4 "
                  "is out of range [0, 4)" },
            };
        for( const auto& query : queries )
        {
            test::expect_exact_error( query.first, query.second );
        }
    }

    TEST_F( UnitCubeFaceTest, facet_chosen_twice_is_refused )
    {
        // Each of the two copies would border edge 0-3 along with the other
        // triangle: the repeat, not the edge, is the fault.
        const std::vector< index_t > lines{
            edge( 0, 1 ), edge( 1, 3 ), edge( 3, 0 ) };
        test::expect_exact_error(
            [&] {
                Builder builder{
                    model, *solid, lines, { second, first, second } };
            },
            absl::StrCat( "[BRepFromSolidElementsBuilder] Facet ",
                          second,
                          " is chosen twice, at positions 0 and 2" ) );
        EXPECT_EQ( model.nb_unique_vertices(), 0u );
    }

    // Grid of 2 x 2 x 2 cubes; vertex (x, y, z) is x + 3y + 9z.
    class TwoCubeGridTest : public GridTest
    {
      protected:
        void SetUp() override
        {
            set_up_grid( 2 );
        }

        static index_t vertex( index_t x, index_t y, index_t z )
        {
            return x + 3 * y + 9 * z;
        }
    };

    TEST_F( TwoCubeGridTest, line_between_joined_facets_is_internal_and_cut )
    {
        // The z = 0 face with a line from its centre to the middle of its
        // x = 2 side: the facets on both sides stay joined around the centre.
        const auto facets = facets_where( *solid, plane( 2, 0 ) );
        auto lines = border_edges( *solid, facets );
        const auto centre = vertex( 1, 1, 0 );
        const auto side = vertex( 2, 1, 0 );
        lines.push_back( edge( centre, side ) );
        build_all( model, *solid, lines, facets );

        ASSERT_EQ( model.nb_corners(), 2u );
        ASSERT_EQ( model.nb_lines(), 2u );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto& surface = model.surface( only_surface( model ) );
        EXPECT_EQ( model.nb_boundaries( surface.id() ), 1u );
        ASSERT_EQ( model.nb_internals( surface.id() ), 1u );
        const auto& internal = model.internals( surface.id() ).front().id();
        EXPECT_EQ( model.line( internal ).mesh().nb_edges(), 1u );
        // Cut afterwards: the side vertex is split in two, the tip at the
        // centre stays single.
        EXPECT_EQ( surface.mesh().nb_vertices(), 10u );
        EXPECT_EQ( model.component_mesh_vertices( side, "Surface" ).size(),
                   2u );
        EXPECT_EQ( model.component_mesh_vertices( centre, "Surface" ).size(),
                   1u );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( TwoCubeGridTest, line_touching_inside_gives_internal_corner )
    {
        // The z = 1 plane, its border as line edges, and a vertical edge up
        // from its centre.
        const auto facets = facets_where( *solid, plane( 2, 1 ) );
        auto lines = border_edges( *solid, facets );
        lines.push_back( edge( vertex( 1, 1, 1 ), vertex( 1, 1, 2 ) ) );
        build_all( model, *solid, lines, facets );

        ASSERT_EQ( model.nb_corners(), 2u );
        ASSERT_EQ( model.nb_lines(), 2u );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto& surface = only_surface( model );
        ASSERT_EQ( model.nb_internals( surface ), 1u );
        const auto& corner_id = model.internals( surface ).front();
        EXPECT_EQ( corner_id.type().get(), "Corner" );
        EXPECT_EQ( model.unique_vertex( { corner_id, 0 } ), vertex( 1, 1, 1 ) );
        // The border loop has no corner and bounds the surface alone; the
        // vertical line is not related to it.
        EXPECT_EQ( model.nb_boundaries( surface ), 1u );
        for( const auto& line : model.lines() )
        {
            const bool vertical = line.mesh().nb_edges() == 1;
            EXPECT_EQ( model.nb_boundaries( line.id() ), vertical ? 2u : 0u );
            EXPECT_EQ( model.nb_incidences( line.id() ), vertical ? 0u : 1u );
        }
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( TwoCubeGridTest, corner_on_one_region_border_is_inside_the_next )
    {
        // A lone triangle first, then the z = 1 plane; they meet only at
        // its centre, a corner (three line edges) on the triangle's border
        // and strictly inside the plane.
        const auto centre = vertex( 1, 1, 1 );
        std::vector< index_t > facets{
            solid->facets()
                .facet_from_vertices(
                    { centre, vertex( 1, 1, 2 ), vertex( 2, 2, 2 ) } )
                .value() };
        for( const auto f : facets_where( *solid, plane( 2, 1 ) ) )
        {
            facets.push_back( f );
        }
        auto lines = border_edges( *solid, facets );
        lines.push_back( edge( centre, vertex( 0, 0, 0 ) ) );
        build_all( model, *solid, lines, facets );

        ASSERT_EQ( model.nb_surfaces(), 2u );
        const auto& plane_surface = std::next( model.surfaces().begin() )->id();
        ASSERT_EQ( model.nb_internals( plane_surface ), 1u );
        EXPECT_EQ( model.unique_vertex(
                       { model.internals( plane_surface ).front(), 0 } ),
                   centre );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    // The z = 0 face cut into four quadrants by its two middle lines.
    class QuadrantsTest : public TwoCubeGridTest
    {
      protected:
        void SetUp() override
        {
            TwoCubeGridTest::SetUp();
            facets = facets_where( *solid, plane( 2, 0 ) );
            std::reverse( facets.begin(), facets.end() );
            lines = border_edges( *solid, facets );
            for( index_t k = 0; k < 2; k++ )
            {
                lines.push_back(
                    edge( vertex( 1, k, 0 ), vertex( 1, k + 1, 0 ) ) );
                lines.push_back(
                    edge( vertex( k, 1, 0 ), vertex( k + 1, 1, 0 ) ) );
            }
        }

        std::vector< index_t > facets;
        std::vector< index_t > lines;
    };

    TEST_F( QuadrantsTest, polygon_i_comes_from_the_facet_at_entry_i )
    {
        const auto positions = build_all( model, *solid, lines, facets );
        ASSERT_EQ( model.nb_surfaces(), 4u );
        std::vector< index_t > all;
        for( const auto& surface : model.surfaces() )
        {
            const auto& entries = positions.at( surface.id() );
            const auto& mesh = surface.mesh();
            ASSERT_EQ( entries.size(), mesh.nb_polygons() );
            EXPECT_TRUE( std::is_sorted( entries.begin(), entries.end() ) );
            const auto normal = mesh.polygon_normal( 0 );
            for( index_t i = 0; i < entries.size(); i++ )
            {
                all.push_back( entries[i] );
                std::vector< Point< 3 > > expected;
                for( const auto v :
                     solid->facets().facet_vertices( facets[entries[i]] ) )
                {
                    expected.push_back( solid->point( v ) );
                }
                std::vector< Point< 3 > > got;
                for( const auto v : mesh.polygon_vertices( i ) )
                {
                    got.push_back( mesh.point( v ) );
                }
                EXPECT_TRUE( std::is_permutation(
                    got.begin(), got.end(), expected.begin() ) );
                // Neighbours agree in orientation.
                EXPECT_GT( mesh.polygon_normal( i ).dot( normal ), 0.5 );
            }
        }
        std::sort( all.begin(), all.end() );
        std::vector< index_t > every( facets.size() );
        std::iota( every.begin(), every.end(), 0u );
        EXPECT_EQ( all, every );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( QuadrantsTest, boundary_lines_in_order_of_first_wireframe_edge )
    {
        // Line edges backwards, so that wireframe order is neither the
        // solid's edge order nor the order of the polygons.
        std::reverse( lines.begin(), lines.end() );
        Builder builder{ model, *solid, lines, facets };
        builder.build();
        builder.build_whole_surface_step();
        builder.build_surfaces();
        const auto& wireframe = builder.wireframe();
        for( const auto& surface : model.surfaces() )
        {
            // Unique vertex pairs of the surface's border edges.
            const auto& mesh = surface.mesh();
            absl::flat_hash_set< std::array< index_t, 2 > > border;
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    if( mesh.is_edge_on_border( { p, e } ) )
                    {
                        std::array< index_t, 2 > pair;
                        for( const local_index_t end : { 0, 1 } )
                        {
                            pair[end] = model.unique_vertex(
                                { surface.component_id(),
                                  mesh.polygon_edge_vertices(
                                      { p, e } )[end] } );
                        }
                        std::sort( pair.begin(), pair.end() );
                        border.insert( pair );
                    }
                }
            }
            std::vector< uuid > expected;
            for( index_t w = 0; w < wireframe.nb_edges(); w++ )
            {
                std::array< index_t, 2 > pair{
                    builder.vertex_id( wireframe.edge_vertex( { w, 0 } ) ),
                    builder.vertex_id( wireframe.edge_vertex( { w, 1 } ) ) };
                std::sort( pair.begin(), pair.end() );
                const auto& line = builder.line_uuid( w );
                if( border.contains( pair ) &&
                    std::find( expected.begin(), expected.end(), line ) ==
                        expected.end() )
                {
                    expected.push_back( line );
                }
            }
            std::vector< uuid > listed;
            for( const auto& line : model.boundaries( surface ) )
            {
                listed.push_back( line.id() );
            }
            EXPECT_EQ( listed, expected );
        }
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( QuadrantsTest, same_input_gives_same_relationships )
    {
        // For each surface, its boundary lines and their corners by rank in
        // the model, in relationship order: random uuids must not steer it.
        const auto layout = [this]
        {
            BRep brep;
            build_all( brep, *solid, lines, facets );
            const auto names = test::component_names( brep );
            std::vector< std::string > ranks;
            for( const auto& surface : brep.surfaces() )
            {
                for( const auto& line : brep.boundaries( surface.id() ) )
                {
                    ranks.push_back( names.at( line.id() ) );
                    for( const auto& corner : brep.boundaries( line.id() ) )
                    {
                        ranks.push_back( names.at( corner.id() ) );
                    }
                }
            }
            return ranks;
        };
        const auto first = layout();
        // Each quadrant: an outer line round its cube corner and two halves
        // of the middle lines, each with its two corners.
        ASSERT_EQ( first.size(), 4u * 3u * 3u );
        for( index_t run = 0; run < 4; run++ )
        {
            EXPECT_EQ( layout(), first );
        }
    }

    // 2 x 3 x 1 unit hexahedra; vertex (i, j, k) is i + 3 (j + 4k).
    class HexahedralGridTest : public BRepFromSolidElementsBuilderTest
    {
      protected:
        index_t facet( std::vector< index_t > vertices ) const
        {
            return solid->facets().facet_from_vertices( vertices ).value();
        }

        std::unique_ptr< SolidMesh< 3 > > solid{
            test::hexahedral_grid( 2, 3, 1 ) };
    };

    TEST_F( HexahedralGridTest, surface_orientable_once_cut_is_oriented_alike )
    {
        // Outer facets and three of the four facets around the edge 4-16;
        // the extra line 1-13 cuts a way round through which the polygons
        // of the surface along 4-1 could not be oriented alike.
        std::vector< index_t > facets;
        for( const auto& quad :
             std::vector< std::vector< index_t > >{ { 0, 1, 13, 12 },
                                                    { 3, 15, 16, 4 },
                                                    { 0, 12, 15, 3 },
                                                    { 1, 4, 16, 13 },
                                                    { 1, 4, 5, 2 },
                                                    { 15, 16, 19, 18 },
                                                    { 4, 7, 19, 16 },
                                                    { 4, 7, 8, 5 },
                                                    { 6, 18, 21, 9 },
                                                    { 19, 20, 23, 22 } } )
        {
            facets.push_back( facet( quad ) );
        }
        auto lines = test::unpaired_edges( *solid, facets );
        lines.push_back( test::edge( *solid, 1, 13 ) );
        build_all( model, *solid, lines, facets );

        EXPECT_EQ( unoriented_surface( model ), "" );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( HexahedralGridTest, random_facet_choices_are_oriented_alike )
    {
        // Each facet chosen by a coin, its unpaired edges and two edges
        // inside the choice as lines.
        test::expect_sound_environment_seeds(
            500,
            [this]( index_t seed )
            {
                test::Randomness random{ seed };
                std::vector< index_t > facets;
                for( index_t f = 0; f < solid->facets().nb_facets(); f++ )
                {
                    if( random.chance( 0.5 ) )
                    {
                        facets.push_back( f );
                    }
                }
                auto lines = test::unpaired_edges( *solid, facets );
                std::vector< index_t > inside;
                for( index_t e = 0; e < solid->edges().nb_edges(); e++ )
                {
                    if( !std::binary_search( lines.begin(), lines.end(), e ) )
                    {
                        inside.push_back( e );
                    }
                }
                for( index_t k = 0; k < 2; k++ )
                {
                    lines.push_back( inside[random.pick( inside.size() )] );
                }
                return test::refused_or_sound(
                    false,
                    [&]
                    {
                        BRep brep;
                        build_all( brep, *solid, lines, facets );
                        const auto consistency =
                            test::check_brep_consistency( brep );
                        return consistency
                                   ? unoriented_surface( brep )
                                   : std::string{ consistency.message() };
                    } );
            } );
    }

    TEST_F( BRepFromSolidElementsBuilderTest,
            facet_listing_a_vertex_twice_is_refused )
    {
        // A hexahedron whose corner 7 is vertex `seventh`: with 6, its
        // facets +z (4, 5, 6, 6) and +y (2, 6, 6, 3) list vertex 6 twice in
        // a row; with 4, its facet +z (4, 5, 4, 6) lists vertex 4 twice
        // apart.
        for( const index_t seventh : { 6u, 4u } )
        {
            auto solid =
                SolidMesh< 3 >::create( PolyhedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            for( index_t v = 0; v < 7; v++ )
            {
                builder->create_point( test::cube_point( v ) );
            }
            std::vector< std::vector< local_index_t > > quads;
            for( const auto& quad : test::CUBE_QUADS )
            {
                quads.emplace_back( quad.begin(), quad.end() );
            }
            builder->create_polyhedron( { 0, 1, 2, 3, 4, 5, 6, seventh },
                                        quads );
            const std::vector< index_t > facets{ 0, 1, 2, 3, 4, 5 };
            test::expect_exact_error(
                [&]
                {
                    Builder elements{ model,
                                      *solid,
                                      test::unpaired_edges( *solid, facets ),
                                      facets };
                },
                absl::StrCat( "[BRepFromSolidElementsBuilder] Facet 1 at "
                              "position 1 lists vertex ",
                              seventh,
                              " twice" ) );
            EXPECT_EQ( model.nb_unique_vertices(), 0u );
        }
    }

    TEST_F( BRepFromSolidElementsBuilderTest, polyhedral_solid_gives_polygons )
    {
        // One hexahedron; its top face cut off by the four edges around it.
        const auto solid = test::one_hexahedron();
        const std::vector< index_t > lines{ test::edge( *solid, 4, 5 ),
                                            test::edge( *solid, 5, 7 ),
                                            test::edge( *solid, 7, 6 ),
                                            test::edge( *solid, 6, 4 ) };
        const auto positions =
            build_all( model, *solid, lines, { 0, 1, 2, 3, 4, 5 } );

        EXPECT_EQ( model.nb_corners(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        ASSERT_EQ( model.nb_surfaces(), 2u );
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( surface.mesh().type_name().get(), "PolygonalSurface3D" );
            EXPECT_EQ( surface.mesh().nb_polygon_vertices( 0 ), 4u );
            EXPECT_EQ( model.nb_boundaries( surface.id() ), 1u );
        }
        EXPECT_EQ( positions.at( model.surfaces().begin()->id() ),
                   ( std::vector< index_t >{ 0, 2, 3, 4, 5 } ) );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( TwoCubeGridTest, refuses_bad_input_before_changing_the_model )
    {
        const auto facets = facets_where( *solid, plane( 2, 0 ) );
        const auto lines = border_edges( *solid, facets );
        const auto nb_edges = solid->edges().nb_edges();
        const auto nb_facets = solid->facets().nb_facets();
        std::vector< index_t > bad_lines{ lines[0], nb_edges };
        test::expect_error(
            [&] {
                Builder builder{ model, *solid, bad_lines, facets };
            },
            absl::StrCat( "[BRepFromSolidElementsBuilder] Line edge ",
                          nb_edges,
                          " at position 1 is not an edge of the solid (it "
                          "has ",
                          nb_edges,
                          " edges)" ) );
        std::vector< index_t > bad_facets{ facets[0], facets[1], nb_facets };
        test::expect_error(
            [&] {
                Builder builder{ model, *solid, lines, bad_facets };
            },
            absl::StrCat( "[BRepFromSolidElementsBuilder] Facet ",
                          nb_facets,
                          " at position 2 is not a facet of the solid (it "
                          "has ",
                          nb_facets,
                          " facets)" ) );
        // Without the side x = 2, y from 0 to 1.
        const auto missing = edge( vertex( 2, 0, 0 ), vertex( 2, 1, 0 ) );
        std::vector< index_t > short_lines;
        std::copy_if( lines.begin(),
                      lines.end(),
                      std::back_inserter( short_lines ),
                      [missing]( index_t e ) { return e != missing; } );
        const auto unnamed = [this]( index_t border )
        {
            const auto& ends = solid->edges().edge_vertices( border );
            return absl::StrCat( "[BRepFromSolidElementsBuilder] Solid edge ",
                                 border,
                                 " (vertices ",
                                 ends[0],
                                 " and ",
                                 ends[1],
                                 ") is on the border of the chosen facets but "
                                 "is not among the line edges" );
        };
        test::expect_error(
            [&] {
                Builder builder{ model, *solid, short_lines, facets };
            },
            unnamed( missing ) );
        // A fin on the x = 1 plane: three facets meet along (1, 0, 0)-(1, 1,
        // 0).
        auto with_fin = facets;
        for( const auto f : facets_where( *solid,
                                          []( const Point< 3 >& point )
                                          {
                                              return point.value( 0 ) == 1 &&
                                                     point.value( 1 ) <= 1 &&
                                                     point.value( 2 ) <= 1;
                                          } ) )
        {
            with_fin.push_back( f );
        }
        test::expect_error(
            [&]
            {
                Builder builder{
                    model, *solid, border_edges( *solid, with_fin ), with_fin };
            },
            unnamed( edge( vertex( 1, 0, 0 ), vertex( 1, 1, 0 ) ) ) );
        // Points with a NaN: at (0, 1, 0) on the border lines, and at the
        // centre (1, 1, 0), which only the facets use.
        const auto poisoned = [this]( index_t vertex, const Point< 3 >& point )
        {
            auto copy = solid->clone();
            SolidMeshBuilder< 3 >::create( *copy )->set_point( vertex, point );
            return copy;
        };
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        const auto non_finite = [&]( index_t bad, const Point< 3 >& point )
        {
            const auto copy = poisoned( bad, point );
            test::expect_exact_error(
                [&] {
                    Builder builder{ model, *copy, lines, facets };
                },
                absl::StrCat( "[BRepFromSolidElementsBuilder] Vertex ",
                              bad,
                              " of mesh '",
                              copy->id().string(),
                              "' has a non-finite coordinate" ) );
        };
        non_finite( vertex( 0, 1, 0 ), Point< 3 >{ { nan, 1, 0 } } );
        non_finite( vertex( 1, 1, 0 ), Point< 3 >{ { 1, 1, nan } } );
        // Of two, the smaller is named, though the facets list the centre
        // first and last; without line edges, only the facets show them.
        {
            auto copy =
                poisoned( vertex( 1, 1, 0 ), Point< 3 >{ { 1, 1, nan } } );
            SolidMeshBuilder< 3 >::create( *copy )->set_point(
                vertex( 0, 1, 0 ), Point< 3 >{ { nan, 1, 0 } } );
            test::expect_exact_error(
                [&] {
                    Builder builder{ model, *copy, {}, facets };
                },
                absl::StrCat( "[BRepFromSolidElementsBuilder] Vertex ",
                              vertex( 0, 1, 0 ),
                              " of mesh '",
                              copy->id().string(),
                              "' has a non-finite coordinate" ) );
        }
        EXPECT_EQ( model.nb_unique_vertices(), 0u );

        BRepBuilder{ model }.create_unique_vertices( 1 );
        test::expect_error(
            [&] {
                Builder builder{ model, *solid, lines, facets };
            },
            "[BRepFromSolidElementsBuilder] The model to build must have no "
            "unique vertex (it has 1)" );
        EXPECT_EQ( model.nb_unique_vertices(), 1u );
    }

    TEST_F( TwoCubeGridTest, refuses_steps_out_of_order )
    {
        const auto facets = facets_where( *solid, plane( 2, 0 ) );
        const auto lines = border_edges( *solid, facets );
        Builder builder{ model, *solid, lines, facets };
        test::expect_error( [&] { builder.build_whole_surface_step(); },
                            "[BRepFromSolidElementsBuilder::build_whole_"
                            "surface_step] The wireframe is not built: run "
                            "build() first" );
        test::expect_error( [&] { builder.build_corners_step(); },
                            "[CornersLinesBuilder::build_corners_step] The "
                            "wireframe is not built: run "
                            "build_wireframe_step() first" );
        builder.build_wireframe_step();
        // Run again, the wireframe step finds every edge it made.
        const auto nb_wireframe_edges = builder.wireframe().nb_edges();
        builder.build_wireframe_step();
        EXPECT_EQ( builder.wireframe().nb_edges(), nb_wireframe_edges );
        test::expect_error( [&] { builder.build_lines_step(); },
                            "[CornersLinesBuilder::build_lines_step] The "
                            "corners are not built: run build_corners_step() "
                            "first" );
        EXPECT_EQ( model.nb_lines(), 0u );
        builder.build_whole_surface_step();
        test::expect_error( [&] { builder.build_surfaces(); },
                            "[BRepFromSolidElementsBuilder::build_surfaces] "
                            "The lines are not built: run build() first" );
        test::expect_error( [&] { builder.build_whole_surface_step(); },
                            "[BRepFromSolidElementsBuilder::build_whole_"
                            "surface_step] The whole surface is built "
                            "already" );
        builder.build_corners_step();
        const auto nb_corners = model.nb_corners();
        builder.build_corners_step();
        EXPECT_EQ( model.nb_corners(), nb_corners );
        test::expect_error( [&] { builder.build_surfaces(); },
                            "[BRepFromSolidElementsBuilder::build_surfaces] "
                            "The lines are not built: run build() first" );
        builder.build_lines_step();
        builder.build_lines_step();
        test::expect_error( [&] { builder.add_corner( 0 ); },
                            "[CornersLinesBuilder::add_corner] The lines are "
                            "built already" );
        // The three steps again: nothing new.
        builder.build();
        builder.build_surfaces();
        test::expect_error( [&] { builder.build_surfaces(); },
                            "[BRepFromSolidElementsBuilder::build_surfaces] "
                            "The surfaces are built already" );
        // Nothing but one run of each step reached the model.
        EXPECT_EQ( test::counts_of( model ),
                   ( test::ModelCounts{ 0, 1, 1, 0 } ) );
        EXPECT_TRUE( test::check_brep_consistency( model ) );

        BRep other;
        Builder early{ other, *solid, lines, facets };
        early.build();
        test::expect_error( [&] { early.build_surfaces(); },
                            "[BRepFromSolidElementsBuilder::build_surfaces] "
                            "The whole surface is not built: run "
                            "build_whole_surface_step() first" );
    }
} // namespace
