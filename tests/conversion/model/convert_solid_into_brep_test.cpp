#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <absl/strings/str_cat.h>
#include <gtest/gtest.h>

#include <conversion/common/tasks.h>
#include <conversion/model/region_separation.h>
#include <conversion/model/solid_adjacencies_conversion.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/mesh_analysis/surface_from_solid_adjacencies.h>
#include <vorna/conversion/model/brep_from_solid_adjacencies_builder.h>
#include <vorna/conversion/model/convert_solid_into_brep.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/surface.h>

#include "support/block_fixtures.h"
#include "support/conversion_test.h"
#include "support/expect_error.h"
#include "support/fixtures.h"
#include "support/model_checks.h"
#include "support/solid_checks.h"
#include "support/solid_fixtures.h"

namespace vorna
{
    namespace
    {
        using test::check_brep_consistency;
        using test::holds_polyhedra;

        class ConvertSolidTest : public test::ConversionTest
        {
          protected:
            /// Per block, in block order, the polyhedra of the solid it
            /// must hold, given each polyhedron's block.
            static std::vector< std::vector< index_t > >
            groups_of( const std::vector< index_t >& block_of_polyhedron )
            {
                std::vector< std::vector< index_t > > groups;
                for( index_t p = 0; p < block_of_polyhedron.size(); p++ )
                {
                    if( block_of_polyhedron[p] >= groups.size() )
                    {
                        groups.resize( block_of_polyhedron[p] + 1 );
                    }
                    groups[block_of_polyhedron[p]].push_back( p );
                }
                return groups;
            }

            /// The model is consistent and its blocks hold exactly the
            /// given groups of polyhedra, in order, each with the solid's
            /// implementation.
            static void
            expect_blocks( const BRep& brep,
                           const SolidMesh< 3 >& solid,
                           const std::vector< std::vector< index_t > >& groups )
            {
                EXPECT_TRUE( check_brep_consistency( brep ) );
                ASSERT_EQ( brep.nb_blocks(), groups.size() );
                index_t k{ 0 };
                for( const auto& block : brep.blocks() )
                {
                    EXPECT_TRUE(
                        holds_polyhedra( block.mesh(), solid, groups[k] ) )
                        << "block " << k;
                    EXPECT_EQ( block.mesh().impl_name(), solid.impl_name() );
                    k++;
                }
                EXPECT_EQ( brep.nb_model_boundaries(), 0u );
            }

            /// Counts of components and the unique vertex of every block
            /// vertex, in model order: equal for equal models.
            static std::string summary( const BRep& brep )
            {
                auto text = absl::StrCat( brep.nb_corners(),
                                          " corners ",
                                          brep.nb_lines(),
                                          " lines ",
                                          brep.nb_surfaces(),
                                          " surfaces ",
                                          brep.nb_unique_vertices(),
                                          " unique;" );
                for( const auto& surface : brep.surfaces() )
                {
                    absl::StrAppend( &text,
                                     " s",
                                     surface.mesh().nb_polygons(),
                                     "/",
                                     brep.nb_incidences( surface.id() ),
                                     "/",
                                     brep.nb_embeddings( surface.id() ) );
                }
                for( const auto& block : brep.blocks() )
                {
                    absl::StrAppend(
                        &text, " b", block.mesh().nb_polyhedra(), ":" );
                    for( index_t v = 0; v < block.mesh().nb_vertices(); v++ )
                    {
                        absl::StrAppend(
                            &text,
                            " ",
                            brep.unique_vertex( { block.component_id(), v } ) );
                    }
                }
                return text;
            }

            /// The block-mesh unique vertex of every block vertex, block by
            /// block.
            static std::vector< std::vector< index_t > >
            block_unique_vertices( const BRep& brep )
            {
                std::vector< std::vector< index_t > > result;
                for( const auto& block : brep.blocks() )
                {
                    result.emplace_back();
                    for( index_t v = 0; v < block.mesh().nb_vertices(); v++ )
                    {
                        result.back().push_back(
                            brep.unique_vertex( { block.component_id(), v } ) );
                    }
                }
                return result;
            }

            template < typename T >
            static std::shared_ptr< VariableAttribute< T > >
            set_regions( SolidMesh< 3 >& solid, const std::vector< T >& values )
            {
                return test::set_values(
                    solid.polyhedron_attribute_manager(), "region", values );
            }
        };

        TEST_F( ConvertSolidTest, one_tetrahedron_is_one_bounded_block )
        {
            const auto solid = test::one_tetrahedron();
            const auto brep =
                convert_solid_into_brep_from_adjacencies( *solid );
            expect_blocks( brep, *solid, { { 0 } } );
            EXPECT_EQ( brep.nb_surfaces(), 1u );
            EXPECT_EQ( brep.nb_lines(), 0u );
            EXPECT_EQ( brep.nb_unique_vertices(), 4u );
            EXPECT_EQ(
                block_unique_vertices( brep ),
                ( std::vector< std::vector< index_t > >{ { 0, 1, 2, 3 } } ) );
            const auto& surface = *brep.surfaces().begin();
            EXPECT_TRUE(
                brep.is_boundary( surface.id(), brep.blocks().begin()->id() ) );
        }

