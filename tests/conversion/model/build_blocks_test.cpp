#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include <support/conversion_test.h>
#include <support/expect_error.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/model/brep_from_meshes_builder.h>
#include <vorna/conversion/model/build_blocks.h>
#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/surface.h>

#include <support/block_fixtures.h>
#include <support/fixtures.h>
#include <support/model_checks.h>

namespace
{
    using namespace vorna;
    using vorna::test::as_references;
    using vorna::test::check_brep_consistency;
    using vorna::test::LogCapture;
    using vorna::test::make_box_faces;
    using vorna::test::make_box_mesh;
    using vorna::test::make_grid_sheet;
    using vorna::test::point;
    using vorna::test::polyline;

    using Meshes = std::vector< std::unique_ptr< SurfaceMesh< 3 > > >;

    using Cell = std::array< int, 3 >;

    // The outer faces of a union of unit cubes, each face a mesh of its own
    // (two triangles, normal outwards), emitted cell by cell in the given
    // order and, per cell, towards +x, -x, +y, -y, +z, -z.
    Meshes voxel_faces( const std::vector< Cell >& cells )
    {
        Meshes faces;
        for( const auto& cell : cells )
        {
            for( const index_t axis : { 0u, 1u, 2u } )
            {
                for( const int sign : { 1, -1 } )
                {
                    auto neighbour = cell;
                    neighbour[axis] += sign;
                    if( std::find( cells.begin(), cells.end(), neighbour ) !=
                        cells.end() )
                    {
                        continue;
                    }
                    // Corners of the face turning about +axis, then
                    // reversed for the face looking to -axis.
                    const auto b = ( axis + 1 ) % 3;
                    const auto c = ( axis + 2 ) % 3;
                    std::vector< Point3D > corners;
                    for( const auto& offset : { std::array< int, 2 >{ 0, 0 },
                                                std::array< int, 2 >{ 1, 0 },
                                                std::array< int, 2 >{ 1, 1 },
                                                std::array< int, 2 >{ 0, 1 } } )
                    {
                        std::array< double, 3 > at;
                        at[axis] = cell[axis] + ( sign > 0 ? 1 : 0 );
                        at[b] = cell[b] + offset[0];
                        at[c] = cell[c] + offset[1];
                        corners.emplace_back( at );
                    }
                    if( sign < 0 )
                    {
                        std::reverse( corners.begin(), corners.end() );
                    }
                    faces.push_back( test::triangulated_surface(
                        corners, { { 0, 1, 2 }, { 0, 2, 3 } } ) );
                }
            }
        }
        return faces;
    }

    // Five cubes in a U opening to +z, the notch being cell (2, 1, 2). The
    // first face is the notch's wall x = 2, whose ray runs along +x at
    // y = 5 / 3, z = 7 / 3.
    std::vector< Cell > u_cells()
    {
        return {
            { 1, 1, 2 }, { 1, 1, 1 }, { 2, 1, 1 }, { 3, 1, 1 }, { 3, 1, 2 } };
    }

    // Turns every mesh about the z axis and then about the x axis: no
    // coordinate stays a round number.
    void turn( Meshes& meshes, double about_z, double about_x )
    {
        for( auto& mesh : meshes )
        {
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            for( index_t v = 0; v < mesh->nb_vertices(); v++ )
            {
                const auto& at = mesh->point( v );
                const auto x = std::cos( about_z ) * at.value( 0 ) -
                               std::sin( about_z ) * at.value( 1 );
                const auto y = std::sin( about_z ) * at.value( 0 ) +
                               std::cos( about_z ) * at.value( 1 );
                const auto z = at.value( 2 );
                builder->set_point(
                    v,
                    point( x,
                           std::cos( about_x ) * y - std::sin( about_x ) * z,
                           std::sin( about_x ) * y +
                               std::cos( about_x ) * z ) );
            }
        }
    }

    constexpr absl::string_view NO_BLOCK_INFO =
        "[BRepBlocksBuilder::build_blocks] No Block were built";
    constexpr absl::string_view DECLINED_WARNING =
        "[build_blocks] Cannot build BRep blocks without surface or with "
        "existing blocks";

    class BuildBlocksTest : public test::ConversionTest
    {
      protected:
        // Corners, lines and cut surfaces of the meshes, without blocks,
        // checked with their mappings.
        static BRep model_without_blocks( const Meshes& meshes )
        {
            BRep brep;
            const auto surfaces = as_references( meshes );
            detail::BRepFromMeshesBuilder builder{ brep, {}, surfaces };
            const auto mappings = builder.build_brep_without_blocks();
            EXPECT_TRUE( check_brep_consistency( brep ) );
            EXPECT_TRUE( test::check_mappings(
                brep, mappings.first, mappings.second, surfaces ) );
            return brep;
        }

