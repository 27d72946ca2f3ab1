#include <memory>
#include <stdexcept>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <gtest/gtest.h>

#include <conversion/common/tasks.h>
#include <conversion/mesh_analysis/solid_boundary_surface.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/mesh_analysis/surface_from_solid_adjacencies.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>

#include "support/conversion_test.h"
#include "support/expect_error.h"
#include "support/solid_fixtures.h"

namespace vorna
{
    namespace
    {
        using detail::SurfaceFromSolidAdjacencies;
        using Facets = absl::InlinedVector< PolyhedronFacet, 2 >;

        class SurfaceFromSolidAdjacenciesTest : public test::ConversionTest
        {
          protected:
            static std::vector< Facets >
            exported_facets( const SurfaceMesh< 3 >& surface )
            {
                const auto exported =
                    surface.polygon_attribute_manager()
                        .find_attribute< Facets >(
                            SurfaceFromSolidAdjacencies::
                                polyhedra_exported_attribute_name );
                std::vector< Facets > result;
                for( index_t p = 0; p < surface.nb_polygons(); p++ )
                {
                    result.push_back( exported->value( p ) );
                }
                return result;
            }

            static std::vector< index_t >
            solid_vertices( const SolidMesh< 3 >& solid )
            {
                const auto attribute =
                    solid.vertex_attribute_manager().find_attribute< index_t >(
                        SurfaceFromSolidAdjacencies::
                            solid_vertex_attribute_name );
                std::vector< index_t > result;
                for( index_t v = 0; v < solid.nb_vertices(); v++ )
                {
                    result.push_back( attribute->value( v ) );
                }
                return result;
            }
        };

        TEST_F( SurfaceFromSolidAdjacenciesTest,
                one_tetrahedron_gives_four_polygons_in_cycle_order )
        {
            const auto solid = test::one_tetrahedron();
            std::unique_ptr< SurfaceMesh< 3 > > surface;
            {
                SurfaceFromSolidAdjacencies builder{ *solid };
                surface = builder.build();
                test::expect_exact_error( [&builder] { builder.build(); },
                                          "[SurfaceFromSolidAdjacencies::"
                                          "build] The boundary surface is "
                                          "built already" );
            }
            // Cycles (0,1,2), (0,1,3), (0,2,3), (1,2,3) are facets 3, 2, 1, 0.
            EXPECT_EQ( exported_facets( *surface ),
                       ( std::vector< Facets >{ { { 0, 3 } },
                                                { { 0, 2 } },
                                                { { 0, 1 } },
                                                { { 0, 0 } } } ) );
            EXPECT_EQ( solid_vertices( *solid ),
                       ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
            for( index_t v = 0; v < 4; v++ )
            {
                EXPECT_EQ( surface->point( v ), solid->point( v ) );
            }
            for( index_t p = 0; p < 4; p++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    EXPECT_TRUE( surface->polygon_adjacent( { p, e } ) );
                }
            }
        }

        TEST_F( SurfaceFromSolidAdjacenciesTest,
                shared_facet_is_border_only_without_adjacency )
        {
            const auto joined = test::two_tetrahedra( true );
            EXPECT_EQ(
                SurfaceFromSolidAdjacencies{ *joined }.build()->nb_polygons(),
                6u );

            // In one chunk or in two, the sides pair in facet order.
            const auto apart = test::two_tetrahedra( false );
            for( const unsigned int nb_threads : { 1, 2 } )
            {
                const detail::ThreadLimit limit{ nb_threads };
                const auto surface =
                    SurfaceFromSolidAdjacencies{ *apart }.build();
                ASSERT_EQ( surface->nb_polygons(), 7u );
                index_t nb_pairs{ 0 };
                for( const auto& facets : exported_facets( *surface ) )
                {
                    if( facets.size() == 2 )
                    {
                        nb_pairs++;
                        EXPECT_EQ( facets, ( Facets{ { 0, 0 }, { 1, 0 } } ) );
                    }
                }
                EXPECT_EQ( nb_pairs, 1u ) << nb_threads << " threads";
            }
        }

