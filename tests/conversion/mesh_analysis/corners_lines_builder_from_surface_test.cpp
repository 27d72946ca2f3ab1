#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/mesh_queries.h>
#include <support/model_checks.h>
#include <support/section_fixtures.h>

#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_surface.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corvane_model.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;
    using FromSurface =
        detail::CornersLinesBuilderFromSurface< Section, SectionBuilder, 2 >;

    class FromSurfaceTest : public test::ModelTest
    {
      protected:
        /// Runs the whole builder on the mesh.
        void build( const SurfaceMesh< 2 >& mesh )
        {
            FromSurface builder{ section, mesh };
            builder.build();
            builder.build_surfaces();
        }

        const Surface< 2 >& only_surface() const
        {
            return *section.surfaces().begin();
        }

        Section section;
    };

    TEST_F( FromSurfaceTest, empty_mesh_gives_an_empty_model )
    {
        const auto mesh = test::surface_of< 2 >( {}, {} );
        FromSurface builder{ section, *mesh };
        builder.build();
        builder.build_surfaces();
        EXPECT_EQ( builder.wireframe().nb_vertices(), 0u );
        EXPECT_EQ( section.nb_corners() + section.nb_lines() +
                       section.nb_surfaces() + section.nb_unique_vertices(),
                   0u );
    }

    TEST_F( FromSurfaceTest, one_triangle_is_one_surface_inside_one_loop )
    {
        const auto mesh = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                   Point< 2 >{ { 1, 0 } },
                                                   Point< 2 >{ { 0, 1 } } },
                                                 { { 0, 1, 2 } } );
        {
            FromSurface builder{ section, *mesh };
            builder.build();
            EXPECT_EQ( builder.wireframe().nb_edges(), 3u );
            builder.build_surfaces();
        }
        EXPECT_EQ( section.nb_corners(), 0u );
        ASSERT_EQ( section.nb_lines(), 1u );
        ASSERT_EQ( section.nb_surfaces(), 1u );
        const auto& surface = only_surface();
        EXPECT_EQ( surface.mesh().nb_vertices(), 3u );
        EXPECT_EQ( surface.mesh().nb_polygons(), 1u );
        EXPECT_TRUE( section.is_boundary( *section.lines().begin(), surface ) );
        // Both attributes stay on the caller's mesh.
        EXPECT_EQ( mesh->polygon_attribute_manager()
                       .find_attribute< uuid >(
                           FromSurface::surface_uuid_attribute_name )
                       ->value( 0 ),
                   surface.id() );
        EXPECT_EQ(
            mesh->polygon_attribute_manager()
                .find_attribute< index_t >(
                    detail::SurfaceIdentifier< 2 >::surface_id_attribute_name )
                ->value( 0 ),
            0u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( FromSurfaceTest, joined_triangles_share_no_wireframe_edge )
    {
        const auto mesh = test::two_triangles_2d( true );
        FromSurface builder{ section, *mesh };
        builder.build();
        builder.build_surfaces();
        EXPECT_FALSE( builder.wireframe_edge_id( { 1, 2 } ) );
        ASSERT_EQ( section.nb_surfaces(), 1u );
        EXPECT_EQ( only_surface().mesh().nb_vertices(), 4u );
        ASSERT_EQ( section.nb_lines(), 1u );
        EXPECT_EQ( section.lines().begin()->mesh().nb_edges(), 4u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( FromSurfaceTest, slit_is_an_internal_line_kept_as_border )
    {
        const auto mesh = test::grid_with_slit_2d();
        build( *mesh );
        // Slit tips are corners; the middle vertex of the slit is not.
        EXPECT_EQ( section.nb_corners(), 2u );
        ASSERT_EQ( section.nb_surfaces(), 1u );
        const auto& surface = only_surface();
        EXPECT_EQ( section.nb_boundaries( surface.id() ), 1u );
        EXPECT_EQ( section.nb_internals( surface.id() ), 1u );
        // 16 outer edges and both sides of the two slit edges.
        EXPECT_EQ( test::nb_border_edges( surface.mesh() ), 20u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( FromSurfaceTest, corners_follow_regions_and_branching_only )
    {
        // Around b = (0, 0): a fan of region 1 whose own border passes twice
        // along (a, b) (the edge is used three times, so no adjacency), and
        // a triangle of region 0 on (a, b). b has two wireframe edges whose
        // regions differ: [0, 1] and [0].
        const auto mesh = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                   Point< 2 >{ { 1, 0 } },
                                                   Point< 2 >{ { 0, 1 } },
                                                   Point< 2 >{ { -1, 0 } },
                                                   Point< 2 >{ { 0, -1 } },
                                                   Point< 2 >{ { 1, -1 } } },
                                                 { { 1, 0, 5 },
                                                   { 0, 1, 2 },
                                                   { 0, 2, 3 },
                                                   { 0, 3, 4 },
                                                   { 0, 4, 1 } } );
        build( *mesh );
        EXPECT_EQ( test::corner_points( section ),
                   ( std::vector< Point< 2 > >{ Point< 2 >{ { 1, 0 } },
                                                Point< 2 >{ { 0, 0 } } } ) );
        EXPECT_EQ( section.nb_surfaces(), 2u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( FromSurfaceTest, unused_vertex_keeps_an_unlinked_unique_vertex )
    {
        const auto mesh = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                   Point< 2 >{ { 1, 0 } },
                                                   Point< 2 >{ { 5, 5 } },
                                                   Point< 2 >{ { 0, 1 } } },
                                                 { { 0, 1, 3 } } );
        build( *mesh );
        ASSERT_EQ( section.nb_unique_vertices(), 4u );
        EXPECT_TRUE( section.component_mesh_vertices( 2 ).empty() );
        // Unique vertex k stands for input vertex k.
        const auto& surface_mesh = only_surface().mesh();
        for( index_t v = 0; v < surface_mesh.nb_vertices(); v++ )
        {
            const auto unique =
                section.unique_vertex( { only_surface().component_id(), v } );
            EXPECT_EQ( surface_mesh.point( v ), mesh->point( unique ) );
        }
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( FromSurfaceTest, surfaces_carry_the_input_attributes )
    {
        // One region per cell; the second holds the polygons 2 and 3.
        auto mesh = test::grid_sheet_2d( 2, 1 );
        test::cut_adjacencies< 2 >( *mesh, []( index_t p ) { return p / 2; } );
        auto heights =
            mesh->vertex_attribute_manager()
                .find_or_create_attribute< VariableAttribute, double >(
                    "height", 0. );
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            heights->set_value( v, 10. * v );
        }
        auto tags = mesh->polygon_attribute_manager()
                        .find_or_create_attribute< VariableAttribute, index_t >(
                            "tag", 0 );
        for( index_t p = 0; p < mesh->nb_polygons(); p++ )
        {
            tags->set_value( p, 100 + p );
        }
        build( *mesh );
        ASSERT_EQ( section.nb_surfaces(), 2u );
        const auto& second = *std::next( section.surfaces().begin() );
        const auto& surface_mesh = second.mesh();
        const auto surface_tags =
            surface_mesh.polygon_attribute_manager().find_attribute< index_t >(
                "tag" );
        EXPECT_EQ( surface_tags->value( 0 ), 102u );
        EXPECT_EQ( surface_tags->value( 1 ), 103u );
        const auto surface_heights =
            surface_mesh.vertex_attribute_manager().find_attribute< double >(
                "height" );
        for( index_t v = 0; v < surface_mesh.nb_vertices(); v++ )
        {
            EXPECT_EQ(
                surface_heights->value( v ),
                10. * section.unique_vertex( { second.component_id(), v } ) );
        }
        EXPECT_EQ( surface_mesh.polygon_attribute_manager()
                       .find_attribute< uuid >(
                           FromSurface::surface_uuid_attribute_name )
                       ->value( 1 ),
                   second.id() );
    }

    TEST_F( FromSurfaceTest, failed_filling_task_reaches_the_caller )
    {
        // Four regions, one per column of the 4 x 1 grid: polygon 5 lies in
        // the third.
        auto mesh = test::grid_sheet_2d( 4, 1 );
        test::cut_adjacencies< 2 >( *mesh, []( index_t p ) { return p / 2; } );
        mesh->polygon_attribute_manager().register_attribute(
            std::make_shared< test::FailingCopyAttribute >( 5 ), "fragile" );
        FromSurface builder{ section, *mesh };
        builder.build();
        test::expect_error( [&builder] { builder.build_surfaces(); },
                            "[test] polygon 5 cannot be copied" );
        // Every task ran to its end, yet no unique vertex was set.
        ASSERT_EQ( section.nb_surfaces(), 4u );
        for( const auto& surface : section.surfaces() )
        {
            EXPECT_EQ( surface.mesh().nb_polygons(), 2u );
        }
        for( index_t u = 0; u < section.nb_unique_vertices(); u++ )
        {
            EXPECT_TRUE(
                section.component_mesh_vertices( u, "Surface" ).empty() );
        }
    }

    TEST_F( FromSurfaceTest, model_with_unique_vertices_is_refused )
    {
        const auto mesh = test::two_triangles_2d( true );
        SectionBuilder{ section }.create_unique_vertices( 2 );
        test::expect_error(
            [&] { FromSurface builder( section, *mesh ); },
            "[CornersLinesBuilderFromSurface] The model to build must have "
            "no unique vertex (it has 2)" );
        EXPECT_TRUE(
            mesh->polygon_attribute_manager().attribute_names().empty() );
    }

    TEST( FromSurfaceBRep, regions_of_a_3d_sheet_become_surfaces )
    {
        CorvaneModel::initialize();
        // 2 x 2 regions of 2 x 2 cells each.
        const auto mesh = test::grid_sheet_in_regions( 4, 4, 2 );
        BRep brep;
        detail::CornersLinesBuilderFromSurface< BRep, BRepBuilder, 3 > builder{
            brep, *mesh };
        builder.build();
        builder.build_surfaces();
        // The sheet's own corners join two edges of one region: corners
        // only where regions meet on the border, and at the centre.
        EXPECT_EQ( brep.nb_corners(), 5u );
        EXPECT_EQ( brep.nb_lines(), 8u );
        EXPECT_EQ( brep.nb_surfaces(), 4u );
        EXPECT_EQ( brep.nb_unique_vertices(), mesh->nb_vertices() );
        EXPECT_TRUE( test::check_brep_consistency( brep ) );
    }
} // namespace
