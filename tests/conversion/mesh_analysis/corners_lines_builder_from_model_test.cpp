#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/section_fixtures.h>

#include "model/model_maker.h"

#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_model.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;

    class FromModelTest : public ::testing::Test
    {
      protected:
        // One surface per mesh (a copy), one unique vertex per distinct
        // point.
        void build( const std::vector<
                    std::reference_wrapper< const SurfaceMesh< 2 > > >& meshes )
        {
            for( const auto& mesh : meshes )
            {
                maker.add_surface_copy( mesh );
            }
            detail::CornersLinesBuilderFromModel< Section, SectionBuilder, 2 >{
                section }
                .build();
        }

        test::SectionMaker maker;
        Section& section = maker.model;
    };

    TEST_F( FromModelTest, surface_bordered_by_one_loop_gets_a_closed_line )
    {
        const auto triangle = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                       Point< 2 >{ { 1, 0 } },
                                                       Point< 2 >{ { 0, 1 } } },
                                                     { { 0, 1, 2 } } );
        build( { *triangle } );
        EXPECT_EQ( section.nb_corners(), 0u );
        ASSERT_EQ( section.nb_lines(), 1u );
        const auto& line = *section.lines().begin();
        EXPECT_EQ( line.mesh().nb_edges(), 3u );
        EXPECT_EQ( section.nb_boundaries( line.id() ), 0u );
        // No line-surface relationship: that is the caller's part.
        EXPECT_EQ( section.nb_incidences( line.id() ), 0u );
    }

    TEST_F( FromModelTest, surfaces_sharing_a_chain_meet_at_two_corners )
    {
        // [0, 2] x [0, 1] and [0, 2] x [1, 2], sharing the chain y = 1.
        const auto below = test::make_grid_sheet( Point< 2 >{ { 0, 0 } },
                                                  Vector< 2 >{ { 2, 0 } },
                                                  Vector< 2 >{ { 0, 1 } },
                                                  2,
                                                  1 );
        const auto above = test::make_grid_sheet( Point< 2 >{ { 0, 1 } },
                                                  Vector< 2 >{ { 2, 0 } },
                                                  Vector< 2 >{ { 0, 1 } },
                                                  2,
                                                  1 );
        build( { *below, *above } );
        EXPECT_EQ( test::corner_points( section ),
                   ( std::vector< Point< 2 > >{ Point< 2 >{ { 0, 1 } },
                                                Point< 2 >{ { 2, 1 } } } ) );
        ASSERT_EQ( section.nb_lines(), 3u );
        index_t nb_edges{ 0 };
        for( const auto& line : section.lines() )
        {
            EXPECT_EQ( section.nb_boundaries( line.id() ), 2u );
            nb_edges += line.mesh().nb_edges();
        }
        // Two shared edges, four more along each surface.
        EXPECT_EQ( nb_edges, 10u );
    }

    TEST_F( FromModelTest, change_of_surfaces_along_two_edges_is_a_corner )
    {
        // b = (0, 0) lies inside a fan whose border passes twice along
        // (a, b); a triangle of another surface borders (a, b) once. b has
        // two wireframe edges, along {fan, triangle} and {triangle}.
        const auto triangle =
            test::surface_of< 2 >( { Point< 2 >{ { 1, 0 } },
                                     Point< 2 >{ { 0, 0 } },
                                     Point< 2 >{ { 1, -1 } } },
                                   { { 0, 1, 2 } } );
        const auto fan = test::surface_of< 2 >(
            { Point< 2 >{ { 0, 0 } },
              Point< 2 >{ { 1, 0 } },
              Point< 2 >{ { 0, 1 } },
              Point< 2 >{ { -1, 0 } },
              Point< 2 >{ { 0, -1 } },
              Point< 2 >{ { 1, 0 } } },
            { { 0, 1, 2 }, { 0, 2, 3 }, { 0, 3, 4 }, { 0, 4, 5 } } );
        build( { *triangle, *fan } );
        EXPECT_EQ( test::corner_points( section ),
                   ( std::vector< Point< 2 > >{ Point< 2 >{ { 1, 0 } },
                                                Point< 2 >{ { 0, 0 } } } ) );
        EXPECT_EQ( section.nb_lines(), 3u );
    }

    TEST_F( FromModelTest, slit_inside_one_surface_is_one_line )
    {
        // A diamond around the slit (0, 0)-(1, 0)-(2, 0): the slit's middle
        // vertex has two edges, each bordered twice by the one surface.
        auto diamond = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                Point< 2 >{ { 1, 0 } },
                                                Point< 2 >{ { 2, 0 } },
                                                Point< 2 >{ { 1, 1 } },
                                                Point< 2 >{ { 1, -1 } },
                                                Point< 2 >{ { 3, 0 } },
                                                Point< 2 >{ { -1, 0 } } },
                                              { { 0, 1, 3 },
                                                { 1, 2, 3 },
                                                { 2, 5, 3 },
                                                { 6, 0, 3 },
                                                { 1, 0, 4 },
                                                { 2, 1, 4 },
                                                { 5, 2, 4 },
                                                { 0, 6, 4 } } );
        auto builder = SurfaceMeshBuilder< 2 >::create( *diamond );
        for( index_t p = 0; p < diamond->nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const auto ends = diamond->polygon_edge_vertices( { p, e } );
                if( ends[0] < 3 && ends[1] < 3 )
                {
                    builder->unset_polygon_adjacent( { p, e } );
                }
            }
        }
        build( { *diamond } );
        EXPECT_EQ( test::corner_points( section ),
                   ( std::vector< Point< 2 > >{ Point< 2 >{ { 0, 0 } },
                                                Point< 2 >{ { 2, 0 } } } ) );
        EXPECT_EQ( section.nb_lines(), 2u );
    }

    TEST_F( FromModelTest, border_vertex_without_unique_vertex_is_refused )
    {
        SectionBuilder builder{ section };
        const uuid id = builder.add_surface();
        builder.update_surface_mesh(
            section.surface( id ),
            test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                     Point< 2 >{ { 1, 0 } },
                                     Point< 2 >{ { 0, 1 } } },
                                   { { 0, 1, 2 } } ) );
        detail::CornersLinesBuilderFromModel< Section, SectionBuilder, 2 >
            corners_lines{ section };
        test::expect_error(
            [&] { corners_lines.build(); },
            "[CornersLinesBuilderFromModel::build_wireframe_step] Vertex 0 "
            "of surface " +
                id.string() + " has no unique vertex" );
    }

    TEST( FromModelBRep, surfaces_sharing_a_chain_meet_at_two_corners )
    {
        test::BRepMaker maker;
        const auto below = test::grid_sheet( 2, 1 );
        const auto above = test::make_grid_sheet( Point< 3 >{ { 0, 1, 0 } },
                                                  Vector< 3 >{ { 2, 0, 0 } },
                                                  Vector< 3 >{ { 0, 0, 1 } },
                                                  2,
                                                  1 );
        auto& brep = maker.model;
        maker.add_surface_copy( *below );
        maker.add_surface_copy( *above );
        detail::CornersLinesBuilderFromModel< BRep, BRepBuilder, 3 > builder{
            brep };
        builder.build();
        // A second wireframe step would list every polygon edge again.
        test::expect_exact_error( [&builder] { builder.build(); },
                                  "[CornersLinesBuilder::build_wireframe_step] "
                                  "The wireframe is built already" );
        EXPECT_EQ( brep.nb_corners(), 2u );
        EXPECT_EQ( brep.nb_lines(), 3u );
        for( const auto& line : brep.lines() )
        {
            EXPECT_EQ( brep.nb_boundaries( line.id() ), 2u );
        }
    }
} // namespace
