#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/mensuration.h>
#include <vorna/geometry/tetrahedron.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>

#include "mesh/index_attribute.h"
#include "mesh/solid_grid.h"
#include "support/expect_error.h"

namespace vorna
{
    namespace
    {
        using Facets = std::vector< std::vector< local_index_t > >;
        using test::expect_error;

        std::unique_ptr< SolidMesh< 3 > > tetrahedral_solid()
        {
            return SolidMesh< 3 >::create(
                TetrahedralSolid3D::impl_name_static() );
        }

        void
        create_points( SolidMeshBuilder< 3 >& builder,
                       const std::vector< std::array< double, 3 > >& points )
        {
            for( const auto& point : points )
            {
                builder.create_point( Point< 3 >{ point } );
            }
        }

        // The unit cube's corners, bottom then top, each counter-clockwise
        // seen from above.
        const std::vector< std::array< double, 3 > > HEXAHEDRON_POINTS{
            { 0, 0, 0 },
            { 1, 0, 0 },
            { 1, 1, 0 },
            { 0, 1, 0 },
            { 0, 0, 1 },
            { 1, 0, 1 },
            { 1, 1, 1 },
            { 0, 1, 1 } };

        const Facets HEXAHEDRON_FACETS{ { 0, 3, 2, 1 },
                                        { 4, 5, 6, 7 },
                                        { 0, 1, 5, 4 },
                                        { 1, 2, 6, 5 },
                                        { 2, 3, 7, 6 },
                                        { 3, 0, 4, 7 } };
    } // namespace