        TEST_F( ConvertSolidTest, shared_facet_joins_or_bounds_two_tetrahedra )
        {
            const auto joined = test::two_tetrahedra( true );
            const auto one =
                convert_solid_into_brep_from_adjacencies( *joined );
            expect_blocks( one, *joined, { { 0, 1 } } );
            EXPECT_EQ( one.nb_surfaces(), 1u );
            EXPECT_EQ( one.surfaces().begin()->mesh().nb_polygons(), 6u );

            const auto apart = test::two_tetrahedra( false );
            const auto two = convert_solid_into_brep_from_adjacencies( *apart );
            expect_blocks( two, *apart, { { 0 }, { 1 } } );
            // The shared triangle, and the rest of each tetrahedron.
            ASSERT_EQ( two.nb_surfaces(), 3u );
            index_t nb_shared{ 0 };
            for( const auto& surface : two.surfaces() )
            {
                if( two.nb_incidences( surface.id() ) == 2 )
                {
                    nb_shared++;
                    EXPECT_EQ( surface.mesh().nb_polygons(), 1u );
                }
                else
                {
                    EXPECT_EQ( two.nb_incidences( surface.id() ), 1u );
                }
            }
            EXPECT_EQ( nb_shared, 1u );
        }

        TEST_F( ConvertSolidTest, cut_facet_inside_a_block_is_internal )
        {
            // In the middle cube of a 3 x 3 x 3 grid every vertex is inside
            // the solid.
            auto solid = test::tetrahedral_grid( 3 );
            const index_t middle = 6 * 13;
            local_index_t inner{ 0 };
            while( solid->polyhedron_adjacent( { middle, inner } )
                           .value_or( INVALID_INDEX ) /
                       6 !=
                   13 )
            {
                inner++;
            }
            test::cut_adjacency( *solid, { middle, inner } );
            const auto brep =
                convert_solid_into_brep_from_adjacencies( *solid );
            expect_blocks( brep,
                           *solid,
                           groups_of( std::vector< index_t >(
                               solid->nb_polyhedra(), 0 ) ) );
            const auto& block = *brep.blocks().begin();
            index_t nb_internal{ 0 };
            for( const auto& surface : brep.surfaces() )
            {
                if( brep.is_internal( surface.id(), block.id() ) )
                {
                    nb_internal++;
                    EXPECT_EQ( surface.mesh().nb_polygons(), 1u );
                    EXPECT_EQ( brep.nb_incidences( surface.id() ), 0u );
                }
                else
                {
                    EXPECT_TRUE( brep.is_boundary( surface.id(), block.id() ) );
                }
            }
            EXPECT_EQ( nb_internal, 1u );
        }

        TEST_F( ConvertSolidTest, inner_vertex_gets_the_last_unique_vertex )
        {
            // 27 vertices, vertex 13 at (1, 1, 1) on no border facet.
            const auto solid = test::tetrahedral_grid( 2 );
            const auto brep =
                convert_solid_into_brep_from_adjacencies( *solid );
            expect_blocks(
                brep, *solid, groups_of( std::vector< index_t >( 48, 0 ) ) );
            EXPECT_EQ( brep.nb_unique_vertices(), 27u );
            const auto& block = *brep.blocks().begin();
            index_t nb_inner{ 0 };
            for( index_t v = 0; v < block.mesh().nb_vertices(); v++ )
            {
                const auto unique =
                    brep.unique_vertex( { block.component_id(), v } );
                if( block.mesh().point( v ) == Point3D{ { 1, 1, 1 } } )
                {
                    nb_inner++;
                    EXPECT_EQ( unique, 26u );
                }
                else
                {
                    EXPECT_LT( unique, 26u );
                }
            }
            EXPECT_EQ( nb_inner, 1u );

            // The grid twice over the same vertices, each copy joined to
            // itself only: two blocks share every vertex, the inner one too.
            auto twice = SolidMesh< 3 >::create(
                TetrahedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *twice );
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                builder->create_point( solid->point( v ) );
            }
            for( index_t p = 0; p < 96; p++ )
            {
                std::array< index_t, 4 > vertices;
                for( local_index_t i = 0; i < 4; i++ )
                {
                    vertices[i] = solid->polyhedron_vertex( { p % 48, i } );
                }
                builder->create_tetrahedron( vertices );
            }
            for( const index_t copy : { 0, 48 } )
            {
                for( index_t p = 0; p < 48; p++ )
                {
                    for( local_index_t f = 0; f < 4; f++ )
                    {
                        if( const auto q =
                                solid->polyhedron_adjacent( { p, f } ) )
                        {
                            builder->set_polyhedron_adjacent(
                                { copy + p, f }, copy + q.value() );
                        }
                    }
                }
            }
            std::vector< index_t > second( 48 );
            std::iota( second.begin(), second.end(), 48 );
            const auto doubled =
                convert_solid_into_brep_from_adjacencies( *twice );
            expect_blocks(
                doubled,
                *twice,
                { groups_of( std::vector< index_t >( 48, 0 ) )[0], second } );
            EXPECT_EQ( doubled.nb_unique_vertices(), 27u );
        }