        static Meshes single( std::unique_ptr< SurfaceMesh< 3 > > mesh )
        {
            Meshes meshes;
            meshes.push_back( std::move( mesh ) );
            return meshes;
        }

        static const Surface< 3 >& surface_named( const BRep& brep,
                                                  absl::string_view name )
        {
            for( const auto& surface : brep.surfaces() )
            {
                if( surface.name() == name )
                {
                    return surface;
                }
            }
            throw std::runtime_error{ std::string{ "no surface named " } +
                                      std::string{ name } };
        }

        // A corner at `at` on a unique vertex of its own, tied to nothing.
        static uuid add_free_corner( BRep& brep, const Point3D& at )
        {
            BRepBuilder builder{ brep };
            const uuid id = builder.add_corner();
            builder.corner_mesh_builder( id )->create_point( at );
            builder.set_unique_vertex( { brep.corner( id ).component_id(), 0 },
                                       builder.create_unique_vertex() );
            return id;
        }

        // The block with that many boundary surfaces, of which there must
        // be one.
        static const Block< 3 >& block_with_boundaries( const BRep& brep,
                                                        index_t nb )
        {
            const Block< 3 >* found{ nullptr };
            for( const auto& block : brep.blocks() )
            {
                if( brep.nb_boundaries( block.id() ) == nb )
                {
                    EXPECT_EQ( found, nullptr ) << "two blocks with " << nb;
                    found = &block;
                }
            }
            if( found == nullptr )
            {
                throw std::runtime_error{ "no block with " +
                                          std::to_string( nb ) +
                                          " boundary surfaces" };
            }
            return *found;
        }
    };

