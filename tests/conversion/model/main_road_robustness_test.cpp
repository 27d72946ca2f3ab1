// Conversions from surface meshes fed shared inputs, coincident faces, tiny
// shells, stale adjacency and several threads at once; every conversion fed
// shapes from tiny to far beyond the coordinate bound.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <absl/strings/str_cat.h>

#include <conversion/common/tasks.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/conversion/model/add_sharp_features.h>
#include <vorna/conversion/model/brep_from_meshes_builder.h>
#include <vorna/conversion/model/brep_from_solid_elements_builder.h>
#include <vorna/conversion/model/build_blocks.h>
#include <vorna/conversion/model/convert_solid_into_brep.h>
#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/conversion/model/convert_surfaces_into_section.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/section.h>
#include <vorna/model/surface.h>

#include <support/block_fixtures.h>
#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/mesh_queries.h>
#include <support/model_checks.h>
#include <support/section_fixtures.h>
#include <support/solid_fixtures.h>

namespace
{
    using namespace vorna;
    using vorna::test::check_brep_consistency;
    using vorna::test::closed_cube;
    using vorna::test::expect_error;
    using vorna::test::make_box_mesh;
    using vorna::test::point;
    using vorna::test::surface_of;

    using test::CurveRefs;
    using test::SurfaceRefs;

