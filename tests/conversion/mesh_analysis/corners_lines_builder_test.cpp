#include <gtest/gtest.h>

#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/model_checks.h>

#include <absl/container/flat_hash_set.h>
#include <vorna/conversion/common/unset_uuid.h>

#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>

namespace
{
    using namespace vorna;

    Point< 3 > at( double x )
    {
        return Point< 3 >{ { x, 0, 0 } };
    }

    // Builds the wireframe from a list of unique-vertex pairs; corners
    // wherever a vertex lacks two edges.
    class PairsBuilder
        : public detail::CornersLinesBuilder< BRep, BRepBuilder, 3 >
    {
      public:
        PairsBuilder( BRep& model,
                      std::vector< std::array< index_t, 2 > > pairs )
            : detail::CornersLinesBuilder< BRep, BRepBuilder, 3 >( model ),
              pairs_( std::move( pairs ) )
        {
            index_t max{ 0 };
            for( const auto& pair : pairs_ )
            {
                max = std::max( { max, pair[0], pair[1] } );
            }
            BRepBuilder{ model }.create_unique_vertices( max + 1 );
        }

        void build_wireframe_step() override
        {
            run_wireframe_step(
                [this]
                {
                    for( const auto& pair : pairs_ )
                    {
                        edge( pair );
                    }
                } );
        }

        index_t edge( const std::array< index_t, 2 >& pair )
        {
            return find_or_create_edge( pair,
                                        { at( pair[0] ), at( pair[1] ) } );
        }

        // From now on is_corner also accepts this wireframe vertex.
        void also_corner( index_t vertex )
        {
            also_corners_.insert( vertex );
        }

      private:
        bool is_corner( index_t vertex ) const override
        {
            return wireframe().edges_around_vertex( vertex ).size() != 2 ||
                   also_corners_.contains( vertex );
        }

        std::vector< std::array< index_t, 2 > > pairs_;
        absl::flat_hash_set< index_t > also_corners_;
    };

    class CornersLinesBuilderTest : public test::ModelTest
    {
      protected:
        BRep model;
    };

    TEST_F( CornersLinesBuilderTest, empty_wireframe_gives_nothing )
    {
        PairsBuilder builder{ model, {} };
        builder.build();
        EXPECT_EQ( model.nb_corners(), 0u );
        EXPECT_EQ( model.nb_lines(), 0u );
    }