        TEST_F( ConvertSolidTest, duplicated_nodes_share_their_unique_vertex )
        {
            // Exactly equal, and 5e-7 apart: within the merging tolerance.
            for( const double gap : { 0.0, 5e-7 } )
            {
                const auto solid = test::two_cubes_with_duplicated_nodes( gap );
                const auto brep =
                    convert_solid_into_brep_from_adjacencies( *solid );
                expect_blocks(
                    brep,
                    *solid,
                    { { 0, 1, 2, 3, 4, 5 }, { 6, 7, 8, 9, 10, 11 } } );
                // 16 solid vertices, the 4 pairs on the common face merged.
                EXPECT_EQ( brep.nb_unique_vertices(), 12u ) << gap;
                index_t nb_shared{ 0 };
                for( const auto& surface : brep.surfaces() )
                {
                    nb_shared += brep.nb_incidences( surface.id() ) == 2;
                }
                EXPECT_EQ( nb_shared, 1u ) << gap;
            }
        }

        TEST_F( ConvertSolidTest, mixed_polyhedra_split_by_region )
        {
            auto solid = test::mixed_polyhedra();
            set_regions< int >( *solid, { 0, 1, 1, 1 } );
            const auto brep =
                convert_solid_into_brep_from_attribute( *solid, "region" );
            expect_blocks( brep, *solid, { { 0 }, { 1, 2, 3 } } );
            // The square between the hexahedron and the prism.
            index_t nb_shared{ 0 };
            for( const auto& surface : brep.surfaces() )
            {
                if( brep.nb_incidences( surface.id() ) == 2 )
                {
                    nb_shared++;
                    EXPECT_EQ( surface.mesh().nb_polygons(), 1u );
                    EXPECT_EQ( surface.mesh().nb_polygon_vertices( 0 ), 4u );
                }
            }
            EXPECT_EQ( nb_shared, 1u );
        }

        TEST_F( ConvertSolidTest, empty_solid_gives_empty_model )
        {
            auto solid = SolidMesh< 3 >::create();
            EXPECT_EQ(
                summary( convert_solid_into_brep_from_adjacencies( *solid ) ),
                "0 corners 0 lines 0 surfaces 0 unique;" );
            set_regions< int >( *solid, {} );
            const auto brep =
                convert_solid_into_brep_from_attribute( *solid, "region" );
            EXPECT_EQ( summary( brep ),
                       "0 corners 0 lines 0 surfaces 0 unique;" );
            EXPECT_EQ( brep.nb_blocks(), 0u );
        }

        TEST_F( ConvertSolidTest, regions_compare_values_exactly )
        {
            constexpr index_t n = 2;
            const auto x_of = [&]( index_t p )
            { return test::grid_cube( n, p )[0]; };
            {
                // Distinct ids that a float would confuse.
                auto solid = test::tetrahedral_grid( n );
                std::vector< unsigned int > ids;
                std::vector< index_t > block_of;
                for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
                {
                    ids.push_back( 16777216u + x_of( p ) );
                    block_of.push_back( x_of( p ) );
                }
                set_regions( *solid, ids );
                const auto brep =
                    convert_solid_into_brep_from_attribute( *solid, "region" );
                expect_blocks( brep, *solid, groups_of( block_of ) );
                for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
                {
                    for( local_index_t f = 0; f < 4; f++ )
                    {
                        const auto q = solid->polyhedron_adjacent( { p, f } );
                        EXPECT_TRUE( !q || ids[q.value()] == ids[p] );
                    }
                }
            }
            {
                // Signed zeros are one region; a NaN is a region of its own.
                const auto nan = std::numeric_limits< double >::quiet_NaN();
                auto solid = test::tetrahedral_grid( n );
                std::vector< double > values;
                std::vector< index_t > block_of;
                for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
                {
                    values.push_back( p == 20 ? nan : ( p % 2 ? 0.0 : -0.0 ) );
                    block_of.push_back( p == 20 ? 1 : 0 );
                }
                set_regions( *solid, values );
                const auto brep =
                    convert_solid_into_brep_from_attribute( *solid, "region" );
                expect_blocks( brep, *solid, groups_of( block_of ) );
            }
            {
                // Flags: two regions.
                auto solid = test::tetrahedral_grid( n );
                std::vector< bool > flags;
                std::vector< index_t > block_of;
                for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
                {
                    flags.push_back( x_of( p ) == 1 );
                    block_of.push_back( x_of( p ) );
                }
                set_regions( *solid, flags );
                const auto brep =
                    convert_solid_into_brep_from_attribute( *solid, "region" );
                expect_blocks( brep, *solid, groups_of( block_of ) );
            }
        }