    std::vector< Point3D > points_of( const SurfaceMesh< 3 >& mesh )
    {
        std::vector< Point3D > points;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            points.push_back( mesh.point( v ) );
        }
        return points;
    }

    std::vector< std::vector< index_t > >
    polygons_of( const SurfaceMesh< 3 >& mesh )
    {
        std::vector< std::vector< index_t > > polygons;
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            polygons.push_back( mesh.polygon_vertices( p ) );
        }
        return polygons;
    }

    /// Several shells in one mesh, each over its own vertices.
    std::unique_ptr< SurfaceMesh< 3 > >
    one_mesh( const std::vector< const SurfaceMesh< 3 >* >& shells,
              bool adjacencies )
    {
        std::vector< Point3D > points;
        std::vector< std::vector< index_t > > polygons;
        for( const auto* shell : shells )
        {
            const auto offset = static_cast< index_t >( points.size() );
            for( const auto& p : points_of( *shell ) )
            {
                points.push_back( p );
            }
            for( auto polygon : polygons_of( *shell ) )
            {
                for( auto& v : polygon )
                {
                    v += offset;
                }
                polygons.push_back( polygon );
            }
        }
        return surface_of( points, polygons, adjacencies );
    }

    /// The model with every uuid replaced by the component's rank, so that
    /// two conversions of one input compare in full.
    std::string model_signature( const BRep& brep )
    {
        const auto names = test::component_names( brep );
        std::string text;
        const auto relations = [&]( const uuid& id )
        {
            absl::StrAppend( &text, names.at( id ), ":" );
            for( const auto& boundary : brep.boundaries( id ) )
            {
                absl::StrAppend( &text, " <", names.at( boundary.id() ) );
            }
            for( const auto& internal : brep.internals( id ) )
            {
                absl::StrAppend( &text, " (", names.at( internal.id() ) );
            }
            absl::StrAppend( &text, "\n" );
        };
        for( const auto& corner : brep.corners() )
        {
            relations( corner.id() );
        }
        for( const auto& line : brep.lines() )
        {
            relations( line.id() );
            absl::StrAppend( &text, " edges ", line.mesh().nb_edges(), "\n" );
        }
        for( const auto& surface : brep.surfaces() )
        {
            relations( surface.id() );
            const auto& mesh = surface.mesh();
            absl::StrAppend( &text, " '", surface.name(), "'" );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( const auto v : mesh.polygon_vertices( p ) )
                {
                    absl::StrAppend( &text, " ", v );
                }
                absl::StrAppend( &text, ";" );
            }
            absl::StrAppend( &text, "\n" );
        }
        for( const auto& block : brep.blocks() )
        {
            relations( block.id() );
        }
        for( index_t u = 0; u < brep.nb_unique_vertices(); u++ )
        {
            absl::StrAppend( &text, "u", u, ":" );
            for( const auto& vertex : brep.component_mesh_vertices( u ) )
            {
                absl::StrAppend( &text,
                                 " ",
                                 names.at( vertex.component_id.id() ),
                                 "/",
                                 vertex.vertex );
            }
            absl::StrAppend( &text, "\n" );
        }
        return text;
    }

    using MainRoadRobustnessTest = test::ConversionTest;

    /// Converts the box 25 times on each of 8 threads at once; the number
    /// of conversions that failed or gave another model than `reference`.
    index_t nb_unsteady_concurrent_conversions( const SurfaceMesh< 3 >& box,
                                                const std::string& reference )
    {
        std::atomic< index_t > nb_unsteady{ 0 };
        std::vector< std::thread > threads;
        for( index_t t = 0; t < 8; t++ )
        {
            threads.emplace_back(
                [&]
                {
                    for( index_t run = 0; run < 25; run++ )
                    {
                        try
                        {
                            const auto result =
                                convert_surface_into_brep( box );
                            if( model_signature( std::get< 0 >( result ) ) !=
                                reference )
                            {
                                nb_unsteady++;
                            }
                        }
                        catch( ... )
                        {
                            nb_unsteady++;
                        }
                    }
                } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        return nb_unsteady.load();
    }

    TEST_F( MainRoadRobustnessTest, one_const_mesh_converts_from_eight_threads )
    {
        // 8 x 8 cells a face: 768 triangles, one welded shell.
        const auto box = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 8, false, "box" );
        const auto names = box->polygon_attribute_manager().attribute_names();
        const auto reference = model_signature(
            std::get< 0 >( convert_surface_into_brep( *box ) ) );
        EXPECT_EQ( nb_unsteady_concurrent_conversions( *box, reference ), 0u );
        {
            // The callers' threads alone, without the pool: what a race
            // detector can follow, as the pool's library is not
            // instrumented.
            const detail::ThreadLimit limit{ 1 };
            EXPECT_EQ( nb_unsteady_concurrent_conversions( *box, reference ),
                       0u );
        }
        EXPECT_EQ( box->polygon_attribute_manager().attribute_names(), names );
    }

    TEST_F( MainRoadRobustnessTest, caller_grouping_attribute_stays_untouched )
    {
        const auto box = closed_cube();
        const auto label =
            box->polygon_attribute_manager()
                .find_or_create_attribute< VariableAttribute, index_t >(
                    detail::SurfaceIdentifier< 3 >::surface_id_attribute_name,
                    7u );
        label->set_value( 3, 42 );
        const auto result = convert_surface_into_brep( *box );
        EXPECT_EQ( std::get< 0 >( result ).nb_blocks(), 1u );
        ASSERT_TRUE( box->polygon_attribute_manager().attribute_exists(
            detail::SurfaceIdentifier< 3 >::surface_id_attribute_name ) );
        EXPECT_EQ( label->value( 3 ) * 100 + label->value( 4 ), 4207u );
    }

    TEST_F( MainRoadRobustnessTest, shared_polygons_keep_every_input_attribute )
    {
        // m1 holds copies of m0's triangles 0 to 5, over its own vertices.
        const auto m0 = closed_cube();
        std::vector< std::vector< index_t > > first_half;
        for( index_t p = 0; p < 6; p++ )
        {
            first_half.push_back( m0->polygon_vertices( p ) );
        }
        const auto m1 = surface_of( points_of( *m0 ), first_half );
        for( const auto* mesh : { m0.get(), m1.get() } )
        {
            const auto pid =
                mesh->polygon_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, int >( "pid",
                                                                         0 );
            for( index_t p = 0; p < mesh->nb_polygons(); p++ )
            {
                pid->set_value( p, 100 + static_cast< int >( p ) );
            }
            const auto vid =
                mesh->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, int >( "vid",
                                                                         0 );
            for( index_t v = 0; v < mesh->nb_vertices(); v++ )
            {
                vid->set_value( v, 1000 + static_cast< int >( v ) );
            }
        }
        const auto result =
            convert_surfaces_into_brep( SurfaceRefs{ *m0, *m1 } );
        const auto& brep = std::get< 0 >( result );
        const auto& elements = std::get< 2 >( result );
        ASSERT_EQ( brep.nb_surfaces(), 1u );
        const auto& mesh = brep.surfaces().begin()->mesh();
        ASSERT_TRUE(
            mesh.polygon_attribute_manager().attribute_exists( "pid" ) );
        ASSERT_TRUE(
            mesh.vertex_attribute_manager().attribute_exists( "vid" ) );
        const auto pid =
            mesh.polygon_attribute_manager().find_attribute< int >( "pid" );
        const auto vid =
            mesh.vertex_attribute_manager().find_attribute< int >( "vid" );
        // The value tells which input element it came from; that element
        // must map to this surface element.
        index_t nb_wrong{ 0 };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto value = pid->value( p );
            const MeshElement key{ m0->id(),
                                   static_cast< index_t >( value - 100 ) };
            if( value < 100 || !elements.has_mapping_input( key ) ||
                elements.in2out( key ).front().element != p )
            {
                nb_wrong++;
            }
        }
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto value = vid->value( v );
            if( value < 1000 ||
                mesh.point( v ) !=
                    m0->point( static_cast< index_t >( value - 1000 ) ) )
            {
                nb_wrong++;
            }
        }
        EXPECT_EQ( nb_wrong, 0u );
    }

    TEST_F( MainRoadRobustnessTest, coincident_copy_of_a_face_keeps_the_box )
    {
        const auto cube = closed_cube();
        auto polygons = polygons_of( *cube );
        polygons.push_back( polygons[4] );
        const auto mesh = surface_of( points_of( *cube ), polygons, false );
        const auto result = convert_surface_into_brep( *mesh );
        EXPECT_EQ( std::get< 0 >( result ).nb_blocks(), 1u );
        EXPECT_TRUE( test::check_conversion( result, { *mesh } ) );
    }

    /// Tetrahedron with reversed copies of two faces; with `nested`, a
    /// smaller one inside it.
    std::unique_ptr< SurfaceMesh< 3 > > tetrahedra( bool nested )
    {
        std::vector< Point3D > points{ point( 0, 0, 0 ),
                                       point( 4, 0, 0 ),
                                       point( 0, 4, 0 ),
                                       point( 0, 0, 4 ) };
        std::vector< std::vector< index_t > > polygons{ { 1, 2, 3 },
                                                        { 0, 3, 2 },
                                                        { 0, 1, 3 },
                                                        { 0, 2, 1 },
                                                        { 3, 2, 1 },
                                                        { 2, 3, 0 } };
        if( nested )
        {
            for( const auto& p : { point( 0.5, 0.5, 0.5 ),
                                   point( 1.5, 0.5, 0.5 ),
                                   point( 0.5, 1.5, 0.5 ),
                                   point( 0.5, 0.5, 1.5 ) } )
            {
                points.push_back( p );
            }
            for( const auto& polygon : std::vector< std::vector< index_t > >{
                     { 5, 6, 7 }, { 4, 7, 6 }, { 4, 5, 7 }, { 4, 6, 5 } } )
            {
                polygons.push_back( polygon );
            }
        }
        return surface_of( points, polygons );
    }

    TEST_F( MainRoadRobustnessTest, reversed_copies_of_faces_keep_the_volume )
    {
        const auto single = convert_surface_into_brep( *tetrahedra( false ) );
        EXPECT_EQ( std::get< 0 >( single ).nb_blocks(), 1u );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( single ) ) );
        const auto nested = convert_surface_into_brep( *tetrahedra( true ) );
        EXPECT_EQ( std::get< 0 >( nested ).nb_blocks(), 2u );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( nested ) ) );
    }

    /// Inputs that gave different models from run to run.
    std::vector< std::unique_ptr< SurfaceMesh< 3 > > > formerly_unsteady()
    {
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > inputs;
        // An open 3 mm box (one triangle removed) around a closed 1 mm box,
        // without stored adjacency.
        const auto outer =
            make_box_mesh( point( 0, 0, 0 ), point( 0.003, 0.003, 0.003 ) );
        auto outer_polygons = polygons_of( *outer );
        outer_polygons.pop_back();
        const auto open_outer =
            surface_of( points_of( *outer ), outer_polygons, false );
        const auto inner = make_box_mesh( point( 0.001, 0.001, 0.001 ),
                                          point( 0.002, 0.002, 0.002 ) );
        inputs.push_back(
            one_mesh( { open_outer.get(), inner.get() }, false ) );
        // Three boxes in a row, without stored adjacency.
        const auto a = make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ), 2 );
        const auto b = make_box_mesh( point( 2, 0, 0 ), point( 3, 1, 1 ), 2 );
        const auto c = make_box_mesh( point( 4, 0, 0 ), point( 5, 1, 1 ), 2 );
        inputs.push_back( one_mesh( { a.get(), b.get(), c.get() }, false ) );
        return inputs;
    }

    TEST_F( MainRoadRobustnessTest, same_input_gives_the_same_model_every_run )
    {
        for( const auto& input : formerly_unsteady() )
        {
            std::string reference;
            index_t nb_different{ 0 };
            for( index_t run = 0; run < 20; run++ )
            {
                // 1, 4 and 7 threads in turn.
                const detail::ThreadLimit limit{ 1 + ( run % 3 ) * 3 };
                std::string signature;
                try
                {
                    signature = model_signature(
                        std::get< 0 >( convert_surface_into_brep( *input ) ) );
                }
                catch( const std::exception& error )
                {
                    signature = error.what();
                }
                if( run == 0 )
                {
                    reference = signature;
                }
                else if( signature != reference )
                {
                    nb_different++;
                }
            }
            EXPECT_EQ( nb_different, 0u ) << reference.substr( 0, 200 );
        }
    }

    TEST_F( MainRoadRobustnessTest, millimetre_boxes_nest_in_a_model_in_metres )
    {
        // A 1 mm box in a 3 mm box: the inner one has no polygon of 1e-6
        // square metres to cast its ray from. A 0.5 mm box in a 1 mm box:
        // neither has, and the ray meets only such polygons.
        for( const double outer_size : { 0.003, 0.001 } )
        {
            const auto third = outer_size / 3;
            const auto outer = make_box_mesh(
                point( 0, 0, 0 ), point( outer_size, outer_size, outer_size ) );
            const auto inner =
                make_box_mesh( point( third, third, third ),
                               point( 2 * third, 2 * third, 2 * third ) );
            const auto mesh = one_mesh( { outer.get(), inner.get() }, true );
            const auto result = convert_surface_into_brep( *mesh );
            const auto& brep = std::get< 0 >( result );
            // The block between the boxes is bounded by both.
            std::vector< index_t > nb_boundaries;
            for( const auto& block : brep.blocks() )
            {
                nb_boundaries.push_back( brep.nb_boundaries( block.id() ) );
            }
            std::sort( nb_boundaries.begin(), nb_boundaries.end() );
            EXPECT_EQ( nb_boundaries, ( std::vector< index_t >{ 1, 2 } ) )
                << outer_size;
            EXPECT_TRUE( test::check_conversion( result, { *mesh } ) );
        }
    }

    /// Converts the mesh: a consistent model, or a refusal of a polygon.
    bool converts_soundly( const SurfaceMesh< 3 >& mesh )
    {
        try
        {
            const auto result = convert_surface_into_brep( mesh );
            return test::check_conversion( result, { mesh } );
        }
        catch( const CorvaneException& error )
        {
            return std::string{ error.what() }.rfind(
                       "[CornersLinesBuilderFromMeshes] Polygon ", 0 ) == 0;
        }
    }

    TEST_F( MainRoadRobustnessTest, stale_or_self_adjacency_is_rebuilt )
    {
        // Adjacency computed, then a polygon vertex replaced by another
        // vertex, or an adjacency pointed at another polygon or at itself.
        index_t nb_unsound{ 0 };
        for( index_t p = 0; p < 12; p++ )
        {
            for( local_index_t k = 0; k < 3; k++ )
            {
                for( index_t w = 0; w < 9; w++ )
                {
                    auto cube = closed_cube();
                    auto builder = SurfaceMeshBuilder< 3 >::create( *cube );
                    if( w == 8 )
                    {
                        // A new vertex off the cube.
                        builder->create_point( point( 0.5, 0.5, -1 ) );
                    }
                    builder->set_polygon_vertex( { p, k }, w );
                    nb_unsound += converts_soundly( *cube ) ? 0 : 1;
                }
                for( index_t q = 0; q < 12; q++ )
                {
                    auto cube = closed_cube();
                    SurfaceMeshBuilder< 3 >::create( *cube )
                        ->set_polygon_adjacent( { p, k }, q );
                    nb_unsound += converts_soundly( *cube ) ? 0 : 1;
                }
            }
        }
        EXPECT_EQ( nb_unsound, 0u );
    }

    TEST_F( MainRoadRobustnessTest, repeated_vertex_in_a_row_is_refused )
    {
        const auto cube = closed_cube();
        auto polygons = polygons_of( *cube );
        polygons[5] = {
            polygons[5][0], polygons[5][1], polygons[5][2], polygons[5][2] };
        const auto mesh =
            surface_of( points_of( *cube ), polygons, true, "rep" );
        expect_error( [&] { convert_surface_into_brep( *mesh ); },
                      absl::StrCat( "[CornersLinesBuilderFromMeshes] Polygon 5 "
                                    "of mesh 'rep' repeats vertex ",
                                    polygons[5][2],
                                    " in a row" ) );

        const auto curve = test::curve_of(
            { point( 0, 0, 2 ), point( 1, 0, 2 ) }, { { 0, 1 }, { 1, 1 } } );
        const auto box = closed_cube();
        expect_error(
            [&]
            {
                convert_curves_and_surfaces_into_brep( CurveRefs{ *curve },
                                                       SurfaceRefs{ *box } );
            },
            absl::StrCat( "[CornersLinesBuilderFromMeshes] Edge 1 of curve '",
                          curve->id().string(),
                          "' joins vertex 1 to itself" ) );

        // Edges whose ends, or one of them, were never set.
        for( const bool one_end : { false, true } )
        {
            const auto unset = test::curve_of(
                { point( 0, 0, 2 ), point( 1, 0, 2 ) }, { { 0, 1 } } );
            auto builder = EdgedCurveBuilder< 3 >::create( *unset );
            const auto edge = builder->create_edge();
            if( one_end )
            {
                builder->set_edge_vertex( { edge, 0 }, 1 );
            }
            expect_error(
                [&]
                {
                    convert_curves_and_surfaces_into_brep(
                        CurveRefs{ *unset }, SurfaceRefs{ *box } );
                },
                absl::StrCat(
                    "[CornersLinesBuilderFromMeshes] Edge 1 of curve '",
                    unset->id().string(),
                    "' has an unset end" ) );
        }
    }

    TEST_F( MainRoadRobustnessTest, first_fault_of_a_large_mesh_is_told )
    {
        // Polygons are checked in pieces at once: the fault told is still
        // the first in polygon order, a point before a repeat.
        const auto box =
            make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ), 40 );
        auto points = points_of( *box );
        auto polygons = polygons_of( *box );
        polygons[15000][2] = polygons[15000][1];
        points[polygons[9000][1]] =
            point( std::numeric_limits< double >::infinity(), 0, 0 );
        polygons[9000][2] = polygons[9000][1];
        const auto mesh = surface_of( points, polygons, true, "faulty" );
        expect_error( [&] { convert_surface_into_brep( *mesh ); },
                      absl::StrCat( "[CornersLinesBuilderFromMeshes] Vertex ",
                                    polygons[9000][1],
                                    " of mesh 'faulty' has a non-finite "
                                    "coordinate" ) );
    }
} // namespace