        TEST_F( SurfaceFromSolidAdjacenciesTest,
                facets_listed_in_opposite_directions_pair )
        {
            // Two pyramids on the square 7, 3, 9, 5 (listed (7,3,9,5) by one
            // and (5,9,3,7) by the other), vertices 0 and 10 their apexes;
            // vertices 1, 2, 4, 6 and 8 lie on no facet.
            auto solid =
                SolidMesh< 3 >::create( PolyhedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            for( index_t v = 0; v < 11; v++ )
            {
                builder->create_point( Point3D{ { double( v ), 0, 0 } } );
            }
            builder->set_point( 7, Point3D{ { 0, 0, 0 } } );
            builder->set_point( 3, Point3D{ { 1, 0, 0 } } );
            builder->set_point( 9, Point3D{ { 1, 1, 0 } } );
            builder->set_point( 5, Point3D{ { 0, 1, 0 } } );
            builder->set_point( 10, Point3D{ { 0.5, 0.5, 1 } } );
            builder->set_point( 0, Point3D{ { 0.5, 0.5, -1 } } );
            const std::vector< std::vector< local_index_t > > pyramid{
                { 0, 1, 2, 3 },
                { 0, 4, 1 },
                { 1, 4, 2 },
                { 2, 4, 3 },
                { 3, 4, 0 } };
            builder->create_polyhedron(
                std::vector< index_t >{ 7, 3, 9, 5, 10 }, pyramid );
            builder->create_polyhedron( std::vector< index_t >{ 5, 9, 3, 7, 0 },
                                        pyramid );

            const auto surface = SurfaceFromSolidAdjacencies{ *solid }.build();
            EXPECT_EQ( surface->nb_polygons(), 9u );
            EXPECT_EQ( surface->nb_vertices(), 6u );
            index_t nb_pairs{ 0 };
            for( const auto& facets : exported_facets( *surface ) )
            {
                nb_pairs += facets.size() == 2;
            }
            EXPECT_EQ( nb_pairs, 1u );
            const auto vertices = solid_vertices( *solid );
            for( const index_t unused : { 1, 2, 4, 6, 8 } )
            {
                EXPECT_EQ( vertices[unused], INVALID_INDEX ) << unused;
            }
        }

        // Every border facet of the solid stands in exactly one polygon on
        // the same points, and only equal facets share a polygon, whatever
        // the chunks.
        TEST_F( SurfaceFromSolidAdjacenciesTest,
                every_border_facet_stands_in_one_polygon )
        {
            constexpr index_t n = 5;
            auto solid = test::tetrahedral_grid( n );
            // Cut between the boxes of two regions per axis, and a few
            // facets inside the boxes.
            const auto regions = test::add_box_regions( *solid, n, 2 );
            for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
            {
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const auto q = solid->polyhedron_adjacent( { p, f } );
                    if( q &&
                        ( regions->value( q.value() ) != regions->value( p ) ||
                          ( p % 37 == 0 && q.value() > p ) ) )
                    {
                        test::cut_adjacency( *solid, { p, f } );
                    }
                }
            }
            // Any number of chunks gives the same surface.
            std::vector< std::vector< index_t > > first_polygons;
            std::vector< Facets > first_facets;
            for( const unsigned int nb_threads : { 1, 3, 8 } )
            {
                const detail::ThreadLimit limit{ nb_threads };
                const auto surface =
                    SurfaceFromSolidAdjacencies{ *solid }.build();
                const auto vertices = solid_vertices( *solid );
                absl::flat_hash_map< index_t, index_t > nb_listed;
                const auto facets_of = exported_facets( *surface );
                for( index_t polygon = 0; polygon < surface->nb_polygons();
                     polygon++ )
                {
                    const auto& facets = facets_of[polygon];
                    ASSERT_FALSE( facets.empty() );
                    ASSERT_LE( facets.size(), 2u );
                    auto expected = surface->polygon_vertices( polygon );
                    std::sort( expected.begin(), expected.end() );
                    for( const auto& facet : facets )
                    {
                        EXPECT_TRUE(
                            solid->is_polyhedron_facet_on_border( facet ) );
                        nb_listed[4 * facet.polyhedron_id + facet.facet_id]++;
                        std::vector< index_t > mapped;
                        for( const auto v :
                             solid->polyhedron_facet_vertices( facet ) )
                        {
                            mapped.push_back( vertices[v] );
                            EXPECT_EQ( surface->point( vertices[v] ),
                                       solid->point( v ) );
                        }
                        std::sort( mapped.begin(), mapped.end() );
                        EXPECT_EQ( mapped, expected ) << "polygon " << polygon;
                    }
                }
                index_t nb_border{ 0 };
                for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
                {
                    for( local_index_t f = 0; f < 4; f++ )
                    {
                        if( solid->is_polyhedron_facet_on_border( { p, f } ) )
                        {
                            nb_border++;
                            EXPECT_EQ( nb_listed[4 * p + f], 1u )
                                << "facet " << p << " " << int{ f };
                        }
                    }
                }
                // Outer facets stand alone, cut ones in pairs.
                const index_t nb_outer = 6 * n * n * 2;
                EXPECT_EQ( surface->nb_polygons(),
                           nb_outer + ( nb_border - nb_outer ) / 2 );
                std::vector< std::vector< index_t > > polygons;
                for( index_t p = 0; p < surface->nb_polygons(); p++ )
                {
                    polygons.push_back( surface->polygon_vertices( p ) );
                }
                if( first_polygons.empty() )
                {
                    first_polygons = polygons;
                    first_facets = facets_of;
                }
                EXPECT_EQ( polygons, first_polygons ) << nb_threads;
                EXPECT_EQ( facets_of, first_facets ) << nb_threads;
            }
        }