    TEST_F( BuildBlocksTest, declines_models_without_surface_or_with_blocks )
    {
        {
            BRep empty;
            LogCapture log;
            build_blocks( empty );
            EXPECT_EQ( log.count( Logger::Level::warn, DECLINED_WARNING ), 1 );
            EXPECT_EQ( empty.nb_blocks(), 0 );
        }
        auto brep = model_without_blocks(
            single( make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) ) );
        const auto existing = BRepBuilder{ brep }.add_block();
        LogCapture log;
        build_blocks( brep );
        EXPECT_EQ( log.count( Logger::Level::warn, DECLINED_WARNING ), 1 );
        ASSERT_EQ( brep.nb_blocks(), 1 );
        EXPECT_EQ( brep.nb_boundaries( existing ), 0 );
        EXPECT_EQ( brep.nb_incidences( brep.surfaces().begin()->id() ), 0 );
    }

    TEST_F( BuildBlocksTest,
            closed_shell_gives_one_block_whatever_its_orientation )
    {
        for( const bool inward : { false, true } )
        {
            auto brep = model_without_blocks( single( make_box_mesh(
                point( 0, 0, 0 ), point( 1, 2, 3 ), 2, inward ) ) );
            LogCapture log;
            build_blocks( brep );
            EXPECT_EQ(
                log.count( Logger::Level::trace, "Building BRep Blocks" ), 1 );
            ASSERT_EQ( brep.nb_blocks(), 1 ) << "inward " << inward;
            const auto& block = *brep.blocks().begin();
            EXPECT_EQ( brep.nb_boundaries( block.id() ), 1 );
            EXPECT_EQ( brep.nb_internals( block.id() ), 0 );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    TEST_F( BuildBlocksTest, cube_of_six_surfaces_gives_one_block )
    {
        const std::array< std::array< bool, 6 >, 3 > orientations{ {
            { false, false, false, false, false, false },
            { true, true, true, true, true, true },
            { true, false, false, true, false, true },
        } };
        for( const auto& inward : orientations )
        {
            auto brep = model_without_blocks( make_box_faces(
                point( 0, 0, 0 ), point( 1, 1, 1 ), 2, inward ) );
            ASSERT_EQ( brep.nb_surfaces(), 6 );
            ASSERT_EQ( brep.nb_lines(), 12 );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 1 );
            EXPECT_EQ( brep.nb_boundaries( brep.blocks().begin()->id() ), 6 );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    TEST_F( BuildBlocksTest, open_surface_gives_no_block )
    {
        auto brep = model_without_blocks(
            single( make_grid_sheet( point( 0, 0, 0 ),
                                     Vector3D{ { 1, 0, 0 } },
                                     Vector3D{ { 0, 1, 0 } },
                                     3,
                                     3 ) ) );
        LogCapture log;
        build_blocks( brep );
        EXPECT_EQ( log.count( Logger::Level::info, NO_BLOCK_INFO ), 1 );
        EXPECT_EQ( brep.nb_blocks(), 0 );
        EXPECT_EQ( brep.nb_incidences( brep.surfaces().begin()->id() ), 0 );
        EXPECT_EQ( brep.nb_embeddings( brep.surfaces().begin()->id() ), 0 );
    }

    TEST_F( BuildBlocksTest, disjoint_and_nested_shells )
    {
        Meshes disjoint;
        disjoint.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 1, false, "a" ) );
        disjoint.push_back(
            make_box_mesh( point( 3, 0, 0 ), point( 4, 1, 1 ), 1, true, "b" ) );
        auto side_by_side = model_without_blocks( disjoint );
        build_blocks( side_by_side );
        EXPECT_EQ( side_by_side.nb_blocks(), 2 );
        for( const auto& block : side_by_side.blocks() )
        {
            EXPECT_EQ( side_by_side.nb_boundaries( block.id() ), 1 );
        }
        EXPECT_TRUE( check_brep_consistency( side_by_side ) );

        for( const bool inner_inward : { false, true } )
        {
            Meshes nested;
            nested.push_back( make_box_mesh(
                point( 0, 0, 0 ), point( 4, 4, 4 ), 2, false, "outer" ) );
            nested.push_back( make_box_mesh( point( 1, 1, 1 ),
                                             point( 2, 2, 2 ),
                                             1,
                                             inner_inward,
                                             "inner" ) );
            auto brep = model_without_blocks( nested );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 2 );
            const auto& inner = surface_named( brep, "inner" );
            const auto& outer = surface_named( brep, "outer" );
            EXPECT_EQ( brep.nb_incidences( inner.id() ), 2 );
            EXPECT_EQ( brep.nb_incidences( outer.id() ), 1 );
            index_t two_shell_blocks{ 0 };
            for( const auto& block : brep.blocks() )
            {
                if( brep.nb_boundaries( block.id() ) == 2 )
                {
                    two_shell_blocks++;
                    EXPECT_TRUE( brep.is_boundary( outer, block ) );
                }
            }
            EXPECT_EQ( two_shell_blocks, 1 );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    // Shell "a" casts its ray (from its first polygon, on its -x face,
    // along -x) onto the outer side of shell "b"; "b" casts its own onto
    // the enclosing shell. Both lie in the enclosing block, whichever of
    // them is met first.
    TEST_F( BuildBlocksTest, nested_shells_attach_whatever_their_order )
    {
        for( const bool b_first : { false, true } )
        {
            Meshes meshes;
            meshes.push_back( make_box_mesh(
                point( 0, 0, 0 ), point( 10, 10, 10 ), 1, false, "outer" ) );
            auto a = make_box_mesh(
                point( 2, 2, 2 ), point( 4, 4, 4 ), 1, false, "a" );
            auto b = make_box_mesh(
                point( 0.5, 1.5, 1.5 ), point( 1.5, 4.5, 4.5 ), 1, false, "b" );
            if( b_first )
            {
                std::swap( a, b );
            }
            meshes.push_back( std::move( a ) );
            meshes.push_back( std::move( b ) );
            auto brep = model_without_blocks( meshes );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 3 ) << "b first " << b_first;
            for( const auto name : { "a", "b" } )
            {
                EXPECT_EQ(
                    brep.nb_incidences( surface_named( brep, name ).id() ), 2 )
                    << name << ", b first " << b_first;
            }
            const auto& outer = surface_named( brep, "outer" );
            ASSERT_EQ( brep.nb_incidences( outer.id() ), 1 );
            const auto& enclosing = *brep.incidences( outer ).begin();
            EXPECT_EQ( brep.nb_boundaries( enclosing.id() ), 3 );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    // Rays of shells in a crowd pass by many other shells: every shell
    // inside the big box still ends in the big box's block, every shell
    // outside stays on its own.
    TEST_F( BuildBlocksTest, crowd_of_shells_inside_and_outside_a_box )
    {
        Meshes meshes;
        meshes.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 13, 13, 13 ), 1, false, "outer" ) );
        for( index_t i = 0; i < 4; i++ )
        {
            for( index_t j = 0; j < 4; j++ )
            {
                for( index_t k = 0; k < 4; k++ )
                {
                    const auto x = 1.0 + 3 * i;
                    const auto y = 1.0 + 3 * j;
                    const auto z = 1.0 + 3 * k;
                    meshes.push_back(
                        make_box_mesh( point( x, y, z ),
                                       point( x + 2, y + 2, z + 2 ),
                                       1,
                                       ( i + j + k ) % 2 == 0,
                                       "inside" ) );
                }
            }
        }
        for( index_t i = 0; i < 3; i++ )
        {
            const auto x = 20.0 + 3 * i;
            meshes.push_back( make_box_mesh(
                point( x, 1, 1 ), point( x + 2, 3, 3 ), 1, false, "beside" ) );
        }
        auto brep = model_without_blocks( meshes );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 1 + 64 + 3 );
        const auto& outer = surface_named( brep, "outer" );
        ASSERT_EQ( brep.nb_incidences( outer.id() ), 1 );
        const auto& enclosing = *brep.incidences( outer ).begin();
        EXPECT_EQ( brep.nb_boundaries( enclosing.id() ), 1 + 64 );
        for( const auto& surface : brep.surfaces() )
        {
            EXPECT_EQ( brep.nb_incidences( surface.id() ),
                       surface.name() == "inside" ? 2u : 1u );
        }
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    TEST_F( BuildBlocksTest, shell_too_small_for_the_area_limit_casts_a_ray )
    {
        // Two shells outside everything: each must cast a ray, and the tiny
        // one has no polygon of area 1e-6 or more: its largest one serves.
        Meshes meshes;
        meshes.push_back( make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        meshes.push_back( make_box_mesh( point( 3, 3, 3 ),
                                         point( 3.0001, 3.0001, 3.0001 ) ) );
        auto brep = model_without_blocks( meshes );
        build_blocks( brep );
        EXPECT_EQ( brep.nb_blocks(), 2u );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    TEST_F( BuildBlocksTest, surfaces_inside_a_shell )
    {
        // A sheet hanging from a line on the floor of the box: both its
        // sides face the box's inside.
        Meshes hanging;
        hanging.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 2, 2, 2 ), 4, false, "box" ) );
        hanging.push_back( make_grid_sheet( point( 1, 0.5, 0 ),
                                            Vector3D{ { 0, 1, 0 } },
                                            Vector3D{ { 0, 0, 1 } },
                                            2,
                                            2,
                                            "sheet" ) );
        auto brep = model_without_blocks( hanging );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 1 );
        const auto& block = *brep.blocks().begin();
        const auto& sheet = surface_named( brep, "sheet" );
        EXPECT_TRUE( brep.is_internal( sheet, block ) );
        EXPECT_EQ( brep.nb_incidences( sheet.id() ), 0 );
        EXPECT_TRUE( brep.is_boundary( surface_named( brep, "box" ), block ) );
        EXPECT_TRUE( check_brep_consistency( brep ) );

        // A sheet touching nothing makes a flat region of its own, of zero
        // volume and without boundary, which is dropped with it.
        Meshes floating;
        floating.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 2, 2, 2 ), 1, false, "box" ) );
        floating.push_back( make_grid_sheet( point( 0.5, 0.5, 1 ),
                                             Vector3D{ { 1, 0, 0 } },
                                             Vector3D{ { 0, 1, 0 } },
                                             1,
                                             1,
                                             "sheet" ) );
        auto floating_brep = model_without_blocks( floating );
        build_blocks( floating_brep );
        ASSERT_EQ( floating_brep.nb_blocks(), 1 );
        const auto& floating_sheet = surface_named( floating_brep, "sheet" );
        EXPECT_EQ( floating_brep.nb_incidences( floating_sheet.id() ), 0 );
        EXPECT_EQ( floating_brep.nb_embeddings( floating_sheet.id() ), 0 );
    }

    TEST_F( BuildBlocksTest, free_lines_and_corners_go_into_their_block )
    {
        auto brep = model_without_blocks( single(
            make_box_mesh( point( 0, 0, 0 ), point( 2, 2, 2 ), 2, true ) ) );
        BRepBuilder builder{ brep };
        const auto add_corner = [&brep]( const Point3D& at )
        { return add_free_corner( brep, at ); };
        // A free line through the box's middle (its bounding corners touch
        // it, so they are not free), one free corner inside, one outside.
        const uuid start = add_corner( point( 0.5, 1, 1 ) );
        const uuid end = add_corner( point( 1.5, 1, 1 ) );
        const uuid line = builder.add_line();
        {
            auto mesh = builder.line_mesh_builder( line );
            mesh->create_point( point( 0.5, 1, 1 ) );
            mesh->create_point( point( 1.5, 1, 1 ) );
            mesh->create_edge( 0, 1 );
        }
        const auto& line_component = brep.line( line );
        builder.set_unique_vertex(
            { line_component.component_id(), 0 },
            brep.unique_vertex( { brep.corner( start ).component_id(), 0 } ) );
        builder.set_unique_vertex(
            { line_component.component_id(), 1 },
            brep.unique_vertex( { brep.corner( end ).component_id(), 0 } ) );
        builder.add_corner_line_boundary_relationship( brep.corner( start ),
                                                       line_component );
        builder.add_corner_line_boundary_relationship( brep.corner( end ),
                                                       line_component );
        const uuid inside = add_corner( point( 0.3, 1.7, 0.9 ) );
        const uuid outside = add_corner( point( 3, 1, 1 ) );

        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 1 );
        const auto& block = *brep.blocks().begin();
        EXPECT_TRUE( brep.is_internal( line, block.id() ) );
        EXPECT_TRUE( brep.is_internal( inside, block.id() ) );
        EXPECT_EQ( brep.nb_embeddings( outside ), 0 );
        EXPECT_EQ( brep.nb_embeddings( start ), 0 );
        EXPECT_EQ( brep.nb_embeddings( end ), 0 );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    TEST_F( BuildBlocksTest, non_finite_points_are_refused )
    {
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        auto brep = model_without_blocks(
            single( make_box_mesh( point( 0, 0, 0 ), point( 2, 2, 2 ) ) ) );
        const auto corner = add_free_corner( brep, point( nan, 1, 1 ) );
        test::expect_error( [&] { build_blocks( brep ); },
                            "[build_blocks] Vertex 0 of mesh '" +
                                brep.corner( corner ).mesh().id().string() +
                                "' has a non-finite coordinate" );
        EXPECT_EQ( brep.nb_blocks(), 0 );

        auto box = model_without_blocks(
            single( make_box_mesh( point( 0, 0, 0 ), point( 2, 2, 2 ) ) ) );
        const auto& surface = *box.surfaces().begin();
        BRepBuilder{ box }
            .surface_mesh_builder( surface.id() )
            ->set_point( 3, point( 1, nan, 1 ) );
        test::expect_error( [&] { build_blocks( box ); },
                            "[build_blocks] Vertex 3 of mesh '" +
                                surface.mesh().id().string() +
                                "' has a non-finite coordinate" );

        // On a line, the surfaces being finite.
        auto edged = model_without_blocks(
            make_box_faces( point( 0, 0, 0 ), point( 2, 2, 2 ) ) );
        ASSERT_EQ( edged.nb_lines(), 12 );
        const auto& line = *std::next( edged.lines().begin() );
        BRepBuilder{ edged }
            .line_mesh_builder( line.id() )
            ->set_point(
                1, point( 1, 1, std::numeric_limits< double >::infinity() ) );
        test::expect_exact_error( [&] { build_blocks( edged ); },
                                  "[build_blocks] Vertex 1 of mesh '" +
                                      line.mesh().id().string() +
                                      "' has a non-finite coordinate" );
        EXPECT_EQ( edged.nb_blocks(), 0 );
    }

    TEST_F( BuildBlocksTest,
            a_ray_through_shared_vertices_and_edges_counts_once )
    {
        // Grid vertices and edges at integers: the +x rays of the first two
        // meet the face x = 2 at a vertex of six triangles and on an edge of
        // two; the third starts on that face, at distance 0.
        auto brep = model_without_blocks(
            single( make_box_mesh( point( 0, 0, 0 ), point( 2, 2, 2 ), 2 ) ) );
        const std::vector< uuid > inside{
            add_free_corner( brep, point( 1, 1, 1 ) ),
            add_free_corner( brep, point( 1, 0.5, 1 ) ),
            add_free_corner( brep, point( 2, 1.3, 0.7 ) ) };
        const auto outside = add_free_corner( brep, point( 3, 1, 1 ) );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 1 );
        const auto& block = *brep.blocks().begin();
        for( const auto& corner : inside )
        {
            EXPECT_TRUE( brep.is_internal( corner, block.id() ) )
                << brep.corner( corner ).mesh().point( 0 ).string();
        }
        EXPECT_EQ( brep.nb_embeddings( outside ), 0 );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    TEST_F( BuildBlocksTest, a_ray_along_a_face_gives_way_to_the_next_axis )
    {
        // Between the shells, on the plane z = 1 of the inner box's bottom:
        // the +x ray runs along that face (its two triangles meet it at
        // x = 1 and x = 1.5), which would make the count even. The +y ray
        // misses the inner box and leaves through the outer one.
        Meshes nested;
        nested.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 4, 4, 4 ), 2, false, "outer" ) );
        nested.push_back( make_box_mesh(
            point( 1, 1, 1 ), point( 2, 2, 2 ), 1, false, "inner" ) );
        auto brep = model_without_blocks( nested );
        const auto between = add_free_corner( brep, point( 0.5, 1.5, 1 ) );
        const auto in_inner = add_free_corner( brep, point( 1.5, 1.5, 1.5 ) );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 2 );
        EXPECT_TRUE( brep.is_internal(
            between, block_with_boundaries( brep, 2 ).id() ) );
        EXPECT_TRUE( brep.is_internal(
            in_inner, block_with_boundaries( brep, 1 ).id() ) );
        EXPECT_EQ( brep.nb_embeddings( between ), 1 );
        EXPECT_EQ( brep.nb_embeddings( in_inner ), 1 );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    TEST_F( BuildBlocksTest, concave_shell_meeting_itself_stays_outer )
    {
        // A U of five cubes, each face a surface of its own; the first is
        // the notch's wall x = 1, whose ray crosses the notch onto the
        // opposite wall: the U's own outside. Beside it, a box whose ray
        // meets nothing.
        auto faces = voxel_faces( { { 0, 0, 1 },
                                    { 0, 0, 0 },
                                    { 1, 0, 0 },
                                    { 2, 0, 0 },
                                    { 2, 0, 1 } } );
        const auto nb_faces = static_cast< index_t >( faces.size() );
        faces.push_back( make_box_mesh( point( 5, 0, 0 ), point( 6, 1, 1 ) ) );
        auto brep = model_without_blocks( faces );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 2 );
        block_with_boundaries( brep, nb_faces );
        block_with_boundaries( brep, 1 );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    // The U's ray crosses the notch onto the U's own outside (on the edge
    // between the far wall's two triangles: two crossings that enter the U
    // once), goes through the U and leaves onto the box from inside. Also
    // turned, off the axes.
    TEST_F( BuildBlocksTest, nested_concave_shell_joins_its_enclosing_block )
    {
        for( const bool turned : { false, true } )
        {
            auto faces = voxel_faces( u_cells() );
            const auto nb_faces = static_cast< index_t >( faces.size() );
            faces.push_back(
                make_box_mesh( point( 0, 0, 0 ), point( 5, 3, 4 ) ) );
            if( turned )
            {
                turn( faces, 0.3, 0.7 );
            }
            auto brep = model_without_blocks( faces );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 2 ) << "turned " << turned;
            block_with_boundaries( brep, nb_faces );
            block_with_boundaries( brep, nb_faces + 1 );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    // The same U in a box (normals inwards) in a box, listed before or
    // after the boxes: each shell lies in the block of the shell right
    // around it.
    TEST_F( BuildBlocksTest, nested_concave_shell_two_levels_deep )
    {
        for( const bool u_first : { true, false } )
        {
            auto faces = voxel_faces( u_cells() );
            const auto nb_faces = static_cast< index_t >( faces.size() );
            auto boxes = Meshes{};
            boxes.push_back( make_box_mesh(
                point( -2, -2, -2 ), point( 7, 5, 6 ), 1, false, "outer" ) );
            boxes.push_back( make_box_mesh(
                point( 0, 0, 0 ), point( 5, 3, 4 ), 1, true, "middle" ) );
            auto& first = u_first ? faces : boxes;
            auto& second = u_first ? boxes : faces;
            for( auto& mesh : second )
            {
                first.push_back( std::move( mesh ) );
            }
            auto brep = model_without_blocks( first );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 3 ) << "U first " << u_first;
            const auto& between = block_with_boundaries( brep, 2 );
            EXPECT_TRUE(
                brep.is_boundary( surface_named( brep, "outer" ), between ) );
            const auto& around_u = block_with_boundaries( brep, nb_faces + 1 );
            EXPECT_TRUE(
                brep.is_boundary( surface_named( brep, "middle" ), around_u ) );
            block_with_boundaries( brep, nb_faces );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    // A small box in the U's notch (beside the U: the U's ray meets it
    // first, and its own ray, along -x, meets the U's outside) or in the
    // U's far arm (inside the U, on the U's ray through that arm).
    TEST_F( BuildBlocksTest, small_box_by_a_concave_shell_finds_its_block )
    {
        for( const double x : { 2.25, 3.25 } )
        {
            auto faces = voxel_faces( u_cells() );
            const auto nb_faces = static_cast< index_t >( faces.size() );
            faces.push_back( make_box_mesh(
                point( 0, 0, 0 ), point( 5, 3, 4 ), 1, false, "box" ) );
            faces.push_back( make_box_mesh( point( x, 1.25, 2.1 ),
                                            point( x + 0.5, 1.9, 2.6 ),
                                            1,
                                            false,
                                            "small" ) );
            const bool in_notch = x < 3;
            auto brep = model_without_blocks( faces );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 3 ) << "in notch " << in_notch;
            const auto& box = surface_named( brep, "box" );
            ASSERT_EQ( brep.nb_incidences( box.id() ), 1 );
            const auto& enclosing = *brep.incidences( box ).begin();
            EXPECT_EQ( brep.nb_boundaries( enclosing.id() ),
                       nb_faces + ( in_notch ? 2 : 1 ) );
            const auto& small = surface_named( brep, "small" );
            ASSERT_EQ( brep.nb_incidences( small.id() ), 2 );
            EXPECT_EQ( brep.is_boundary( small, enclosing ), in_notch );
            // The small box's inside, and the U's.
            std::vector< index_t > others;
            for( const auto& block : brep.blocks() )
            {
                if( block.id() != enclosing.id() )
                {
                    others.push_back( brep.nb_boundaries( block.id() ) );
                }
            }
            std::sort( others.begin(), others.end() );
            EXPECT_EQ( others,
                       ( std::vector< index_t >{
                           1, nb_faces + ( in_notch ? 0 : 1 ) } ) );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    }

    // The inner box's ray (along -x from its face x = 2) meets a sheet
    // floating between the boxes first: both sides of the sheet face one
    // flat candidate, which encloses nothing.
    TEST_F( BuildBlocksTest, floating_sheet_on_a_ray_does_not_take_the_shell )
    {
        Meshes meshes;
        meshes.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 5, 5, 5 ), 1, false, "outer" ) );
        meshes.push_back( make_box_mesh(
            point( 2, 2, 2 ), point( 3, 3, 3 ), 1, false, "inner" ) );
        meshes.push_back( make_grid_sheet( point( 1, 1, 1 ),
                                           Vector3D{ { 0, 3, 0 } },
                                           Vector3D{ { 0, 0, 3 } },
                                           3,
                                           3,
                                           "sheet" ) );
        auto brep = model_without_blocks( meshes );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 2 );
        const auto& between = block_with_boundaries( brep, 2 );
        EXPECT_TRUE(
            brep.is_boundary( surface_named( brep, "inner" ), between ) );
        block_with_boundaries( brep, 1 );
        const auto& sheet = surface_named( brep, "sheet" );
        EXPECT_EQ( brep.nb_incidences( sheet.id() ), 0 );
        EXPECT_EQ( brep.nb_embeddings( sheet.id() ), 0 );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    // The ray of "a" (along -x from its face x = 2, at y = 8 / 3, z = 7 / 3)
    // runs along the bottom face of "b", between b's side faces, which it
    // meets on their edges: it goes through b and on to the box.
    TEST_F( BuildBlocksTest, a_ray_along_another_shells_face_goes_through_it )
    {
        Meshes meshes;
        meshes.push_back( make_box_mesh(
            point( 0, 0, 0 ), point( 5, 5, 5 ), 1, false, "box" ) );
        meshes.push_back( make_box_mesh(
            point( 2, 2, 2 ), point( 3, 3, 3 ), 1, false, "a" ) );
        meshes.push_back( make_box_mesh(
            point( 0.5, 2, 7.0 / 3 ), point( 1.5, 3, 3 ), 1, false, "b" ) );
        auto brep = model_without_blocks( meshes );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 3 );
        const auto& enclosing = block_with_boundaries( brep, 3 );
        for( const auto name : { "box", "a", "b" } )
        {
            EXPECT_TRUE(
                brep.is_boundary( surface_named( brep, name ), enclosing ) )
                << name;
        }
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    // An octahedron centred at (2, 2, 2), outwards: the ray of its first
    // face runs along (1, 1, 1) to the point (4, 4, 4).
    std::unique_ptr< SurfaceMesh< 3 > > octahedron()
    {
        const double c{ 2 };
        const double r{ 1.5 };
        const std::vector< Point3D > tips{ point( c + r, c, c ),
                                           point( c - r, c, c ),
                                           point( c, c + r, c ),
                                           point( c, c - r, c ),
                                           point( c, c, c + r ),
                                           point( c, c, c - r ) };
        std::vector< std::array< index_t, 3 > > triangles;
        for( const index_t x : { 0u, 1u } )
        {
            for( const index_t y : { 2u, 3u } )
            {
                for( const index_t z : { 4u, 5u } )
                {
                    // Outwards when the octant's signs multiply to +1.
                    const bool even = ( x + y + z ) % 2 == 0;
                    triangles.push_back(
                        even ? std::array< index_t, 3 >{ x, y, z }
                             : std::array< index_t, 3 >{ x, z, y } );
                }
            }
        }
        return test::triangulated_surface( tips, triangles, "tips" );
    }

    TEST_F( BuildBlocksTest, equally_distant_hits_agree_on_the_enclosing_block )
    {
        // An octahedron in a box of six separate faces: the ray of its first
        // face, along (1, 1, 1), meets the box's corner (4, 4, 4) where
        // three faces meet, at one distance.
        Meshes meshes = make_box_faces( point( 0, 0, 0 ), point( 4, 4, 4 ) );
        meshes.insert( meshes.begin(), octahedron() );
        auto brep = model_without_blocks( meshes );
        build_blocks( brep );
        ASSERT_EQ( brep.nb_blocks(), 2 );
        const auto& between = block_with_boundaries( brep, 7 );
        EXPECT_TRUE(
            brep.is_boundary( surface_named( brep, "tips" ), between ) );
        block_with_boundaries( brep, 1 );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    class BuildBlocksTieTest : public BuildBlocksTest
    {
      protected:
        // The octahedron in a box that another box touches from outside at
        // the corner the ray meets: three shells at one distance, the one in
        // between the box's.
        static void expect_tips_inside_the_box( bool touching_before_enclosing )
        {
            Meshes meshes;
            meshes.push_back( octahedron() );
            auto enclosing = make_box_mesh(
                point( 0, 0, 0 ), point( 4, 4, 4 ), 1, false, "enclosing" );
            auto touching = make_box_mesh(
                point( 4, 4, 4 ), point( 8, 8, 8 ), 1, false, "touching" );
            meshes.push_back(
                std::move( touching_before_enclosing ? touching : enclosing ) );
            meshes.push_back(
                std::move( touching_before_enclosing ? enclosing : touching ) );
            auto brep = model_without_blocks( meshes );
            build_blocks( brep );
            ASSERT_EQ( brep.nb_blocks(), 3 );
            const auto& box = block_with_boundaries( brep, 2 );
            EXPECT_TRUE(
                brep.is_boundary( surface_named( brep, "enclosing" ), box ) );
            EXPECT_TRUE(
                brep.is_boundary( surface_named( brep, "tips" ), box ) );
            EXPECT_TRUE( check_brep_consistency( brep ) );
        }
    };

    TEST_F( BuildBlocksTieTest,
            hit_on_a_shell_touching_from_outside_goes_to_the_later )
    {
        // Equal distances go to the surface created last: here the box
        // that encloses the octahedron.
        expect_tips_inside_the_box( true );
    }

    TEST_F( BuildBlocksTieTest,
            hit_on_a_shell_touching_from_outside_whatever_the_order )
    {
        expect_tips_inside_the_box( false );
    }

    TEST_F( BuildBlocksTest, closed_curve_inside_a_box_becomes_internal )
    {
        const auto box = make_box_mesh( point( 0, 0, 0 ), point( 2, 2, 2 ) );
        const auto curve = polyline< 3 >(
            { point( 0.5, 0.5, 1 ), point( 1.5, 0.5, 1 ), point( 1, 1.5, 1 ) },
            true );
        const std::reference_wrapper< const EdgedCurve< 3 > > curves[] = {
            *curve };
        const std::reference_wrapper< const SurfaceMesh< 3 > > surfaces[] = {
            *box };
        const auto result =
            convert_curves_and_surfaces_into_brep( curves, surfaces );
        const auto& brep = std::get< 0 >( result );
        ASSERT_EQ( brep.nb_blocks(), 1 );
        ASSERT_EQ( brep.nb_lines(), 1 );
        const auto& block = *brep.blocks().begin();
        EXPECT_TRUE(
            brep.is_internal( brep.lines().begin()->id(), block.id() ) );
        EXPECT_TRUE( check_brep_consistency( brep ) );
    }

    TEST_F( BuildBlocksTest, thin_blocks_are_not_taken_for_flat_ones )
    {
        constexpr absl::string_view ZERO_VOLUME_WARNING =
            "[BRepBlocksBuilder::build_blocks] Removed a block of zero volume";
        // Thin but real, and far from the origin: kept. (Flat candidates
        // are dropped; the messy-mesh conversions show it.)
        for( const double thickness : { 1e-3, 1e-5 } )
        {
            auto brep = model_without_blocks( single(
                make_box_mesh( point( 1e3, 1e3, 1e3 ),
                               point( 1e3 + 1, 1e3 + 1, 1e3 + thickness ),
                               1 ) ) );
            LogCapture log;
            build_blocks( brep );
            EXPECT_EQ( brep.nb_blocks(), 1 ) << thickness;
            EXPECT_EQ( log.count( Logger::Level::warn, ZERO_VOLUME_WARNING ),
                       0 );
        }
        // Long and slender: small volume for its extent, yet no sliver.
        auto needle = model_without_blocks( single(
            make_box_mesh( point( 0, 0, 0 ), point( 1e3, 1e-2, 1e-2 ), 1 ) ) );
        build_blocks( needle );
        EXPECT_EQ( needle.nb_blocks(), 1 );
    }

    TEST_F( BuildBlocksTest,
            flat_shell_thinner_than_its_extent_allows_is_dropped )
    {
        // 1000 x 1000 and 2e-6 thick: its points stay apart (more than 1e-6)
        // and its volume is positive, but a thickness of 2e-9 of its extent
        // encloses nothing. Both sides' candidates go as flat.
        auto brep = model_without_blocks( single(
            make_box_mesh( point( 0, 0, 0 ), point( 1e3, 1e3, 2e-6 ), 1 ) ) );
        LogCapture log;
        build_blocks( brep );
        EXPECT_EQ( brep.nb_blocks(), 0 );
        EXPECT_EQ( log.count( Logger::Level::warn,
                              "[BRepBlocksBuilder::build_blocks] Removed a "
                              "block of zero volume" ),
                   2 );
    }
} // namespace