namespace
{
    /// The box of `cells` x `cells` squares a face, its vertices and
    /// triangles shuffled, its faces apart: the groups of polygons
    /// interleave and their first vertices come in no particular order.
    std::unique_ptr< SurfaceMesh< 3 > > shuffled_split_box( index_t cells )
    {
        const auto box =
            make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ), cells );
        std::mt19937 random{ 5 };
        std::vector< index_t > new_vertex( box->nb_vertices() );
        std::iota( new_vertex.begin(), new_vertex.end(), 0u );
        std::shuffle( new_vertex.begin(), new_vertex.end(), random );
        std::vector< Point3D > points( box->nb_vertices() );
        for( index_t v = 0; v < box->nb_vertices(); v++ )
        {
            points[new_vertex[v]] = box->point( v );
        }
        auto polygons = polygons_of( *box );
        for( auto& polygon : polygons )
        {
            for( auto& v : polygon )
            {
                v = new_vertex[v];
            }
        }
        std::shuffle( polygons.begin(), polygons.end(), random );
        auto mesh = surface_of( points, polygons );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        for( index_t p = 0; p < mesh->nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const auto adjacent = mesh->polygon_adjacent( { p, e } );
                if( adjacent && mesh->polygon_normal( p ).dot(
                                    mesh->polygon_normal( *adjacent ) ) < 0.5 )
                {
                    builder->unset_polygon_adjacent( { p, e } );
                }
            }
        }
        return mesh;
    }

    TEST_F( MainRoadRobustnessTest,
            large_surfaces_number_and_map_vertices_in_order )
    {
        // 6 faces of 5000 triangles: each surface numbered in several
        // pieces at once.
        const auto mesh = shuffled_split_box( 50 );
        const auto result = convert_surface_into_brep( *mesh );
        ASSERT_TRUE( test::check_conversion( result, { *mesh } ) );
        const auto& brep = std::get< 0 >( result );
        ASSERT_EQ( brep.nb_surfaces(), 6u );
        // Walking a surface's polygons in order, then their vertices,
        // meets its vertices in order: 0, 1, 2...
        index_t nb_out_of_order{ 0 };
        for( const auto& surface : brep.surfaces() )
        {
            const auto& surface_mesh = surface.mesh();
            EXPECT_EQ( surface_mesh.nb_polygons(), 5000u );
            index_t next{ 0 };
            for( index_t p = 0; p < surface_mesh.nb_polygons(); p++ )
            {
                for( const auto v : surface_mesh.polygon_vertices( p ) )
                {
                    if( v == next )
                    {
                        next++;
                    }
                    else if( v > next )
                    {
                        nb_out_of_order++;
                    }
                }
            }
            EXPECT_EQ( next, surface_mesh.nb_vertices() );
        }
        EXPECT_EQ( nb_out_of_order, 0u );
        // An input vertex maps to the surface vertices at its point in the
        // order they are linked there (on the box's edges, two or three).
        index_t nb_misordered{ 0 };
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            const auto& outs =
                std::get< 1 >( result ).in2out( { mesh->id(), v } );
            const auto linked = brep.component_mesh_vertices(
                brep.unique_vertex( outs.at( 0 ) ), "Surface" );
            nb_misordered +=
                std::equal(
                    outs.begin(), outs.end(), linked.begin(), linked.end() )
                    ? 0
                    : 1;
        }
        EXPECT_EQ( nb_misordered, 0u );
    }
} // namespace