        TEST_F( ConvertSolidTest, equal_values_convert_as_the_adjacencies_do )
        {
            auto solid = test::tetrahedral_grid( 2 );
            const auto plain =
                summary( convert_solid_into_brep_from_adjacencies( *solid ) );
            set_regions( *solid, std::vector< double >( 48, 3.5 ) );
            const auto brep =
                convert_solid_into_brep_from_attribute( *solid, "region" );
            EXPECT_EQ( summary( brep ), plain );
            expect_blocks(
                brep, *solid, groups_of( std::vector< index_t >( 48, 0 ) ) );
        }

        TEST_F( ConvertSolidTest, eight_box_regions_give_eight_closed_blocks )
        {
            constexpr index_t n = 4;
            auto solid = test::tetrahedral_grid( n );
            const auto regions = test::add_box_regions( *solid, n, 2 );
            std::vector< index_t > region_of;
            for( index_t p = 0; p < solid->nb_polyhedra(); p++ )
            {
                region_of.push_back( regions->value( p ) );
            }
            const auto brep =
                convert_solid_into_brep_from_attribute( *solid, "region" );
            // Polyhedron 0 is in region 0, and regions are numbered as
            // their smallest polyhedra come.
            expect_blocks( brep, *solid, groups_of( region_of ) );
            // Each box shares a face with three others (12 shared
            // surfaces); its three outer faces are one surface, as nothing
            // cuts the outer boundary along the grid's edges.
            index_t nb_shared{ 0 };
            for( const auto& surface : brep.surfaces() )
            {
                nb_shared += brep.nb_incidences( surface.id() ) == 2;
            }
            EXPECT_EQ( nb_shared, 12u );
            EXPECT_EQ( brep.nb_surfaces(), 20u );
        }

        TEST_F( ConvertSolidTest, missing_attribute_leaves_solid_unchanged )
        {
            auto solid = test::two_tetrahedra( true );
            test::expect_exact_error(
                [&]
                { convert_solid_into_brep_from_attribute( *solid, "region" ); },
                "[convert_solid_into_brep_from_attribute] Attribute not "
                "found" );
            EXPECT_EQ( solid->polyhedron_adjacent( { 0, 0 } ), 1u );
            EXPECT_EQ( solid->polyhedron_adjacent( { 1, 0 } ), 0u );
            EXPECT_TRUE( solid->polyhedron_attribute_manager()
                             .attribute_names()
                             .empty() );
            EXPECT_TRUE(
                solid->vertex_attribute_manager().attribute_names().empty() );
        }

        // The conversion writes no attribute on the solid, so the names of
        // its working attributes stay free for the caller's own.
        TEST_F( ConvertSolidTest, working_attribute_names_stay_the_callers )
        {
            auto solid = test::two_tetrahedra( true );
            set_regions< int >( *solid, { 1, 2 } );
            auto& polyhedra = solid->polyhedron_attribute_manager();
            for( const auto* name : { "block_identifier",
                                      "polyhedra_exported",
                                      "surface_identifier",
                                      "surface_uuid" } )
            {
                test::set_values(
                    polyhedra, name, std::vector< double >{ 0.5, 1.5 } );
            }
            test::set_values( solid->vertex_attribute_manager(),
                              "solid_vertex",
                              std::vector< double >( 5, 2.5 ) );
            const auto brep =
                convert_solid_into_brep_from_attribute( *solid, "region" );
            expect_blocks( brep, *solid, { { 0 }, { 1 } } );
            EXPECT_EQ( polyhedra.find_attribute< double >( "block_identifier" )
                           ->value( 1 ),
                       1.5 );
            EXPECT_EQ( solid->vertex_attribute_manager()
                           .find_attribute< double >( "solid_vertex" )
                           ->value( 4 ),
                       2.5 );
        }

        TEST_F( ConvertSolidTest, trace_lines_come_in_order )
        {
            auto solid = test::two_tetrahedra( true );
            set_regions< int >( *solid, { 1, 2 } );
            std::vector< std::string > traces;
            {
                test::LogCapture capture;
                convert_solid_into_brep_from_attribute( *solid, "region" );
                for( const auto& line : capture.lines() )
                {
                    if( line.level == Logger::Level::trace )
                    {
                        traces.push_back( line.text );
                    }
                }
            }
            EXPECT_EQ( traces,
                       ( std::vector< std::string >{
                           "Converting Solid into BRep from attribute",
                           "Converting Solid into BRep from adjacencies",
                           "Building surface from solid adjacencies",
                           "Building BRep Blocks" } ) );
        }