    TEST( SolidMesh, TetrahedronTablesFollowCreationOrder )
    {
        auto solid = tetrahedral_solid();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder,
                       { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } } );
        EXPECT_EQ( builder->create_tetrahedron( { 0, 1, 2, 3 } ), 0u );
        EXPECT_EQ( builder->create_tetrahedron( { 0, 1, 2, 3 } ), 1u );

        EXPECT_EQ( solid->nb_polyhedra(), 2u );
        EXPECT_EQ( solid->nb_polyhedron_vertices( 0 ), 4 );
        EXPECT_EQ( solid->nb_polyhedron_facets( 0 ), 4 );
        const std::vector< std::vector< index_t > > expected_facets{
            { 1, 2, 3 }, { 0, 3, 2 }, { 0, 1, 3 }, { 0, 2, 1 } };
        ASSERT_EQ( solid->facets().nb_facets(), 4u );
        for( index_t f = 0; f < 4; f++ )
        {
            EXPECT_EQ( solid->facets().facet_vertices( f ),
                       expected_facets[f] );
            EXPECT_EQ(
                solid->polyhedron_facet_vertices( { 1, local_index_t( f ) } ),
                expected_facets[f] );
            EXPECT_EQ( solid->nb_polyhedron_facet_vertices(
                           { 0, local_index_t( f ) } ),
                       3 );
        }
        EXPECT_EQ( solid->polyhedron_facet_vertex( { { 0, 1 }, 2 } ), 2u );
        EXPECT_EQ( solid->facets().facet_from_vertices( { 2, 1, 3 } ), 0u );
        EXPECT_EQ( solid->facets().facet_from_vertices( { 1, 0, 2 } ), 3u );
        EXPECT_FALSE( solid->facets().facet_from_vertices( { 0, 1 } ) );
        EXPECT_FALSE( solid->facets().facet_from_vertices( { 0, 1, 2, 3 } ) );

        // Facet by facet, each unseen consecutive pair in facet order.
        const std::vector< std::array< index_t, 2 > > expected_edges{
            { 1, 2 }, { 2, 3 }, { 3, 1 }, { 0, 3 }, { 2, 0 }, { 0, 1 } };
        ASSERT_EQ( solid->edges().nb_edges(), 6u );
        for( index_t e = 0; e < 6; e++ )
        {
            EXPECT_EQ( solid->edges().edge_vertices( e ), expected_edges[e] );
            EXPECT_EQ( solid->edges().edge_from_vertices(
                           { expected_edges[e][1], expected_edges[e][0] } ),
                       e );
        }
        EXPECT_EQ( solid->edges().edge_from_vertices( { 1, 3 } ), 2u );
        EXPECT_FALSE( solid->edges().edge_from_vertices( { 1, 1 } ) );
        EXPECT_FALSE( solid->edges().edge_from_vertices( { 0, 7 } ) );

        EXPECT_EQ( solid->vertex_in_polyhedron( 0, 2 ), local_index_t{ 2 } );
        EXPECT_FALSE( solid->vertex_in_polyhedron( 0, 7 ) );
        for( local_index_t f = 0; f < 4; f++ )
        {
            EXPECT_TRUE( solid->is_polyhedron_facet_on_border( { 0, f } ) );
            EXPECT_FALSE( solid->polyhedron_adjacent( { 0, f } ) );
        }
    }

    TEST( SolidMesh, TetrahedronFacetsFaceOutwards )
    {
        auto solid = tetrahedral_solid();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points(
            *builder,
            { { 0, 0, 0 }, { 2, 0, 0 }, { 0, 3, 0 }, { 0.5, 0.5, 1 } } );
        builder->create_tetrahedron( { 0, 1, 2, 3 } );
        for( local_index_t f = 0; f < 4; f++ )
        {
            const auto vertices = solid->polyhedron_facet_vertices( { 0, f } );
            const auto& a = solid->point( vertices[0] );
            const Vector< 3 > ab{ a, solid->point( vertices[1] ) };
            const Vector< 3 > ac{ a, solid->point( vertices[2] ) };
            // Facet f is opposite vertex f.
            const Vector< 3 > to_opposite{ a, solid->point( f ) };
            EXPECT_LT( ab.cross( ac ).dot( to_opposite ), 0. ) << int( f );
        }
    }

    TEST( SolidMesh, AdjacencyOfTetrahedraSharingAFacet )
    {
        auto solid = tetrahedral_solid();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder,
                       { { 0, 0, 0 },
                         { 1, 0, 0 },
                         { 0, 1, 0 },
                         { 0, 0, 1 },
                         { 1, 1, 1 } } );
        builder->create_tetrahedron( { 0, 1, 2, 3 } );
        // Its facet 1, (1, 3, 2), is the first one's facet 0 reversed.
        builder->create_tetrahedron( { 1, 4, 2, 3 } );
        EXPECT_EQ( solid->facets().nb_facets(), 7u );
        EXPECT_EQ( solid->edges().nb_edges(), 9u );

        builder->compute_polyhedron_adjacencies();
        const PolyhedronFacet shared0{ 0, 0 };
        const PolyhedronFacet shared1{ 1, 1 };
        EXPECT_EQ( solid->polyhedron_adjacent( shared0 ), 1u );
        EXPECT_EQ( solid->polyhedron_adjacent( shared1 ), 0u );
        index_t nb_borders{ 0 };
        for( index_t p = 0; p < 2; p++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                nb_borders += solid->is_polyhedron_facet_on_border( { p, f } );
            }
        }
        EXPECT_EQ( nb_borders, 6u );

        // One side only.
        builder->unset_polyhedron_adjacent( shared0 );
        EXPECT_TRUE( solid->is_polyhedron_facet_on_border( shared0 ) );
        EXPECT_EQ( solid->polyhedron_adjacent( shared1 ), 0u );
        builder->set_polyhedron_adjacent( shared0, 1 );
        EXPECT_EQ( solid->polyhedron_adjacent( shared0 ), 1u );
        builder->set_polyhedron_adjacent( shared1, INVALID_INDEX );
        EXPECT_TRUE( solid->is_polyhedron_facet_on_border( shared1 ) );
        EXPECT_EQ( solid->polyhedron_adjacent( shared0 ), 1u );

        // Recomputing starts from scratch.
        builder->set_polyhedron_adjacent( { 0, 2 }, 1 );
        builder->compute_polyhedron_adjacencies();
        EXPECT_EQ( solid->polyhedron_adjacent( shared1 ), 0u );
        EXPECT_TRUE( solid->is_polyhedron_facet_on_border( { 0, 2 } ) );
    }

    TEST( SolidMesh, FacetUsedThreeTimesStaysBorder )
    {
        auto solid = tetrahedral_solid();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder,
                       { { 0, 0, 0 },
                         { 1, 0, 0 },
                         { 0, 1, 0 },
                         { 0, 0, 1 },
                         { 0, 0, -1 },
                         { 1, 1, 1 } } );
        builder->create_tetrahedron( { 3, 0, 1, 2 } );
        builder->create_tetrahedron( { 4, 0, 2, 1 } );
        builder->create_tetrahedron( { 5, 0, 1, 2 } );
        builder->compute_polyhedron_adjacencies();
        for( index_t p = 0; p < 3; p++ )
        {
            EXPECT_TRUE( solid->is_polyhedron_facet_on_border( { p, 0 } ) );
        }
        // Every other facet is distinct.
        EXPECT_EQ( solid->facets().nb_facets(), 10u );
    }

    TEST( SolidMesh, HexahedronAndPrismShareAQuad )
    {
        auto solid = SolidMesh< 3 >::create();
        EXPECT_EQ( solid->type_name().get(), "PolyhedralSolid3D" );
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder, HEXAHEDRON_POINTS );
        create_points( *builder, { { 2, 0, 0 }, { 2, 0, 1 } } );
        EXPECT_EQ( builder->create_polyhedron( { 0, 1, 2, 3, 4, 5, 6, 7 },
                                               HEXAHEDRON_FACETS ),
                   0u );
        EXPECT_EQ( solid->facets().nb_facets(), 6u );
        EXPECT_EQ( solid->edges().nb_edges(), 12u );
        EXPECT_EQ( solid->nb_polyhedron_facet_vertices( { 0, 3 } ), 4 );

        // Prism on the hexahedron's x = 1 face (1, 2, 6, 5), its quad given
        // in another rotation and direction.
        EXPECT_EQ( builder->create_polyhedron( { 1, 8, 2, 5, 9, 6 },
                                               { { 0, 1, 2 },
                                                 { 3, 5, 4 },
                                                 { 0, 3, 4, 1 },
                                                 { 1, 4, 5, 2 },
                                                 { 2, 5, 3, 0 } } ),
                   1u );
        EXPECT_EQ( solid->facets().nb_facets(), 10u );
        EXPECT_EQ( solid->edges().nb_edges(), 17u );
        EXPECT_EQ( solid->facets().facet_from_vertices( { 6, 5, 1, 2 } ), 3u );
        EXPECT_EQ( solid->polyhedron_facet_vertices( { 1, 4 } ),
                   ( std::vector< index_t >{ 2, 6, 5, 1 } ) );

        builder->compute_polyhedron_adjacencies();
        EXPECT_EQ( solid->polyhedron_adjacent( { 0, 3 } ), 1u );
        EXPECT_EQ( solid->polyhedron_adjacent( { 1, 4 } ), 0u );
        for( local_index_t f = 0; f < 6; f++ )
        {
            EXPECT_EQ( solid->is_polyhedron_facet_on_border( { 0, f } ),
                       f != 3 );
        }
        EXPECT_EQ( solid->vertex_in_polyhedron( 1, 9 ), local_index_t{ 4 } );
    }

    TEST( SolidMesh, KnownQuadInAnotherCycleAddsItsEdges )
    {
        auto solid = SolidMesh< 3 >::create();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder, HEXAHEDRON_POINTS );
        builder->create_polyhedron( { 0, 1, 2, 3, 4, 5, 6, 7 },
                                    HEXAHEDRON_FACETS );
        EXPECT_FALSE( solid->edges().edge_from_vertices( { 0, 2 } ) );
        // Same vertex set as facet 0, crossing cycle: same facet, new edges.
        auto facets = HEXAHEDRON_FACETS;
        facets[0] = { 0, 2, 3, 1 };
        builder->create_polyhedron( { 0, 1, 2, 3, 4, 5, 6, 7 }, facets );
        EXPECT_EQ( solid->facets().nb_facets(), 6u );
        EXPECT_EQ( solid->edges().edge_from_vertices( { 2, 0 } ), 12u );
        EXPECT_EQ( solid->edges().edge_vertices( 12 ),
                   ( std::array< index_t, 2 >{ 0, 2 } ) );
        EXPECT_EQ( solid->edges().edge_from_vertices( { 1, 3 } ), 13u );
        EXPECT_EQ( solid->edges().nb_edges(), 14u );
    }

    TEST( SolidMesh, TetrahedralSolidAcceptsOnlyTetrahedra )
    {
        auto solid = tetrahedral_solid();
        EXPECT_EQ( solid->type_name().get(), "TetrahedralSolid3D" );
        EXPECT_EQ( solid->impl_name().get(), "DefaultTetrahedralSolid3D" );
        EXPECT_TRUE( solid->is_tetrahedral() );
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder, HEXAHEDRON_POINTS );
        expect_error(
            [&]
            {
                builder->create_polyhedron( { 0, 1, 2, 3, 4, 5, 6, 7 },
                                            HEXAHEDRON_FACETS );
            },
            "[SolidMeshBuilder::create_polyhedron]" );
        expect_error(
            [&]
            {
                builder->create_polyhedron( { 0, 1, 2, 4 },
                                            { { 0, 1, 2 },
                                              { 0, 1, 3 },
                                              { 1, 2, 3 },
                                              { 0, 2, 3 },
                                              { 0, 1, 2 } } );
            },
            "[SolidMeshBuilder::create_polyhedron]" );
        EXPECT_EQ( solid->nb_polyhedra(), 0u );

        // Facets kept as given, not rewritten to the tetrahedron convention.
        const Facets facets{
            { 0, 1, 2 }, { 0, 3, 1 }, { 1, 3, 2 }, { 2, 3, 0 } };
        EXPECT_EQ( builder->create_polyhedron( { 0, 1, 3, 4 }, facets ), 0u );
        EXPECT_EQ( solid->polyhedron_facet_vertices( { 0, 0 } ),
                   ( std::vector< index_t >{ 0, 1, 3 } ) );
        EXPECT_EQ( solid->polyhedron_facet_vertices( { 0, 3 } ),
                   ( std::vector< index_t >{ 3, 4, 0 } ) );
    }

    TEST( SolidMesh, BadInputThrowsAndLeavesTheMeshUnchanged )
    {
        auto solid = SolidMesh< 3 >::create();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        create_points( *builder,
                       { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } } );
        builder->create_tetrahedron( { 0, 1, 2, 3 } );
        const std::string create = "[SolidMeshBuilder::create_polyhedron]";
        const Facets tetrahedron{
            { 1, 2, 3 }, { 0, 3, 2 }, { 0, 1, 3 }, { 0, 2, 1 } };
        expect_error(
            [&] {
                builder->create_polyhedron( { 0, 1, 2 }, tetrahedron );
            },
            create );
        expect_error(
            [&]
            {
                builder->create_polyhedron(
                    { 0, 1, 2, 3 },
                    Facets{ tetrahedron.begin(), tetrahedron.begin() + 3 } );
            },
            create );
        expect_error(
            [&]
            {
                builder->create_polyhedron(
                    { 0, 1, 2, 3 },
                    { { 1, 2, 3 }, { 0, 3 }, { 0, 1, 3 }, { 0, 2, 1 } } );
            },
            create );
        expect_error(
            [&]
            {
                builder->create_polyhedron(
                    { 0, 1, 2, 3 },
                    { { 1, 2, 3 }, { 0, 3, 2 }, { 0, 1, 4 }, { 0, 2, 1 } } );
            },
            create );
        expect_error(
            [&] {
                builder->create_polyhedron( { 0, 1, 2, 9 }, tetrahedron );
            },
            create );
        expect_error(
            [&] {
                builder->create_tetrahedron( { 0, 1, 2, 4 } );
            },
            "[SolidMeshBuilder::create_tetrahedron]" );
        EXPECT_EQ( solid->nb_polyhedra(), 1u );
        EXPECT_EQ( solid->facets().nb_facets(), 4u );
        EXPECT_EQ( solid->edges().nb_edges(), 6u );
        EXPECT_EQ( solid->polyhedron_attribute_manager().nb_elements(), 1u );

        expect_error(
            [&] {
                builder->set_polyhedron_adjacent( { 0, 0 }, 1 );
            },
            "[SolidMeshBuilder::set_polyhedron_adjacent]" );
        expect_error(
            [&] {
                builder->set_polyhedron_adjacent( { 0, 4 }, INVALID_INDEX );
            },
            "[SolidMeshBuilder::set_polyhedron_adjacent]" );
        expect_error(
            [&] {
                builder->unset_polyhedron_adjacent( { 1, 0 } );
            },
            "[SolidMeshBuilder::unset_polyhedron_adjacent]" );
        expect_error( [&] { builder->set_point( 4, Point< 3 >{} ); },
                      "[SolidMeshBuilder::set_point]" );
        expect_error(
            [&] {
                solid->polyhedron_vertex( { 0, 4 } );
            },
            "[SolidMesh::polyhedron_vertex]" );
        expect_error(
            [&] {
                solid->polyhedron_facet_vertex( { { 0, 0 }, 3 } );
            },
            "[SolidMesh::polyhedron_facet_vertex]" );
        expect_error(
            [&] {
                solid->polyhedron_adjacent( { 2, 0 } );
            },
            "[SolidMesh::polyhedron_adjacent]" );
        expect_error( [&] { solid->nb_polyhedron_facets( 1 ); },
                      "[SolidMesh::nb_polyhedron_facets]" );
        expect_error( [&] { solid->point( 4 ); }, "[SolidMesh::point]" );
        expect_error( [&] { solid->edges().edge_vertices( 6 ); },
                      "[SolidEdges::edge_vertices]" );
        expect_error( [&] { solid->facets().facet_vertices( 4 ); },
                      "[SolidFacets::facet_vertices]" );
    }

    TEST( SolidMesh, ConcurrentUnsetOnDifferentPolyhedra )
    {
        auto solid = tetrahedral_solid();
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        test::build_tetrahedral_grid( *builder, 6 );
        builder->compute_polyhedron_adjacencies();
        const auto nb_polyhedra = solid->nb_polyhedra();
        ASSERT_EQ( nb_polyhedra, 6u * 6 * 6 * 6 );
        for( index_t p = 0; p < nb_polyhedra; p++ )
        {
            const auto point = [&]( local_index_t v ) {
                return solid->point( solid->polyhedron_vertex( { p, v } ) );
            };
            EXPECT_NEAR(
                tetrahedron_signed_volume(
                    { point( 0 ), point( 1 ), point( 2 ), point( 3 ) } ),
                1. / 6.,
                1e-12 );
        }
        // A closed 6x6x6 grid of unit cubes shows 6 * 36 squares of two
        // triangles each on its boundary.
        index_t nb_borders{ 0 };
        for( index_t p = 0; p < nb_polyhedra; p++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                const auto adjacent = solid->polyhedron_adjacent( { p, f } );
                nb_borders += !adjacent;
                if( adjacent )
                {
                    // The neighbour points back through one of its facets.
                    bool back{ false };
                    for( local_index_t g = 0; g < 4; g++ )
                    {
                        back = back || solid->polyhedron_adjacent(
                                           { *adjacent, g } ) == p;
                    }
                    EXPECT_TRUE( back );
                }
            }
        }
        EXPECT_EQ( nb_borders, 6u * 36 * 2 );

        // Threads unset the even polyhedra while they read the odd ones.
        constexpr index_t nb_threads = 4;
        std::atomic< index_t > nb_changed_odd{ 0 };
        std::vector< std::vector< index_t > > odd_before( nb_polyhedra );
        for( index_t p = 1; p < nb_polyhedra; p += 2 )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                odd_before[p].push_back( solid->polyhedron_adjacent( { p, f } )
                                             .value_or( INVALID_INDEX ) );
            }
        }
        std::vector< std::thread > threads;
        for( index_t t = 0; t < nb_threads; t++ )
        {
            threads.emplace_back(
                [&, t]
                {
                    for( index_t p = 2 * t; p < nb_polyhedra;
                         p += 2 * nb_threads )
                    {
                        for( local_index_t f = 0; f < 4; f++ )
                        {
                            builder->unset_polyhedron_adjacent( { p, f } );
                        }
                        const auto odd = p + 1;
                        for( local_index_t f = 0; f < 4; f++ )
                        {
                            if( solid->polyhedron_adjacent( { odd, f } )
                                    .value_or( INVALID_INDEX ) !=
                                odd_before[odd][f] )
                            {
                                nb_changed_odd++;
                            }
                        }
                    }
                } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        EXPECT_EQ( nb_changed_odd.load(), 0u );
        for( index_t p = 0; p < nb_polyhedra; p += 2 )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                EXPECT_TRUE( solid->is_polyhedron_facet_on_border( { p, f } ) );
            }
        }
    }

    TEST( SolidMesh, CloneKeepsEverythingButTheUuid )
    {
        auto solid =
            SolidMesh< 3 >::create( TetrahedralSolid3D::impl_name_static() );
        auto builder = SolidMeshBuilder< 3 >::create( *solid );
        builder->set_name( "grid" );
        auto attribute = std::make_shared< test::IndexAttribute >( 7 );
        solid->polyhedron_attribute_manager().register_attribute( attribute,
                                                                  "label" );
        auto facet_attribute = std::make_shared< test::IndexAttribute >( 1 );
        solid->facets().facet_attribute_manager().register_attribute(
            facet_attribute, "mark" );
        test::build_tetrahedral_grid( *builder, 2 );
        builder->compute_polyhedron_adjacencies();
        ASSERT_EQ( attribute->size(), solid->nb_polyhedra() );
        EXPECT_EQ( facet_attribute->size(), solid->facets().nb_facets() );
        EXPECT_EQ( solid->edges().edge_attribute_manager().nb_elements(),
                   solid->edges().nb_edges() );
        EXPECT_EQ( solid->vertex_attribute_manager().nb_elements(), 27u );
        attribute->set_value( 5, 42 );

        const auto copy = solid->clone();
        EXPECT_NE( copy->id(), solid->id() );
        EXPECT_EQ( copy->name(), "grid" );
        EXPECT_EQ( copy->impl_name(), solid->impl_name() );
        ASSERT_EQ( copy->nb_polyhedra(), solid->nb_polyhedra() );
        EXPECT_EQ( copy->facets().nb_facets(), solid->facets().nb_facets() );
        EXPECT_EQ( copy->edges().nb_edges(), solid->edges().nb_edges() );
        for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                EXPECT_EQ( copy->polyhedron_adjacent( { p, f } ),
                           solid->polyhedron_adjacent( { p, f } ) );
                const auto vertices =
                    copy->polyhedron_facet_vertices( { p, f } );
                EXPECT_EQ( copy->facets().facet_from_vertices( vertices ),
                           solid->facets().facet_from_vertices( vertices ) );
            }
        }
        const auto copied = std::dynamic_pointer_cast< test::IndexAttribute >(
            copy->polyhedron_attribute_manager().find_attribute_base(
                "label" ) );
        ASSERT_TRUE( copied );
        EXPECT_NE( copied, attribute );
        EXPECT_EQ( copied->value( 5 ), 42u );
        EXPECT_EQ( copy->point( 26 ), solid->point( 26 ) );

        // The copy's tables grow on their own.
        auto copy_builder = SolidMeshBuilder< 3 >::create( *copy );
        copy_builder->create_point( Point< 3 >{ { 5, 5, 5 } } );
        copy_builder->create_tetrahedron( { 0, 1, 4, 27 } );
        EXPECT_EQ( copy->facets().nb_facets(),
                   solid->facets().nb_facets() + 3 );
        EXPECT_EQ( copied->size(), solid->nb_polyhedra() + 1 );

        // Moving keeps the lookup tables working.
        TetrahedralSolid3D moved{
            std::move( dynamic_cast< TetrahedralSolid3D& >( *copy ) ) };
        EXPECT_EQ( moved.facets().facet_from_vertices( { 0, 1, 27 } ),
                   solid->facets().nb_facets() + 2 );
        EXPECT_TRUE( moved.edges().edge_from_vertices( { 27, 4 } ) );
        // NOLINTNEXTLINE(bugprone-use-after-move): moved-from reads as empty.
        EXPECT_EQ( copy->facets().nb_facets(), 0u );
        EXPECT_EQ( copy->nb_polyhedra(), 0u );
        EXPECT_FALSE( copy->facets().facet_from_vertices( { 0, 1, 27 } ) );
    }

    TEST( SolidMesh, TypesAndFactories )
    {
        EXPECT_EQ(
            MeshFactory::default_impl( MeshType{ "PolyhedralSolid3D" } ).get(),
            "DefaultPolyhedralSolid3D" );
        EXPECT_EQ(
            MeshFactory::default_impl( MeshType{ "TetrahedralSolid3D" } ).get(),
            "DefaultTetrahedralSolid3D" );
        EXPECT_EQ(
            MeshFactory::type( MeshImpl{ "DefaultTetrahedralSolid3D" } ).get(),
            "TetrahedralSolid3D" );
        expect_error( [] { SolidMesh< 3 >::create( MeshImpl{ "Nothing" } ); },
                      "[SolidMesh::create]" );
        expect_error(
            [] {
                SolidMesh< 3 >::create(
                    TriangulatedSurface3D::impl_name_static() );
            },
            "[SolidMesh::create]" );
        auto solid = SolidMesh< 3 >::create();
        auto generic = VertexSetBuilder::create( *solid );
        EXPECT_NE( dynamic_cast< SolidMeshBuilder< 3 >* >( generic.get() ),
                   nullptr );
        EXPECT_EQ( generic->create_vertices( 3 ), 0u );
        EXPECT_EQ( solid->nb_vertices(), 3u );
        EXPECT_EQ( solid->point( 2 ), Point< 3 >{} );
        auto surface = SurfaceMesh< 3 >::create();
        EXPECT_THROW(
            ( SolidMeshBuilder< 3 >{ *surface, MeshBuilderFactoryKey{} } ),
            CorvaneException );
    }
} // namespace vorna