namespace
{
    TEST_F( MainRoadRobustnessTest, large_surfaces_keep_the_input_order )
    {
        // 6 faces of 20000 triangles, shuffled: the polygons are grouped,
        // and the groups tabled, in several pieces at once. Surfaces come
        // in the order of their first input polygon, and each keeps its
        // polygons in input order.
        const auto mesh = shuffled_split_box( 100 );
        const auto result = convert_surface_into_brep( *mesh );
        ASSERT_TRUE( test::check_conversion( result, { *mesh } ) );
        const auto& brep = std::get< 0 >( result );
        ASSERT_EQ( brep.nb_surfaces(), 6u );
        std::vector< index_t > firsts;
        index_t nb_misordered{ 0 };
        for( const auto& surface : brep.surfaces() )
        {
            const auto nb_polygons = surface.mesh().nb_polygons();
            ASSERT_EQ( nb_polygons, 20000u );
            index_t previous{ 0 };
            for( index_t p = 0; p < nb_polygons; p++ )
            {
                const auto input =
                    std::get< 2 >( result )
                        .out2in( { ComponentID{ "Surface", surface.id() }, p } )
                        .at( 0 )
                        .element;
                if( p == 0 )
                {
                    firsts.push_back( input );
                }
                else if( input <= previous )
                {
                    nb_misordered++;
                }
                previous = input;
            }
        }
        EXPECT_EQ( nb_misordered, 0u );
        EXPECT_TRUE( std::is_sorted( firsts.begin(), firsts.end() ) );
        EXPECT_EQ( firsts.front(), 0u );
    }
} // namespace

