#include <limits>

#include <gtest/gtest.h>

#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/model_checks.h>
#include <support/solid_fixtures.h>

#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_solid.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/line.h>

namespace
{
    using namespace vorna;
    using FromSolid = detail::CornersLinesBuilderFromSolid< BRep, BRepBuilder >;

    // One unit cube of six tetrahedra; vertex (x, y, z) is x + 2y + 4z.
    class CornersLinesBuilderFromSolidTest : public test::ModelTest
    {
      protected:
        void SetUp() override
        {
            test::ModelTest::SetUp();
            solid = test::tetrahedral_grid( 1 );
        }

        index_t edge( index_t a, index_t b ) const
        {
            return test::edge( *solid, a, b );
        }

        std::unique_ptr< SolidMesh< 3 > > solid;
        BRep model;
    };

    TEST_F( CornersLinesBuilderFromSolidTest,
            empty_span_gives_unique_vertices_only )
    {
        FromSolid builder{ model, *solid, {} };
        builder.build();
        EXPECT_EQ( builder.wireframe().nb_vertices(), 0u );
        EXPECT_EQ( model.nb_corners(), 0u );
        EXPECT_EQ( model.nb_lines(), 0u );
        EXPECT_EQ( model.nb_unique_vertices(), 8u );
        EXPECT_TRUE( model.component_mesh_vertices( 5 ).empty() );
    }

    TEST_F( CornersLinesBuilderFromSolidTest, triangle_is_one_closed_line )
    {
        // Named twice, an edge is still one wireframe edge.
        const std::vector< index_t > edges{
            edge( 0, 1 ), edge( 1, 3 ), edge( 3, 0 ), edge( 1, 0 ) };
        FromSolid builder{ model, *solid, edges };
        builder.build();
        // Run again, each step finds what it made and adds nothing.
        builder.build_wireframe_step();
        builder.build();
        EXPECT_EQ( builder.wireframe().nb_edges(), 3u );
        EXPECT_EQ( builder.wireframe().nb_vertices(), 3u );
        EXPECT_EQ( model.nb_corners(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto& line = *model.lines().begin();
        EXPECT_EQ( line.mesh().nb_edges(), 3u );
        EXPECT_EQ( line.mesh().nb_vertices(), 4u );
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( CornersLinesBuilderFromSolidTest, chain_and_star )
    {
        // Chain 3-7-6 and star 0-1, 0-2, 0-4: corners at the chain's ends,
        // the star's centre and its ends.
        const std::vector< index_t > edges{ edge( 6, 7 ),
                                            edge( 7, 3 ),
                                            edge( 0, 1 ),
                                            edge( 0, 2 ),
                                            edge( 0, 4 ) };
        FromSolid builder{ model, *solid, edges };
        builder.build();
        EXPECT_EQ( model.nb_corners(), 6u );
        EXPECT_EQ( model.nb_lines(), 4u );
        for( const auto& corner : model.corners() )
        {
            const auto unique =
                model.unique_vertex( { corner.component_id(), 0 } );
            // Unique vertex i is solid vertex i.
            EXPECT_EQ( corner.mesh().point( 0 ), solid->point( unique ) );
            EXPECT_NE( unique, 7u );
        }
        EXPECT_TRUE( test::check_brep_consistency( model ) );
    }

    TEST_F( CornersLinesBuilderFromSolidTest, refuses_bad_input_unchanged )
    {
        const std::vector< index_t > edges{ edge( 0, 1 ), 999 };
        test::expect_error(
            [&] {
                FromSolid builder{ model, *solid, edges };
            },
            "[CornersLinesBuilderFromSolid] Line edge 999 at position 1 is "
            "not an edge of the solid (it has 19 edges)" );
        // A corner at (nan, 1, 1).
        SolidMeshBuilder< 3 >::create( *solid )->set_point(
            7,
            Point< 3 >{
                { std::numeric_limits< double >::quiet_NaN(), 1, 1 } } );
        test::expect_exact_error(
            [&] {
                FromSolid builder{ model, *solid, { edge( 3, 7 ) } };
            },
            "[CornersLinesBuilderFromSolid] Vertex 7 of mesh '" +
                solid->id().string() + "' has a non-finite coordinate" );
        EXPECT_EQ( model.nb_unique_vertices(), 0u );

        BRepBuilder{ model }.create_unique_vertices( 2 );
        test::expect_error(
            [&] {
                FromSolid builder{ model, *solid, {} };
            },
            "[CornersLinesBuilderFromSolid] The model to build must have no "
            "unique vertex (it has 2)" );
        EXPECT_EQ( model.nb_unique_vertices(), 2u );
    }
} // namespace