        TEST_F( SurfaceFromSolidAdjacenciesTest,
                rebuild_ignores_values_left_by_an_earlier_build )
        {
            const auto solid = test::two_tetrahedra( true );
            const auto first = SurfaceFromSolidAdjacencies{ *solid }.build();
            // An earlier build on a bigger solid left out-of-range values.
            auto stale =
                solid->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, index_t >(
                        SurfaceFromSolidAdjacencies::
                            solid_vertex_attribute_name,
                        INVALID_INDEX );
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                stale->set_value( v, 100 + v );
            }
            const auto second = SurfaceFromSolidAdjacencies{ *solid }.build();
            EXPECT_EQ( second->nb_vertices(), first->nb_vertices() );
            EXPECT_EQ( second->polygon_vertices( 5 ),
                       first->polygon_vertices( 5 ) );
            EXPECT_EQ( solid_vertices( *solid ),
                       ( std::vector< index_t >{ 0, 1, 2, 3, 4 } ) );

            // Vertex 13, at the centre of the grid, lies on no border facet.
            const auto grid = test::tetrahedral_grid( 2 );
            auto grid_stale =
                grid->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, index_t >(
                        SurfaceFromSolidAdjacencies::
                            solid_vertex_attribute_name,
                        INVALID_INDEX );
            grid_stale->set_value( 13, 0 );
            SurfaceFromSolidAdjacencies{ *grid }.build();
            EXPECT_EQ( solid_vertices( *grid )[13], INVALID_INDEX );
        }

        TEST_F( SurfaceFromSolidAdjacenciesTest,
                surface_vertices_take_the_solid_vertex_attributes )
        {
            const auto solid = test::two_tetrahedra( true );
            auto heat =
                solid->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, double >(
                        "heat", 0. );
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                heat->set_value( v, 10. * v );
            }
            const auto surface = SurfaceFromSolidAdjacencies{ *solid }.build();
            const auto on_surface =
                surface->vertex_attribute_manager().find_attribute< double >(
                    "heat" );
            const auto vertices = solid_vertices( *solid );
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                EXPECT_EQ( on_surface->value( vertices[v] ), 10. * v );
            }
        }

        // A chunk that fails reaches the caller once every chunk has ended,
        // and nothing of the other chunks is merged.
        TEST_F( SurfaceFromSolidAdjacenciesTest, failed_chunk_reaches_caller )
        {
            const auto solid = test::tetrahedral_grid( 3 );
            detail::SolidBoundarySurface boundary{ *solid };
            const auto nb_started = test::nb_hook_calls_to_failure(
                [&boundary]( const auto& hook )
                { boundary.build_polygons( hook ); },
                1,
                "chunk 1 failed" );
            // 162 polyhedra: one chunk per thread and the remainder.
            const auto chunk = std::max< index_t >(
                solid->nb_polyhedra() / detail::hardware_concurrency(), 1 );
            EXPECT_EQ( nb_started, solid->nb_polyhedra() / chunk + 1 );
            EXPECT_EQ( boundary.take_surface()->nb_polygons(), 0u );
        }
    } // namespace
} // namespace vorna