        TEST_F( ConvertSolidTest, refused_solid_is_logged_first )
        {
            auto solid = test::one_tetrahedron();
            SolidMeshBuilder< 3 >::create( *solid )->set_point(
                3,
                Point3D{
                    { 0, 0, std::numeric_limits< double >::infinity() } } );
            test::LogCapture capture;
            EXPECT_THROW( convert_solid_into_brep_from_adjacencies( *solid ),
                          CorvaneException );
            EXPECT_EQ( capture.count( Logger::Level::trace,
                                      "Converting Solid into BRep from "
                                      "adjacencies" ),
                       1u );
        }

        /// tetrahedral_grid(2) with polyhedron 0 on a copy of vertex 0, at
        /// (0, 0, 0) too, adjacencies computed: it stays joined to cube 1
        /// across x = 1 but not to its own cube's tetrahedra.
        std::unique_ptr< SolidMesh< 3 > > grid_with_a_copied_node()
        {
            const auto grid = test::tetrahedral_grid( 2 );
            auto solid = SolidMesh< 3 >::create(
                TetrahedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            for( index_t v = 0; v < grid->nb_vertices(); v++ )
            {
                builder->create_point( grid->point( v ) );
            }
            const auto copy = builder->create_point( grid->point( 0 ) );
            for( index_t p = 0; p < grid->nb_polyhedra(); p++ )
            {
                std::array< index_t, 4 > vertices;
                for( local_index_t i = 0; i < 4; i++ )
                {
                    vertices[i] = grid->polyhedron_vertex( { p, i } );
                }
                if( p == 0 )
                {
                    vertices[0] = copy;
                }
                builder->create_tetrahedron( vertices );
            }
            builder->compute_polyhedron_adjacencies();
            return solid;
        }

        TEST_F( ConvertSolidTest, copied_node_inside_a_block_is_an_inner_crack )
        {
            const auto solid = grid_with_a_copied_node();
            const auto brep =
                convert_solid_into_brep_from_adjacencies( *solid );
            expect_blocks(
                brep, *solid, groups_of( std::vector< index_t >( 48, 0 ) ) );
            // The two facets polyhedron 0 shares with its cube's others,
            // seen from both sides: the model makes one polygon of each
            // pair, inside the block.
            const auto& block = *brep.blocks().begin();
            index_t nb_inner_polygons{ 0 };
            for( const auto& surface : brep.surfaces() )
            {
                if( brep.is_internal( surface.id(), block.id() ) )
                {
                    nb_inner_polygons += surface.mesh().nb_polygons();
                }
            }
            EXPECT_EQ( nb_inner_polygons, 2u );
        }

        TEST_F( ConvertSolidTest, only_flat_blocks_are_refused )
        {
            // A flat tetrahedron joined to a sound one makes a sound block.
            auto joined = test::two_tetrahedra( true );
            SolidMeshBuilder< 3 >::create( *joined )->set_point(
                4, Point3D{ { 1. / 3, 1. / 3, 1. / 3 } } );
            expect_blocks( convert_solid_into_brep_from_adjacencies( *joined ),
                           *joined,
                           { { 0, 1 } } );
            // Alone, it would bound nothing.
            auto apart = test::two_tetrahedra( false );
            SolidMeshBuilder< 3 >::create( *apart )->set_point(
                4, Point3D{ { 1. / 3, 1. / 3, 1. / 3 } } );
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *apart ); },
                absl::StrCat( "[BRepFromSolidAdjacenciesBuilder] The "
                              "polyhedra joined to polyhedron 1 of mesh '",
                              apart->id().string(),
                              "' enclose no volume" ) );
        }

        TEST_F( ConvertSolidTest, boundary_merged_away_is_refused )
        {
            // Two hexahedra 2e-7 wide: every node of their boundary lies
            // within the merging distance of the others.
            const auto tiny = test::hexahedral_grid( 2, 1, 1, 2e-7 );
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *tiny ); },
                absl::StrCat( "[BRepFromSolidAdjacenciesBuilder::build_blocks_"
                              "step] No surface bounds the polyhedra joined "
                              "to polyhedron 0 of mesh '",
                              tiny->id().string(),
                              "': their border facets merge within the "
                              "merging distance 1e-6" ) );
        }

        TEST_F( ConvertSolidTest, unanswered_adjacencies_are_refused )
        {
            const auto message = [&]( const SolidMesh< 3 >& solid,
                                      index_t polyhedron,
                                      index_t facet,
                                      index_t neighbour )
            {
                return absl::StrCat( "[BRepFromSolidAdjacenciesBuilder] "
                                     "Facet ",
                                     facet,
                                     " of polyhedron ",
                                     polyhedron,
                                     " of mesh '",
                                     solid.id().string(),
                                     "' is adjacent to polyhedron ",
                                     neighbour,
                                     ", which is not adjacent back across "
                                     "it" );
            };
            auto one_sided = test::two_tetrahedra( true );
            SolidMeshBuilder< 3 >::create( *one_sided )
                ->unset_polyhedron_adjacent( { 1, 0 } );
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *one_sided ); },
                message( *one_sided, 0, 0, 1 ) );
            // Answered back, but across another facet.
            auto stale = test::two_tetrahedra( true );
            SolidMeshBuilder< 3 >::create( *stale )->set_polyhedron_adjacent(
                { 0, 2 }, 1 );
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *stale ); },
                message( *stale, 0, 2, 1 ) );
            // On the last polyhedron of a solid of several counting chunks.
            auto grid = test::tetrahedral_grid( 3 );
            const index_t last = grid->nb_polyhedra() - 1;
            local_index_t facet{ 0 };
            while( !grid->polyhedron_adjacent( { last, facet } ) )
            {
                facet++;
            }
            const auto across =
                grid->polyhedron_adjacent( { last, facet } ).value();
            for( local_index_t f = 0; f < 4; f++ )
            {
                if( grid->polyhedron_adjacent( { across, f } ) == last )
                {
                    SolidMeshBuilder< 3 >::create( *grid )
                        ->unset_polyhedron_adjacent( { across, f } );
                }
            }
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *grid ); },
                message( *grid, last, facet, across ) );
            // Stored as its own neighbour.
            auto own = test::two_tetrahedra( false );
            SolidMeshBuilder< 3 >::create( *own )->set_polyhedron_adjacent(
                { 1, 2 }, 1 );
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *own ); },
                absl::StrCat( "[BRepFromSolidAdjacenciesBuilder] Facet 2 of "
                              "polyhedron 1 of mesh '",
                              own->id().string(),
                              "' is adjacent to its own polyhedron" ) );
            // A triangle listed twice, both copies joined to a neighbour that
            // answers once; another facet of the neighbour, unanswered,
            // balances the pairs a count would find.
            auto twice = SolidMesh< 3 >::create();
            {
                const auto tetrahedra = test::two_tetrahedra( false );
                auto builder = SolidMeshBuilder< 3 >::create( *twice );
                for( index_t v = 0; v < tetrahedra->nb_vertices(); v++ )
                {
                    builder->create_point( tetrahedra->point( v ) );
                }
                builder->create_polyhedron( { 0, 1, 2, 3 },
                                            { { 1, 2, 3 },
                                              { 0, 3, 2 },
                                              { 0, 1, 3 },
                                              { 0, 2, 1 },
                                              { 1, 2, 3 } } );
                builder->create_polyhedron(
                    { 4, 1, 3, 2 },
                    { { 1, 2, 3 }, { 0, 3, 2 }, { 0, 1, 3 }, { 0, 2, 1 } } );
                builder->set_polyhedron_adjacent( { 0, 0 }, 1 );
                builder->set_polyhedron_adjacent( { 0, 4 }, 1 );
                builder->set_polyhedron_adjacent( { 1, 0 }, 0 );
                builder->set_polyhedron_adjacent( { 1, 1 }, 0 );
            }
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *twice ); },
                absl::StrCat( "[BRepFromSolidAdjacenciesBuilder] Facets 0 and "
                              "4 of polyhedron 0 of mesh '",
                              twice->id().string(),
                              "' lie on the same vertices and are both "
                              "adjacent to polyhedron 1, which is adjacent "
                              "back across them once" ) );
        }

        TEST_F( ConvertSolidTest, bad_vertices_are_refused_before_any_step )
        {
            // Vertex 13, at the grid's centre, lies on no border facet: it
            // would reach the block unchecked.
            auto grid = test::tetrahedral_grid( 2 );
            auto builder = SolidMeshBuilder< 3 >::create( *grid );
            builder->set_name( "grid" );
            builder->set_point(
                13,
                Point3D{
                    { 1, std::numeric_limits< double >::quiet_NaN(), 1 } } );
            BRep brep;
            detail::BRepFromSolidAdjacenciesBuilder steps{ brep, *grid };
            test::expect_exact_error( [&] { steps.build_surface_step(); },
                                      "[BRepFromSolidAdjacenciesBuilder] "
                                      "Vertex 13 of mesh 'grid' has a "
                                      "non-finite coordinate" );
            EXPECT_EQ( brep.nb_unique_vertices(), 0u );
            // The smallest bad vertex is named: polyhedron 0 uses vertex 13,
            // and only the polyhedra of cube 1 use vertex 2.
            builder->set_point(
                2,
                Point3D{
                    { 2, 0, std::numeric_limits< double >::quiet_NaN() } } );
            test::expect_exact_error(
                [&] { convert_solid_into_brep_from_adjacencies( *grid ); },
                "[BRepFromSolidAdjacenciesBuilder] Vertex 2 of mesh 'grid' "
                "has a non-finite coordinate" );
            // A vertex that no polyhedron uses is left out anyway.
            auto tetrahedron = test::one_tetrahedron();
            SolidMeshBuilder< 3 >::create( *tetrahedron )
                ->create_point( Point3D{
                    { std::numeric_limits< double >::infinity(), 0, 0 } } );
            expect_blocks(
                convert_solid_into_brep_from_adjacencies( *tetrahedron ),
                *tetrahedron,
                { { 0 } } );
            // A facet over one vertex twice: its first and last, first and
            // second, or last two.
            const std::vector<
                std::pair< std::vector< local_index_t >, index_t > >
                pinched_facets{ { { 3, 2, 4, 3 }, 3 },
                                { { 3, 3, 2, 4 }, 3 },
                                { { 3, 2, 4, 4 }, 4 } };
            for( const auto& pinch : pinched_facets )
            {
                const auto& facet = pinch.first;
                auto pinched = SolidMesh< 3 >::create();
                auto pinched_builder =
                    SolidMeshBuilder< 3 >::create( *pinched );
                for( index_t v = 0; v < 4; v++ )
                {
                    pinched_builder->create_point( test::cube_point( v ) );
                }
                pinched_builder->create_point( test::point( 0, 0, 1 ) );
                pinched_builder->create_polyhedron(
                    { 0, 1, 2, 3, 4 },
                    { { 0, 2, 3, 1 }, { 0, 1, 4 }, { 1, 3, 4 }, facet } );
                test::expect_exact_error(
                    [&]
                    { convert_solid_into_brep_from_adjacencies( *pinched ); },
                    absl::StrCat( "[BRepFromSolidAdjacenciesBuilder] Facet 3 "
                                  "of polyhedron 0 of mesh '",
                                  pinched->id().string(),
                                  "' lists vertex ",
                                  pinch.second,
                                  " twice" ) );
            }
        }

        // The caller's attributes reach the blocks; the conversion leaves
        // none of its own on the solid or on the blocks.
        TEST_F( ConvertSolidTest, attributes_reach_blocks_and_none_are_left )
        {
            constexpr index_t n = 2;
            auto solid = test::tetrahedral_grid( n );
            const auto regions = test::add_box_regions( *solid, n, 2 );
            auto height =
                solid->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, double >(
                        "height", 0. );
            auto high =
                solid->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, bool >(
                        "high", false );
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                height->set_value( v, solid->point( v ).value( 2 ) );
                high->set_value( v, solid->point( v ).value( 2 ) > 1 );
            }
            const auto brep =
                convert_solid_into_brep_from_attribute( *solid, "region" );
            EXPECT_EQ( solid->vertex_attribute_manager().attribute_names(),
                       ( std::vector< std::string >{ "height", "high" } ) );
            EXPECT_EQ( solid->polyhedron_attribute_manager().attribute_names(),
                       ( std::vector< std::string >{ "region" } ) );
            ASSERT_EQ( brep.nb_blocks(), 8u );
            index_t k{ 0 };
            for( const auto& block : brep.blocks() )
            {
                const auto& mesh = block.mesh();
                EXPECT_EQ( mesh.vertex_attribute_manager().attribute_names(),
                           ( std::vector< std::string >{ "height", "high" } ) );
                EXPECT_EQ(
                    mesh.polyhedron_attribute_manager().attribute_names(),
                    ( std::vector< std::string >{ "region" } ) );
                const auto block_height =
                    mesh.vertex_attribute_manager().find_attribute< double >(
                        "height" );
                const auto block_high =
                    mesh.vertex_attribute_manager().find_attribute< bool >(
                        "high" );
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    EXPECT_EQ( block_height->value( v ),
                               mesh.point( v ).value( 2 ) );
                    EXPECT_EQ( block_high->value( v ),
                               mesh.point( v ).value( 2 ) > 1 );
                }
                const auto block_region =
                    mesh.polyhedron_attribute_manager()
                        .find_attribute< unsigned int >( "region" );
                for( index_t p = 0; p < mesh.nb_polyhedra(); p++ )
                {
                    EXPECT_EQ( block_region->value( p ), k );
                }
                k++;
            }
        }

        TEST_F( ConvertSolidTest, builder_steps_keep_boundary_attributes )
        {
            const auto solid = test::two_tetrahedra( false );
            BRep brep;
            detail::BRepFromSolidAdjacenciesBuilder builder{ brep, *solid };
            test::expect_exact_error(
                [&builder] { builder.solid_boundaries(); },
                "[BRepFromSolidAdjacenciesBuilder::solid_boundaries] The "
                "boundary surface is not built: run build_surface_step() "
                "first" );
            test::expect_exact_error(
                [&builder] { builder.build_brep_without_block_step(); },
                "[BRepFromSolidAdjacenciesBuilder::build_brep_without_block_"
                "step] The boundary surface is not built: run "
                "build_surface_step() first" );
            test::expect_exact_error(
                [&builder] { builder.build_blocks_step(); },
                "[BRepFromSolidAdjacenciesBuilder::build_blocks_step] The "
                "model surfaces are not built: run "
                "build_brep_without_block_step() first" );
            builder.build_surface_step();
            builder.build_brep_without_block_step();
            builder.build_blocks_step();
            test::expect_exact_error(
                [&builder] { builder.build_surface_step(); },
                "[BRepFromSolidAdjacenciesBuilder::build_surface_step] The "
                "boundary surface is built already" );
            test::expect_exact_error(
                [&builder] { builder.build_brep_without_block_step(); },
                "[BRepFromSolidAdjacenciesBuilder::build_brep_without_block_"
                "step] The model surfaces are built already" );
            test::expect_exact_error(
                [&builder] { builder.build_blocks_step(); },
                "[BRepFromSolidAdjacenciesBuilder::build_blocks_step] The "
                "blocks are built already" );
            const auto& polygons =
                builder.solid_boundaries().polygon_attribute_manager();
            EXPECT_EQ( polygons.attribute_names(),
                       ( std::vector< std::string >{ "polyhedra_exported",
                                                     "surface_uuid" } ) );
            const auto surface_uuid =
                polygons.find_attribute< uuid >( "surface_uuid" );
            for( index_t p = 0; p < builder.solid_boundaries().nb_polygons();
                 p++ )
            {
                EXPECT_NO_THROW( brep.surface( surface_uuid->value( p ) ) );
            }
            EXPECT_TRUE(
                solid->vertex_attribute_manager().attribute_names().empty() );
            EXPECT_TRUE( solid->polyhedron_attribute_manager()
                             .attribute_names()
                             .empty() );
            expect_blocks( brep, *solid, { { 0 }, { 1 } } );
        }

        // A failed task of either parallel part reaches the caller once
        // every task has ended; the blocks step then leaves no block.
        TEST_F( ConvertSolidTest, failed_tasks_reach_the_caller )
        {
            constexpr index_t n = 3;
            {
                const auto solid = test::tetrahedral_grid( n );
                BRep brep;
                detail::SolidAdjacenciesConversion steps{ brep, *solid };
                EXPECT_THROW( steps.build_surface_step(
                                  []( index_t chunk )
                                  {
                                      if( chunk == 0 )
                                      {
                                          throw std::runtime_error{ "chunk" };
                                      }
                                  } ),
                              std::runtime_error );
                test::expect_error( [&steps] { steps.solid_boundaries(); },
                                    "[BRepFromSolidAdjacenciesBuilder::solid_"
                                    "boundaries]" );
            }
            auto separated = test::tetrahedral_grid( n );
            detail::unset_polyhedron_adjacencies_by_attribute(
                *separated,
                *SolidMeshBuilder< 3 >::create( *separated ),
                *test::add_box_regions( *separated, n, 2 ) );
            BRep brep;
            detail::SolidAdjacenciesConversion steps{ brep, *separated };
            steps.build_surface_step();
            steps.build_brep_without_block_step();
            EXPECT_EQ( test::nb_hook_calls_to_failure(
                           [&steps]( const auto& hook )
                           { steps.build_blocks_step( hook ); },
                           5,
                           "block 5 failed" ),
                       8u );
            EXPECT_EQ( brep.nb_blocks(), 0u );
        }

        // Conversions of one solid on several threads at once only read it
        // and all give the same model, as does a conversion on one thread.
        TEST_F( ConvertSolidTest, one_solid_converts_on_several_threads )
        {
            constexpr index_t n = 3;
            auto solid = test::tetrahedral_grid( n );
            test::add_box_regions( *solid, n, 2 );
            const auto reference = summary(
                convert_solid_into_brep_from_attribute( *solid, "region" ) );
            const SolidMesh< 3 >& shared = *solid;
            {
                const detail::ThreadLimit one_thread{ 1 };
                EXPECT_EQ( summary( convert_solid_into_brep_from_adjacencies(
                               shared ) ),
                           reference );
            }
            std::vector< std::string > results( 4 );
            std::vector< std::thread > threads;
            for( index_t t = 0; t < results.size(); t++ )
            {
                threads.emplace_back(
                    [&shared, &results, t]
                    {
                        for( index_t i = 0; i < 2; i++ )
                        {
                            results[t] = summary(
                                convert_solid_into_brep_from_adjacencies(
                                    shared ) );
                        }
                    } );
            }
            for( auto& thread : threads )
            {
                thread.join();
            }
            for( const auto& result : results )
            {
                EXPECT_EQ( result, reference );
            }
            EXPECT_TRUE(
                solid->vertex_attribute_manager().attribute_names().empty() );
            EXPECT_EQ( solid->polyhedron_attribute_manager().attribute_names(),
                       ( std::vector< std::string >{ "region" } ) );
        }
    } // namespace
} // namespace vorna