    TEST_F( CornersLinesBuilderTest, closed_loop_without_corner )
    {
        PairsBuilder builder{ model, { { 0, 1 }, { 1, 2 }, { 2, 0 } } };
        builder.build();
        EXPECT_EQ( model.nb_corners(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto& line = *model.lines().begin();
        EXPECT_EQ( line.mesh().nb_vertices(), 4u );
        EXPECT_EQ( line.mesh().nb_edges(), 3u );
        EXPECT_EQ( model.nb_boundaries( line.id() ), 0u );
        // Starts at vertex 0 of edge 0, leaves towards its vertex 1, and
        // comes back: the start's entry names the last line vertex.
        EXPECT_EQ( line.mesh().point( 0 ), at( 0 ) );
        EXPECT_EQ( line.mesh().point( 1 ), at( 1 ) );
        EXPECT_EQ( builder.line_vertex_id( 0, line.id() ), 3u );
        EXPECT_EQ( model.unique_vertex( { line.component_id(), 3 } ), 0u );
        for( index_t e = 0; e < 3; e++ )
        {
            EXPECT_EQ( builder.line_uuid( e ), line.id() );
            EXPECT_EQ( builder.line_edge_id( e ), e );
        }
    }

    TEST_F( CornersLinesBuilderTest, chain_and_star )
    {
        // Vertex 0 meets three chains: a corner where three lines meet.
        PairsBuilder builder{ model,
                              { { 0, 1 }, { 1, 2 }, { 0, 3 }, { 4, 0 } } };
        builder.build();
        EXPECT_EQ( model.nb_corners(), 4u );
        ASSERT_EQ( model.nb_lines(), 3u );
        for( const auto& line : model.lines() )
        {
            EXPECT_EQ( model.nb_boundaries( line.id() ), 2u );
            // Every line leaves the smallest corner vertex, here vertex 0.
            EXPECT_EQ( line.mesh().point( 0 ), at( 0 ) );
            EXPECT_EQ( model.unique_vertex( { line.component_id(), 0 } ), 0u );
        }
        const auto& first = *model.lines().begin();
        EXPECT_EQ( first.mesh().nb_edges(), 2u );
        EXPECT_THROW( builder.line_vertex_id( 3, first.id() ),
                      std::out_of_range );
    }

    TEST_F( CornersLinesBuilderTest, two_loops_through_one_corner )
    {
        PairsBuilder builder{
            model,
            { { 0, 1 }, { 1, 2 }, { 2, 0 }, { 0, 3 }, { 3, 4 }, { 4, 0 } } };
        builder.build();
        EXPECT_EQ( model.nb_corners(), 1u );
        ASSERT_EQ( model.nb_lines(), 2u );
        for( const auto& line : model.lines() )
        {
            EXPECT_EQ( model.nb_boundaries( line.id() ), 1u );
            EXPECT_EQ( line.mesh().nb_edges(), 3u );
        }
    }

    TEST_F( CornersLinesBuilderTest, edges_and_forced_corners )
    {
        // The edge is made before the wireframe step, which finds it.
        PairsBuilder builder{ model, { { 5, 2 } } };
        const auto edge = builder.edge( { 5, 2 } );
        EXPECT_EQ( builder.edge( { 2, 5 } ), edge );
        EXPECT_EQ( builder.wireframe().nb_edges(), 1u );
        // End 0 keeps the first call's first vertex, and its point.
        EXPECT_EQ(
            builder.vertex_id( builder.wireframe().edge_vertex( { edge, 0 } ) ),
            5u );
        EXPECT_EQ( builder.wireframe_edge_id( { 2, 5 } ), edge );
        EXPECT_FALSE( builder.wireframe_edge_id( { 2, 3 } ) );
        EXPECT_EQ( builder.line_uuid( edge ), UNSET_UUID );
        EXPECT_EQ( builder.line_edge_id( edge ), INVALID_INDEX );

        builder.build_wireframe_step();
        EXPECT_EQ( builder.wireframe().nb_edges(), 1u );
        builder.add_corner( 0 );
        builder.add_corner( 0 );
        builder.build_corners_step();
        EXPECT_EQ( model.nb_corners(), 3u );
        builder.build_lines_step();
        EXPECT_EQ( model.nb_lines(), 1u );
    }

    TEST_F( CornersLinesBuilderTest, corners_and_lines_steps_run_again )
    {
        // The chain 0-1-2-3: corners at its two ends.
        PairsBuilder builder{ model, { { 0, 1 }, { 1, 2 }, { 2, 3 } } };
        builder.build_wireframe_step();
        builder.build_corners_step();
        builder.build_corners_step();
        EXPECT_EQ( model.nb_corners(), 2u );
        // Again, once is_corner asks for one more: only that one is added.
        builder.also_corner( 2 );
        builder.build_corners_step();
        EXPECT_EQ( model.nb_corners(), 3u );
        builder.build_corners_step();
        EXPECT_EQ( model.nb_corners(), 3u );

        builder.build_lines_step();
        ASSERT_EQ( model.nb_lines(), 2u );
        const uuid first = builder.line_uuid( 0 );
        const uuid last = builder.line_uuid( 2 );
        builder.build_lines_step();
        // Every edge keeps its line, and no line is added.
        EXPECT_EQ( model.nb_lines(), 2u );
        EXPECT_EQ( builder.line_uuid( 0 ), first );
        EXPECT_EQ( builder.line_uuid( 1 ), first );
        EXPECT_EQ( builder.line_uuid( 2 ), last );
        builder.build_corners_step();
        EXPECT_EQ( test::counts_of( model ),
                   ( test::ModelCounts{ 3, 2, 0, 0 } ) );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( CornersLinesBuilderTest, corners_step_after_lines_adds_no_corner )
    {
        PairsBuilder builder{ model, { { 0, 1 }, { 1, 2 }, { 2, 3 } } };
        builder.build();
        // A corner inside the traced line would not end it.
        builder.also_corner( 1 );
        test::expect_exact_error( [&builder] { builder.build_corners_step(); },
                                  "[CornersLinesBuilder::build_corners_step] "
                                  "The lines are built already" );
        EXPECT_EQ( test::counts_of( model ),
                   ( test::ModelCounts{ 2, 1, 0, 0 } ) );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( CornersLinesBuilderTest, wireframe_step_marks_the_wireframe_built )
    {
        // The step alone, through run_wireframe_step, lets the corners step
        // run and refuses a second fill.
        PairsBuilder alone{ model, { { 0, 1 }, { 1, 2 } } };
        alone.build_wireframe_step();
        alone.build_corners_step();
        EXPECT_EQ( model.nb_corners(), 2u );
        test::expect_exact_error(
            [&alone] { alone.build_wireframe_step(); },
            "[CornersLinesBuilder::build_wireframe_step] The wireframe is "
            "built already" );
        EXPECT_EQ( alone.wireframe().nb_edges(), 2u );

        BRep other;
        PairsBuilder built{ other, { { 0, 1 }, { 1, 2 } } };
        built.build();
        test::expect_exact_error(
            [&built] { built.build_wireframe_step(); },
            "[CornersLinesBuilder::build_wireframe_step] The wireframe is "
            "built already" );
        test::expect_exact_error( [&built] { built.build(); },
                                  "[CornersLinesBuilder::build_wireframe_step] "
                                  "The wireframe is built already" );
        // The later steps run as after any built wireframe.
        built.build_corners_step();
        built.build_lines_step();
        EXPECT_EQ( test::counts_of( other ),
                   ( test::ModelCounts{ 2, 1, 0, 0 } ) );
        EXPECT_TRUE( test::check_brep_consistency( other ) );
    }
} // namespace