namespace
{
    template < index_t D >
    Point< D > times( const Point< D >& point, double scale )
    {
        Point< D > scaled;
        for( index_t axis = 0; axis < D; axis++ )
        {
            scaled.set_value( axis, point.value( axis ) * scale );
        }
        return scaled;
    }

    /// Multiplies every point of the mesh by `scale` and names the mesh.
    template < typename Mesh, typename Builder >
    void scale_mesh( const Mesh& mesh,
                     Builder& builder,
                     double scale,
                     absl::string_view name )
    {
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            builder.set_point( v, times( mesh.point( v ), scale ) );
        }
        builder.set_name( name );
    }

    template < index_t D >
    void
    scale_input( SurfaceMesh< D >& mesh, double scale, absl::string_view name )
    {
        scale_mesh(
            mesh, *SurfaceMeshBuilder< D >::create( mesh ), scale, name );
    }

    void
    scale_input( SolidMesh< 3 >& mesh, double scale, absl::string_view name )
    {
        scale_mesh( mesh, *SolidMeshBuilder< 3 >::create( mesh ), scale, name );
    }

    void
    scale_input( EdgedCurve< 3 >& mesh, double scale, absl::string_view name )
    {
        scale_mesh(
            mesh, *EdgedCurveBuilder< 3 >::create( mesh ), scale, name );
    }

    /// Scales every component mesh of the model; surface meshes are named
    /// "s<rank>", line meshes "l<rank>", corner meshes "c<rank>".
    void scale_model( BRep& brep, double scale )
    {
        BRepBuilder builder{ brep };
        index_t rank{ 0 };
        for( const auto& surface : brep.surfaces() )
        {
            scale_mesh( surface.mesh(),
                        *builder.surface_mesh_builder( surface.id() ),
                        scale,
                        absl::StrCat( "s", rank++ ) );
        }
        rank = 0;
        for( const auto& line : brep.lines() )
        {
            scale_mesh( line.mesh(),
                        *builder.line_mesh_builder( line.id() ),
                        scale,
                        absl::StrCat( "l", rank++ ) );
        }
        rank = 0;
        for( const auto& corner : brep.corners() )
        {
            scale_mesh( corner.mesh(),
                        *builder.corner_mesh_builder( corner.id() ),
                        scale,
                        absl::StrCat( "c", rank++ ) );
        }
    }

    /// The polyhedron across each facet (INVALID_INDEX on a border).
    std::vector< index_t > polyhedron_adjacencies( const SolidMesh< 3 >& solid )
    {
        std::vector< index_t > adjacencies;
        for( index_t p = 0; p < solid.nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < solid.nb_polyhedron_facets( p ); f++ )
            {
                adjacencies.push_back( solid.polyhedron_adjacent( { p, f } )
                                           .value_or( INVALID_INDEX ) );
            }
        }
        return adjacencies;
    }

    test::ModelCounts section_counts( const Section& section )
    {
        EXPECT_TRUE( test::check_section_consistency( section ) );
        return { section.nb_corners(),
                 section.nb_lines(),
                 section.nb_surfaces(),
                 0 };
    }

    test::ModelCounts brep_counts( const BRep& brep )
    {
        EXPECT_TRUE( check_brep_consistency( brep ) );
        return test::counts_of( brep );
    }

    /// The coordinate of largest absolute value, at scale 1, of an input
    /// that a shape's conversion looks at.
    struct FarthestAtOne
    {
        index_t vertex;
        std::string mesh;
        double value;
    };

    /// A shape converted at a given scale; its inputs are named as
    /// scale_input and scale_model name them.
    struct ScaledShape
    {
        std::string name;
        test::ModelCounts counts;
        std::string operation;
        // Inputs in the order they are checked.
        std::vector< FarthestAtOne > inputs;
        std::function< test::ModelCounts( double ) > convert;
    };

    std::vector< ScaledShape > scaled_shapes()
    {
        using Counts = test::ModelCounts;
        std::vector< ScaledShape > shapes;
        const auto solid_cube = []( double scale )
        {
            auto solid = test::tetrahedral_grid( 1 );
            scale_input( *solid, scale, "cube" );
            return solid;
        };
        shapes.push_back( { "cube of 6 tetrahedra, by adjacencies",
                            Counts{ 0, 0, 1, 1 },
                            "BRepFromSolidAdjacenciesBuilder",
                            { { 1, "cube", 1 } },
                            [&]( double scale )
                            {
                                return brep_counts(
                                    convert_solid_into_brep_from_adjacencies(
                                        *solid_cube( scale ) ) );
                            } } );
        shapes.push_back(
            { "cube of 6 tetrahedra in two regions, by attribute",
              Counts{ 0, 1, 3, 2 },
              "convert_solid_into_brep_from_attribute",
              { { 1, "cube", 1 } },
              [&]( double scale )
              {
                  auto solid = solid_cube( scale );
                  test::set_values(
                      solid->polyhedron_attribute_manager(),
                      "region",
                      std::vector< index_t >{ 0, 0, 0, 1, 1, 1 } );
                  // Refused, the solid keeps its adjacencies.
                  const auto before = polyhedron_adjacencies( *solid );
                  try
                  {
                      return brep_counts(
                          convert_solid_into_brep_from_attribute( *solid,
                                                                  "region" ) );
                  }
                  catch( const CorvaneException& )
                  {
                      EXPECT_EQ( polyhedron_adjacencies( *solid ), before );
                      throw;
                  }
              } } );
        shapes.push_back(
            { "hexahedron's facets, by the solid-elements builder",
              Counts{ 0, 0, 1, 0 },
              "BRepFromSolidElementsBuilder",
              { { 1, "cube", 1 } },
              []( double scale )
              {
                  auto solid = test::one_hexahedron();
                  scale_input( *solid, scale, "cube" );
                  BRep brep;
                  const std::vector< index_t > facets{ 0, 1, 2, 3, 4, 5 };
                  detail::BRepFromSolidElementsBuilder builder{
                      brep, *solid, {}, facets };
                  builder.build();
                  builder.build_whole_surface_step();
                  builder.build_surfaces();
                  return brep_counts( brep );
              } } );
        shapes.push_back(
            { "two nested tetrahedra",
              Counts{ 2, 3, 6, 2 },
              "CornersLinesBuilderFromMeshes",
              { { 1, "tetrahedra", 4 } },
              []( double scale )
              {
                  auto mesh = tetrahedra( true );
                  scale_input( *mesh, scale, "tetrahedra" );
                  const auto result = convert_surface_into_brep( *mesh );
                  EXPECT_TRUE( test::check_conversion( result, { *mesh } ) );
                  return test::counts_of( std::get< 0 >( result ) );
              } } );
        shapes.push_back(
            { "two boxes sharing a face",
              Counts{ 0, 1, 3, 2 },
              "CornersLinesBuilderFromMeshes",
              { { 1, "left", 1 }, { 1, "right", 2 } },
              []( double scale )
              {
                  auto boxes = test::two_boxes_sharing_a_face();
                  scale_input( *boxes.first, scale, "left" );
                  scale_input( *boxes.second, scale, "right" );
                  const auto result = convert_surfaces_into_brep(
                      SurfaceRefs{ *boxes.first, *boxes.second } );
                  EXPECT_TRUE( test::check_conversion(
                      result, { *boxes.first, *boxes.second } ) );
                  return test::counts_of( std::get< 0 >( result ) );
              } } );
        shapes.push_back(
            { "box and a curve inside it",
              Counts{ 2, 1, 1, 1 },
              "CornersLinesBuilderFromMeshes",
              { { 1, "box", 1 }, { 1, "curve", 0.75 } },
              []( double scale )
              {
                  auto box = closed_cube();
                  scale_input( *box, scale, "box" );
                  auto curve = test::curve_of(
                      { point( 0.25, 0.25, 0.25 ), point( 0.75, 0.5, 0.5 ) },
                      { { 0, 1 } } );
                  scale_input( *curve, scale, "curve" );
                  const auto result = convert_curves_and_surfaces_into_brep(
                      CurveRefs{ *curve }, SurfaceRefs{ *box } );
                  EXPECT_TRUE(
                      test::check_conversion( result, { *box }, { *curve } ) );
                  return test::counts_of( std::get< 0 >( result ) );
              } } );
        const auto square = []( double scale )
        {
            auto mesh = test::two_triangles_2d( true );
            scale_input( *mesh, scale, "square" );
            return mesh;
        };
        shapes.push_back(
            { "split square, one mesh",
              Counts{ 0, 1, 1, 0 },
              "SectionFromSurfaceBuilder",
              { { 1, "square", 1 } },
              [&]( double scale )
              {
                  return section_counts(
                      convert_surface_into_section( *square( scale ) ) );
              } } );
        shapes.push_back(
            { "split square, several meshes",
              Counts{ 0, 1, 1, 0 },
              "SectionFromSurfacesBuilder",
              { { 1, "square", 1 } },
              [&]( double scale )
              {
                  const auto mesh = square( scale );
                  return section_counts( convert_surfaces_into_section(
                      std::vector<
                          std::reference_wrapper< const SurfaceMesh< 2 > > >{
                          *mesh } ) );
              } } );
        shapes.push_back(
            { "split square in two regions, by attribute",
              Counts{ 2, 3, 2, 0 },
              "convert_surface_into_section_from_attribute",
              { { 1, "square", 1 } },
              [&]( double scale )
              {
                  auto mesh = square( scale );
                  test::set_values( mesh->polygon_attribute_manager(),
                                    "region",
                                    std::vector< index_t >{ 3, 4 } );
                  // Refused, the mesh keeps its adjacencies.
                  const auto before = test::polygon_adjacencies( *mesh );
                  try
                  {
                      return section_counts(
                          convert_surface_into_section_from_attribute(
                              *mesh, "region" ) );
                  }
                  catch( const CorvaneException& )
                  {
                      EXPECT_EQ( test::polygon_adjacencies( *mesh ), before );
                      throw;
                  }
              } } );
        shapes.push_back( { "box of six surfaces, build_blocks",
                            Counts{ 8, 12, 6, 1 },
                            "build_blocks",
                            { { 1, "s0", 1 } },
                            []( double scale )
                            {
                                BRep brep;
                                const auto faces = test::make_box_faces(
                                    point( 0, 0, 0 ), point( 1, 1, 1 ) );
                                detail::BRepFromMeshesBuilder{
                                    brep, {}, test::as_references( faces ) }
                                    .build_brep_without_blocks();
                                scale_model( brep, scale );
                                build_blocks( brep );
                                return brep_counts( brep );
                            } } );
        shapes.push_back(
            { "cube, add_sharp_features at 140 degrees",
              Counts{ 8, 12, 6, 1 },
              "add_sharp_features",
              { { 1, "s0", 1 } },
              []( double scale )
              {
                  auto brep = std::get< 0 >( convert_surface_into_brep(
                      *make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) ) );
                  scale_model( brep, scale );
                  return brep_counts(
                      std::get< 0 >( add_sharp_features( brep, 140 ) ) );
              } } );
        return shapes;
    }

    TEST_F( MainRoadRobustnessTest, any_scale_converts_alike_or_is_refused )
    {
        // From edges above the merging distance to coordinates far beyond
        // the bound: the counts of scale 1 within it, past it the refusal
        // that names the first input with a coordinate beyond it.
        for( const auto& shape : scaled_shapes() )
        {
            for( int exponent = -5; exponent <= 300; exponent++ )
            {
                const auto scale = std::pow( 10., exponent );
                const auto what = absl::StrCat( shape.name, " x1e", exponent );
                const auto far = std::find_if(
                    shape.inputs.begin(),
                    shape.inputs.end(),
                    [scale]( const FarthestAtOne& input )
                    { return std::fabs( input.value * scale ) > 1e40; } );
                if( far == shape.inputs.end() )
                {
                    EXPECT_EQ( shape.convert( scale ), shape.counts ) << what;
                    continue;
                }
                SCOPED_TRACE( what );
                test::expect_exact_error(
                    [&] { shape.convert( scale ); },
                    absl::StrCat( "[",
                                  shape.operation,
                                  "] Coordinates must lie within [-1e+40, "
                                  "1e+40]: vertex ",
                                  far->vertex,
                                  " of mesh '",
                                  far->mesh,
                                  "' has ",
                                  far->value * scale ) );
            }
        }
    }
} // namespace
