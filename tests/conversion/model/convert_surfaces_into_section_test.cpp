#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <conversion/common/tasks.h>
#include <conversion/model/surface_lines_relations.h>
#include <support/block_fixtures.h>
#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/mesh_queries.h>
#include <support/model_checks.h>
#include <support/section_fixtures.h>

#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_surface.h>
#include <vorna/conversion/model/convert_surfaces_into_section.h>
#include <vorna/conversion/model/section_from_surface_builder.h>
#include <vorna/conversion/model/section_from_surfaces_builder.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;
    using Meshes =
        std::vector< std::reference_wrapper< const SurfaceMesh< 2 > > >;

    /// Everything a Section says, with components named by kind and
    /// creation rank instead of their random uuids: equal for equal models.
    std::string signature( const Section& section )
    {
        const auto names = test::component_names( section );
        std::string text =
            absl::StrCat( "unique vertices ", section.nb_unique_vertices() );
        const auto vertex_text = [&]( const ComponentID& component,
                                      const Point< 2 >& point,
                                      index_t v )
        {
            return absl::StrCat( " ",
                                 point.string(),
                                 "#",
                                 section.unique_vertex( { component, v } ) );
        };
        for( const auto& corner : section.corners() )
        {
            absl::StrAppend( &text,
                             "\ncorner",
                             vertex_text( corner.component_id(),
                                          corner.mesh().point( 0 ),
                                          0 ) );
        }
        for( const auto& line : section.lines() )
        {
            absl::StrAppend( &text, "\nline" );
            for( index_t v = 0; v < line.mesh().nb_vertices(); v++ )
            {
                absl::StrAppend( &text,
                                 vertex_text( line.component_id(),
                                              line.mesh().point( v ),
                                              v ) );
            }
            for( const auto& corner : section.boundaries( line ) )
            {
                absl::StrAppend( &text, " corner ", names.at( corner.id() ) );
            }
        }
        for( const auto& surface : section.surfaces() )
        {
            const auto& mesh = surface.mesh();
            absl::StrAppend( &text, "\nsurface" );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                absl::StrAppend(
                    &text,
                    vertex_text( surface.component_id(), mesh.point( v ), v ) );
            }
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                absl::StrAppend( &text, " (" );
                for( const auto v : mesh.polygon_vertices( p ) )
                {
                    absl::StrAppend( &text, " ", v );
                }
                absl::StrAppend( &text, ")" );
            }
            for( const auto& line : section.boundaries( surface ) )
            {
                absl::StrAppend( &text, " boundary ", names.at( line.id() ) );
            }
            for( const auto& line : section.internal_lines( surface ) )
            {
                absl::StrAppend( &text, " internal ", names.at( line.id() ) );
            }
        }
        for( const auto& boundary : section.model_boundaries() )
        {
            absl::StrAppend( &text, "\nmodel boundary" );
            for( const auto& line : section.items( boundary ) )
            {
                absl::StrAppend( &text, " ", names.at( line.id() ) );
            }
        }
        return text;
    }

    /// The lines of the first model boundary, by creation rank.
    std::vector< index_t > model_boundary_lines( const Section& section )
    {
        absl::flat_hash_map< uuid, index_t > rank;
        index_t r{ 0 };
        for( const auto& line : section.lines() )
        {
            rank[line.id()] = r++;
        }
        std::vector< index_t > lines;
        for( const auto& line :
             section.items( *section.model_boundaries().begin() ) )
        {
            lines.push_back( rank.at( line.id() ) );
        }
        return lines;
    }

    std::unique_ptr< SurfaceMesh< 2 > > triangle( double dx = 0 )
    {
        return test::surface_of< 2 >( { Point< 2 >{ { dx, 0 } },
                                        Point< 2 >{ { dx + 1, 0 } },
                                        Point< 2 >{ { dx, 1 } } },
                                      { { 0, 1, 2 } } );
    }

    template < typename T >
    void set_regions( SurfaceMesh< 2 >& mesh, const std::vector< T >& values )
    {
        test::set_values( mesh.polygon_attribute_manager(), "region", values );
    }

    using SectionConversion = test::ConversionTest;

    // ---- one mesh -------------------------------------------------------

    TEST_F( SectionConversion, empty_mesh_gives_an_empty_model_boundary )
    {
        const auto mesh = test::surface_of< 2 >( {}, {} );
        const auto section = convert_surface_into_section( *mesh );
        EXPECT_EQ( section.nb_corners() + section.nb_lines() +
                       section.nb_surfaces(),
                   0u );
        ASSERT_EQ( section.nb_model_boundaries(), 1u );
        EXPECT_TRUE( model_boundary_lines( section ).empty() );
    }

    TEST_F( SectionConversion, outer_lines_form_the_model_boundary )
    {
        // One region: its one loop. Two regions: the two outer lines, not
        // the shared one (rank 1: from the first corner the lines leave
        // along the first triangle's edges in order).
        const auto joined = test::two_triangles_2d( true );
        const auto one = convert_surface_into_section( *joined );
        EXPECT_EQ( model_boundary_lines( one ),
                   ( std::vector< index_t >{ 0 } ) );
        EXPECT_TRUE( test::check_section_consistency( one ) );

        const auto apart = test::two_triangles_2d( false );
        const auto two = convert_surface_into_section( *apart );
        ASSERT_EQ( two.nb_lines(), 3u );
        EXPECT_EQ( two.nb_incidences( std::next( two.lines().begin() )->id() ),
                   2u );
        EXPECT_EQ( model_boundary_lines( two ),
                   ( std::vector< index_t >{ 0, 2 } ) );
        EXPECT_TRUE( test::check_section_consistency( two ) );
    }

    TEST_F( SectionConversion, coincident_regions_leave_the_boundary_empty )
    {
        // The same triangle twice, not joined: every line bounds both.
        const auto mesh = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                   Point< 2 >{ { 1, 0 } },
                                                   Point< 2 >{ { 0, 1 } } },
                                                 { { 0, 1, 2 }, { 0, 1, 2 } },
                                                 false );
        const auto section = convert_surface_into_section( *mesh );
        EXPECT_EQ( section.nb_surfaces(), 2u );
        ASSERT_EQ( section.nb_model_boundaries(), 1u );
        EXPECT_TRUE( model_boundary_lines( section ).empty() );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( SectionConversion, slit_is_cut_open_and_stays_inside )
    {
        const auto mesh = test::grid_with_slit_2d();
        const auto section = convert_surface_into_section( *mesh );
        ASSERT_EQ( section.nb_surfaces(), 1u );
        const auto& surface = *section.surfaces().begin();
        ASSERT_EQ( section.nb_internals( surface.id() ), 1u );
        // The slit's middle vertex (2, 2) is doubled, its tips are not.
        EXPECT_EQ( surface.mesh().nb_vertices(), 26u );
        EXPECT_EQ( section.nb_lines(), 2u );
        EXPECT_EQ( model_boundary_lines( section ).size(), 1u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( SectionConversion, regions_touching_at_a_vertex_meet_at_a_corner )
    {
        const auto mesh = test::bowtie_2d();
        const auto section = convert_surface_into_section( *mesh );
        EXPECT_EQ( section.nb_corners(), 1u );
        EXPECT_EQ( section.nb_lines(), 2u );
        EXPECT_EQ( section.nb_surfaces(), 2u );
        EXPECT_EQ( model_boundary_lines( section ),
                   ( std::vector< index_t >{ 0, 1 } ) );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( SectionConversion, forced_corner_ends_the_lines )
    {
        const auto mesh = triangle();
        Section section;
        {
            detail::SectionFromSurfaceBuilder builder{ section, *mesh };
            builder.build_wireframe_step();
            // Wireframe vertex 1 is input vertex 1, at (1, 0).
            ASSERT_EQ( builder.wireframe().vertex_id( 1 ), 1u );
            builder.add_wireframe_corner( 1 );
            test::expect_exact_error(
                [&builder] { builder.add_wireframe_corner( 3 ); },
                "[SectionFromSurfaceBuilder::add_wireframe_corner] Wireframe "
                "vertex 3 is out of range [0, 3)" );
            builder.build_section_components_step();
            builder.cut_surfaces_by_lines_step();
        }
        ASSERT_EQ( section.nb_corners(), 1u );
        EXPECT_EQ( section.corners().begin()->mesh().point( 0 ),
                   ( Point< 2 >{ { 1, 0 } } ) );
        ASSERT_EQ( section.nb_lines(), 1u );
        EXPECT_EQ( section.nb_boundaries( section.lines().begin()->id() ), 1u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( SectionConversion, steps_out_of_order_or_twice_are_refused )
    {
        const auto mesh = test::two_triangles_2d( false );
        Section section;
        {
            using Builder = detail::SectionFromSurfaceBuilder;
            Builder builder{ section, *mesh };
            const auto refused =
                [&builder]( void ( *step )( Builder& ), const char* message )
            {
                test::expect_exact_error(
                    [&] { step( builder ); },
                    absl::StrCat( "[SectionFromSurfaceBuilder::", message ) );
            };
            const auto wireframe = []( Builder& b )
            { b.build_wireframe_step(); };
            // Wireframe vertex 1, input vertex 1, is a corner anyway.
            const auto corner = []( Builder& b )
            { b.add_wireframe_corner( 1 ); };
            const auto components = []( Builder& b )
            { b.build_section_components_step(); };
            const auto cut = []( Builder& b )
            { b.cut_surfaces_by_lines_step(); };
            const auto build = []( Builder& b ) { b.build(); };
            refused( corner,
                     "add_wireframe_corner] The wireframe is not built: run "
                     "build_wireframe_step() first" );
            refused( components,
                     "build_section_components_step] The wireframe is not "
                     "built: run build_wireframe_step() first" );
            refused( cut,
                     "cut_surfaces_by_lines_step] The section components are "
                     "not built: run build_section_components_step() first" );
            builder.build_wireframe_step();
            refused( wireframe,
                     "build_wireframe_step] The wireframe is built already" );
            refused( build, "build] The wireframe is built already" );
            refused( cut,
                     "cut_surfaces_by_lines_step] The section components are "
                     "not built: run build_section_components_step() first" );
            builder.add_wireframe_corner( 1 );
            refused( corner,
                     "add_wireframe_corner] Wireframe vertex 1 has a corner "
                     "already" );
            builder.build_section_components_step();
            refused( corner,
                     "add_wireframe_corner] The section components are "
                     "built already" );
            refused( components,
                     "build_section_components_step] The section components "
                     "are built already" );
            builder.cut_surfaces_by_lines_step();
            refused( cut,
                     "cut_surfaces_by_lines_step] The surfaces are cut "
                     "already" );
        }
        // As one build(): the refused steps added nothing.
        EXPECT_EQ( signature( section ),
                   signature( convert_surface_into_section( *mesh ) ) );
        EXPECT_TRUE( test::check_section_consistency( section ) );

        Section several;
        detail::SectionFromSurfacesBuilder builder{ several, Meshes{ *mesh } };
        builder.build();
        test::expect_exact_error(
            [&builder] { builder.build(); },
            "[SectionFromSurfacesBuilder::build] The section is built "
            "already" );
        EXPECT_EQ( several.nb_surfaces(), 1u );
        EXPECT_TRUE( test::check_section_consistency( several ) );
    }

    TEST_F( SectionConversion, surface_meshes_carry_the_caller_attributes )
    {
        auto mesh = test::two_triangles_2d( false );
        set_regions< index_t >( *mesh, { 7, 9 } );
        test::set_values( mesh->polygon_attribute_manager(),
                          "flag",
                          std::vector< bool >{ false, true } );
        const auto section = convert_surface_into_section( *mesh );
        std::vector< index_t > values;
        std::vector< bool > flags;
        for( const auto& surface : section.surfaces() )
        {
            const auto& polygons = surface.mesh().polygon_attribute_manager();
            values.push_back(
                polygons.find_attribute< index_t >( "region" )->value( 0 ) );
            flags.push_back(
                polygons.find_attribute< bool >( "flag" )->value( 0 ) );
        }
        EXPECT_EQ( values, ( std::vector< index_t >{ 7, 9 } ) );
        EXPECT_EQ( flags, ( std::vector< bool >{ false, true } ) );
        // The conversion's own attributes stay on the caller's mesh.
        EXPECT_EQ(
            mesh->polygon_attribute_manager().attribute_names(),
            ( std::vector< std::string >{
                "flag", "region", "surface_identifier", "surface_uuid" } ) );
    }

    TEST_F( SectionConversion, converting_again_gives_the_same_section )
    {
        const auto mesh = test::grid_with_slit_2d();
        test::cut_adjacencies< 2 >( *mesh,
                                    []( index_t p ) { return p / 8 % 2; } );
        const auto first = convert_surface_into_section( *mesh );
        const auto second = convert_surface_into_section( *mesh );
        EXPECT_EQ( signature( second ), signature( first ) );
        EXPECT_TRUE( test::check_section_consistency( second ) );
    }

    // ---- several meshes -------------------------------------------------

    TEST_F( SectionConversion, each_mesh_becomes_one_surface )
    {
        const auto mesh = test::two_triangles_2d( true );
        const auto section = convert_surfaces_into_section( Meshes{ *mesh } );
        ASSERT_EQ( section.nb_surfaces(), 1u );
        ASSERT_EQ( section.nb_lines(), 1u );
        EXPECT_EQ( section.nb_incidences( section.lines().begin()->id() ), 1u );
        EXPECT_EQ( section.nb_model_boundaries(), 0u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
        EXPECT_EQ( convert_surfaces_into_section( Meshes{} ).nb_surfaces(),
                   0u );
        // Meshes without polygons add nothing, not even their points.
        const auto empty = test::surface_of< 2 >( {}, {} );
        const auto points_only = test::surface_of< 2 >(
            { Point< 2 >{ { 5, 5 } }, Point< 2 >{ { 6, 5 } } }, {} );
        const auto skipped = convert_surfaces_into_section(
            Meshes{ *empty, *mesh, *points_only } );
        EXPECT_EQ( signature( skipped ), signature( section ) );
    }

    TEST_F( SectionConversion, meshes_join_only_within_the_tolerance )
    {
        // Triangles sharing the edge (1, 0)-(0, 1) up to a shift.
        const auto lower = triangle();
        const auto upper_at = [&]( double shift )
        {
            return test::surface_of< 2 >( { Point< 2 >{ { 1 + shift, 0 } },
                                            Point< 2 >{ { 1 + shift, 1 } },
                                            Point< 2 >{ { shift, 1 } } },
                                          { { 0, 1, 2 } } );
        };
        const auto near = upper_at( 5e-7 );
        const auto joined =
            convert_surfaces_into_section( Meshes{ *lower, *near } );
        EXPECT_EQ( joined.nb_unique_vertices(), 4u );
        EXPECT_EQ( joined.nb_corners(), 2u );
        ASSERT_EQ( joined.nb_lines(), 3u );
        index_t nb_shared{ 0 };
        for( const auto& line : joined.lines() )
        {
            nb_shared += joined.nb_incidences( line.id() ) == 2;
        }
        EXPECT_EQ( nb_shared, 1u );
        EXPECT_TRUE( test::check_section_consistency( joined ) );

        const auto far = upper_at( 2e-6 );
        const auto apart =
            convert_surfaces_into_section( Meshes{ *lower, *far } );
        EXPECT_EQ( apart.nb_unique_vertices(), 6u );
        EXPECT_EQ( apart.nb_corners(), 0u );
        EXPECT_EQ( apart.nb_lines(), 2u );
        EXPECT_TRUE( test::check_section_consistency( apart ) );
    }

    TEST_F( SectionConversion, slit_in_one_mesh_is_an_internal_line )
    {
        const auto mesh = test::grid_with_slit_2d();
        const auto before = test::polygon_adjacencies( *mesh );
        const auto section = convert_surfaces_into_section( Meshes{ *mesh } );
        ASSERT_EQ( section.nb_surfaces(), 1u );
        EXPECT_EQ( section.nb_internals( section.surfaces().begin()->id() ),
                   1u );
        EXPECT_EQ( section.nb_lines(), 2u );
        EXPECT_TRUE( test::check_section_consistency( section ) );
        // The inputs are only read.
        EXPECT_EQ( test::polygon_adjacencies( *mesh ), before );
        EXPECT_TRUE(
            mesh->polygon_attribute_manager().attribute_names().empty() );
    }

    TEST_F( SectionConversion, surfaces_are_copies_of_the_meshes )
    {
        auto mesh = test::two_triangles_2d( true );
        set_regions< double >( *mesh, { 0.5, 1.5 } );
        const auto section = convert_surfaces_into_section( Meshes{ *mesh } );
        const auto& surface_mesh = section.surfaces().begin()->mesh();
        ASSERT_EQ( surface_mesh.nb_polygons(), 2u );
        EXPECT_EQ( surface_mesh.polygon_vertices( 1 ),
                   mesh->polygon_vertices( 1 ) );
        EXPECT_EQ( surface_mesh.polygon_attribute_manager()
                       .find_attribute< double >( "region" )
                       ->value( 1 ),
                   1.5 );
    }

    TEST_F( SectionConversion, several_meshes_need_a_section_without_vertices )
    {
        const auto mesh = triangle();
        Section section;
        SectionBuilder{ section }.create_unique_vertices( 1 );
        test::expect_error(
            [&] {
                detail::SectionFromSurfacesBuilder{ section, Meshes{ *mesh } }
                    .build();
            },
            "[SectionFromSurfacesBuilder::build] The section to build must "
            "have no unique vertex (it has 1)" );
        EXPECT_EQ( section.nb_surfaces(), 0u );
    }

    TEST_F( SectionConversion, border_edge_along_two_lines_is_refused )
    {
        // A triangle over unique vertices 0, 1, 2 and two lines that both
        // join unique vertices 0 and 1.
        Section section;
        SectionBuilder builder{ section };
        builder.create_unique_vertices( 3 );
        const uuid surface_id = builder.add_surface();
        builder.update_surface_mesh( section.surface( surface_id ),
                                     triangle() );
        for( index_t v = 0; v < 3; v++ )
        {
            builder.set_unique_vertex(
                { section.surface( surface_id ).component_id(), v }, v );
        }
        for( index_t k = 0; k < 2; k++ )
        {
            const uuid line_id = builder.add_line();
            auto line_builder = builder.line_mesh_builder( line_id );
            line_builder->create_point( Point< 2 >{ { 0, 0 } } );
            line_builder->create_point( Point< 2 >{ { 1, 0 } } );
            line_builder->create_edge( 0, 1 );
            for( index_t v = 0; v < 2; v++ )
            {
                builder.set_unique_vertex(
                    { section.line( line_id ).component_id(), v }, v );
            }
        }
        test::expect_error(
            [&]
            {
                detail::find_surface_lines_relations(
                    section, section.surface( surface_id ) );
            },
            "[SectionFromSurfaces::find_surface_lines_relations] Found "
            "multiple lines linked by unique vertices to edge (0, 0) of "
            "surface with uuid " +
                surface_id.string() );
    }

    // ---- messy input ----------------------------------------------------

    /// two_triangles_2d(true) as one mesh named `name`, with `extra`
    /// polygons over its points and a fifth point at `fifth`.
    std::unique_ptr< SurfaceMesh< 2 > >
    square_with( const std::vector< std::vector< index_t > >& extra,
                 const Point< 2 >& fifth,
                 absl::string_view name = "square" )
    {
        std::vector< std::vector< index_t > > polygons{ { 0, 1, 2 },
                                                        { 1, 3, 2 } };
        polygons.insert( polygons.end(), extra.begin(), extra.end() );
        return test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                        Point< 2 >{ { 1, 0 } },
                                        Point< 2 >{ { 0, 1 } },
                                        Point< 2 >{ { 1, 1 } },
                                        fifth },
                                      polygons,
                                      true,
                                      name );
    }

    TEST_F( SectionConversion, non_finite_points_are_refused_first )
    {
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        auto mesh = square_with( {}, Point< 2 >{ { 2, 2 } } );
        SurfaceMeshBuilder< 2 >::create( *mesh )->set_point(
            3, Point< 2 >{ { 1, nan } } );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *mesh ); },
            "[SectionFromSurfaceBuilder] Vertex 3 of mesh 'square' has a "
            "non-finite coordinate" );
        // Refused before anything was written on the mesh.
        EXPECT_TRUE(
            mesh->polygon_attribute_manager().attribute_names().empty() );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *mesh } ); },
            "[SectionFromSurfacesBuilder] Vertex 3 of mesh 'square' has a "
            "non-finite coordinate" );

        // A point that no polygon uses reaches the model only with a copy
        // of the whole mesh; an unnamed mesh is named by its uuid.
        const auto unused = square_with(
            {},
            Point< 2 >{ { std::numeric_limits< double >::infinity(), 0 } },
            "" );
        EXPECT_TRUE( test::check_section_consistency(
            convert_surface_into_section( *unused ) ) );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *unused } ); },
            absl::StrCat( "[SectionFromSurfacesBuilder] Vertex 4 of mesh '",
                          unused->id().string(),
                          "' has a non-finite coordinate" ) );
    }

    TEST_F( SectionConversion, edges_of_no_length_are_refused )
    {
        const auto repeated = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                       Point< 2 >{ { 1, 0 } },
                                                       Point< 2 >{ { 1, 1 } } },
                                                     { { 0, 1, 1, 2 } },
                                                     true,
                                                     "quad" );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *repeated ); },
            "[SectionFromSurfaceBuilder] Polygon 0 of mesh 'quad' repeats "
            "vertex 1 in a row" );
        // Vertices 1 and 2 are distinct but at one point: on one mesh as
        // on several.
        const auto colocated =
            test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                     Point< 2 >{ { 1, 0 } },
                                     Point< 2 >{ { 1, 0 } },
                                     Point< 2 >{ { 1, 1 } } },
                                   { { 0, 1, 2, 3 } },
                                   true,
                                   "quad" );
        const std::string joined =
            "Polygon 0 of mesh 'quad' joins vertices 1 and 2 in a row, which ";
        test::expect_exact_error(
            [&] { convert_surface_into_section( *colocated ); },
            "[SectionFromSurfaceBuilder] " + joined + "lie at one point" );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *colocated } ); },
            "[SectionFromSurfacesBuilder] " + joined + "merge into one" );
        // Short is not of no length: a nanometre square stays whole.
        const auto tiny = test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                                   Point< 2 >{ { 1e-9, 0 } },
                                                   Point< 2 >{ { 1e-9, 1e-9 } },
                                                   Point< 2 >{ { 0, 1e-9 } } },
                                                 { { 0, 1, 2, 3 } } );
        EXPECT_TRUE( test::check_section_consistency(
            convert_surface_into_section( *tiny ) ) );
        // Nor is an edge short beside the extent of the mesh: a square of
        // side `side` with a sliver triangle of edge 1-4 `edge` long, too
        // far apart to merge.
        const auto sliver = []( double side, double edge )
        {
            return test::surface_of< 2 >(
                { Point< 2 >{ { 0, 0 } },
                  Point< 2 >{ { side, 0 } },
                  Point< 2 >{ { side, side } },
                  Point< 2 >{ { 0, side } },
                  Point< 2 >{ { side, edge } } },
                { { 0, 1, 4 }, { 0, 4, 2 }, { 0, 2, 3 } } );
        };
        const auto counts = []( const Section& section )
        {
            EXPECT_TRUE( test::check_section_consistency( section ) );
            return std::make_tuple( section.nb_corners(),
                                    section.nb_lines(),
                                    section.nb_surfaces() );
        };
        for( const auto& size : { std::make_pair( 1e4, 1e-5 ),
                                  std::make_pair( 1e6, 1e-4 ),
                                  std::make_pair( 1e6, 1e-5 ) } )
        {
            SCOPED_TRACE( absl::StrCat( size.first, " ", size.second ) );
            const auto several = counts( convert_surfaces_into_section(
                Meshes{ *sliver( size.first, size.second ) } ) );
            EXPECT_EQ( std::get< 2 >( several ), 1u );
            EXPECT_EQ( counts( convert_surface_into_section(
                           *sliver( size.first, size.second ) ) ),
                       several );
            auto by_attribute = sliver( size.first, size.second );
            set_regions< int >( *by_attribute, { 7, 7, 7 } );
            EXPECT_EQ( counts( convert_surface_into_section_from_attribute(
                           *by_attribute, "region" ) ),
                       several );
        }
        // Nor at the far end of the coordinates taken: the split square
        // scaled by 1e40 gives what it gives at scale 1.
        const auto scaled = [&]( double scale )
        {
            auto mesh = test::two_triangles_2d( false );
            auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
            for( index_t v = 0; v < mesh->nb_vertices(); v++ )
            {
                builder->set_point(
                    v,
                    Point< 2 >{ { scale * mesh->point( v ).value( 0 ),
                                  scale * mesh->point( v ).value( 1 ) } } );
            }
            return counts( convert_surface_into_section( *mesh ) );
        };
        EXPECT_EQ( scaled( 1e40 ), scaled( 1 ) );
        // Vertices 1 and 4 merge: the edge between them has no length.
        const auto merging =
            square_with( { { 1, 4, 3 } }, Point< 2 >{ { 1, 1e-7 } } );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *merging } ); },
            "[SectionFromSurfacesBuilder] Polygon 2 of mesh 'square' joins "
            "vertices 1 and 4 in a row, which merge into one" );
    }

    TEST_F( SectionConversion, polygons_over_one_edge_are_refused )
    {
        // A third triangle on the diagonal (1, 0)-(0, 1), where polygons 0
        // and 1 are joined: it overlaps them.
        const auto fin = square_with( { { 2, 1, 4 } }, Point< 2 >{ { 2, 2 } } );
        const std::string overlap =
            "Polygon 2 of mesh 'square' shares its edge 0 with more than "
            "one other polygon";
        test::expect_exact_error( [&] { convert_surface_into_section( *fin ); },
                                  "[SectionFromSurfaceBuilder] " + overlap );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *fin } ); },
            "[SectionFromSurfacesBuilder] " + overlap );
        // Three triangles on edge 1-3, which comes after the shared edge
        // 1-2 among the edges of vertex 1: the last of them overlaps.
        const auto later = test::surface_of< 2 >(
            { Point< 2 >{ { 0, 0 } },
              Point< 2 >{ { 1, 0 } },
              Point< 2 >{ { 0, 1 } },
              Point< 2 >{ { 1, 1 } },
              Point< 2 >{ { 2, 0.4 } },
              Point< 2 >{ { 2, 0.6 } } },
            { { 0, 1, 2 }, { 1, 3, 2 }, { 1, 5, 3 }, { 1, 4, 3 } },
            true,
            "square" );
        const std::string third =
            "Polygon 3 of mesh 'square' shares its edge 2 with more than "
            "one other polygon";
        test::expect_exact_error( [&]
                                  { convert_surface_into_section( *later ); },
                                  "[SectionFromSurfaceBuilder] " + third );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *later } ); },
            "[SectionFromSurfacesBuilder] " + third );
        // The same once vertices merge: vertex 4 lies on vertex 1.
        const auto merging =
            square_with( { { 2, 4, 3 } }, Point< 2 >{ { 1, 1e-7 } } );
        EXPECT_TRUE( test::check_section_consistency(
            convert_surface_into_section( *merging ) ) );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *merging } ); },
            "[SectionFromSurfacesBuilder] " + overlap );

        // Polygon 0 runs twice along the diagonal, both times joined to
        // polygon 1, which answers once; with one unanswered adjacency
        // besides, as many adjacencies are stored as twice those answered.
        auto doubled =
            test::surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                     Point< 2 >{ { 1, 0 } },
                                     Point< 2 >{ { 0, 1 } },
                                     Point< 2 >{ { 1, 1 } },
                                     Point< 2 >{ { 0.5, 0.25 } } },
                                   { { 0, 1, 2, 4, 1, 2 }, { 1, 3, 2 } },
                                   false,
                                   "square" );
        {
            auto builder = SurfaceMeshBuilder< 2 >::create( *doubled );
            builder->set_polygon_adjacent( { 0, 1 }, 1 );
            builder->set_polygon_adjacent( { 0, 4 }, 1 );
            builder->set_polygon_adjacent( { 1, 2 }, 0 );
            builder->set_polygon_adjacent( { 1, 0 }, 0 );
        }
        test::expect_exact_error(
            [&] { convert_surface_into_section( *doubled ); },
            "[SectionFromSurfaceBuilder] Polygon 0 of mesh 'square' runs "
            "twice along one edge: its edges 1 and 4 join the same two "
            "vertices" );
    }

    TEST_F( SectionConversion, unanswered_adjacencies_are_refused )
    {
        const auto message = []( index_t edge, index_t polygon )
        {
            return absl::StrCat( "[SectionFromSurfaceBuilder] Edge ",
                                 edge,
                                 " of polygon ",
                                 polygon,
                                 " of mesh 'square' is adjacent to polygon ",
                                 1 - polygon,
                                 ", which is not adjacent back across it" );
        };
        auto one_sided = square_with( {}, Point< 2 >{ { 2, 2 } } );
        SurfaceMeshBuilder< 2 >::create( *one_sided )
            ->unset_polygon_adjacent( { 0, 1 } );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *one_sided ); },
            message( 2, 1 ) );
        // Polygon 1 stored across an edge that it does not have.
        auto stale = square_with( {}, Point< 2 >{ { 2, 2 } } );
        SurfaceMeshBuilder< 2 >::create( *stale )->set_polygon_adjacent(
            { 0, 0 }, 1 );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *stale ); }, message( 0, 0 ) );
        test::expect_exact_error(
            [&] { convert_surfaces_into_section( Meshes{ *stale } ); },
            absl::StrCat(
                "[SectionFromSurfacesBuilder]",
                message( 0, 0 ).substr(
                    std::string{ "[SectionFromSurfaceBuilder]" }.size() ) ) );
        auto own = square_with( {}, Point< 2 >{ { 2, 2 } } );
        SurfaceMeshBuilder< 2 >::create( *own )->set_polygon_adjacent( { 1, 0 },
                                                                       1 );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *own ); },
            "[SectionFromSurfaceBuilder] Edge 0 of polygon 1 of mesh "
            "'square' is adjacent to its own polygon" );
        // The last polygon of a mesh counted in more than one chunk, cut
        // off but for one adjacency that is not stored back.
        auto large = test::grid_sheet_2d( 46, 46 );
        const auto last = large->nb_polygons() - 1;
        ASSERT_GT( last, 4096u );
        test::cut_adjacencies< 2 >(
            *large, [last]( index_t p ) { return p == last ? 1 : 0; } );
        SurfaceMeshBuilder< 2 >::create( *large )->set_polygon_adjacent(
            { last, 0 }, last - 1 );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *large ); },
            absl::StrCat( "[SectionFromSurfaceBuilder] Edge 0 of polygon ",
                          last,
                          " of mesh '",
                          large->id().string(),
                          "' is adjacent to polygon ",
                          last - 1,
                          ", which is not adjacent back across it" ) );
        // The same over an odd number of polygons, 65 x 65 squares, which
        // the two counting chunks share unevenly.
        std::vector< Point< 2 > > points;
        for( index_t y = 0; y <= 65; y++ )
        {
            for( index_t x = 0; x <= 65; x++ )
            {
                points.push_back( Point< 2 >{ { double( x ), double( y ) } } );
            }
        }
        std::vector< std::vector< index_t > > squares;
        for( index_t y = 0; y < 65; y++ )
        {
            for( index_t x = 0; x < 65; x++ )
            {
                const auto v = y * 66 + x;
                squares.push_back( { v, v + 1, v + 67, v + 66 } );
            }
        }
        auto odd = test::surface_of< 2 >( points, squares, true, "odd" );
        const auto odd_last = odd->nb_polygons() - 1;
        ASSERT_EQ( odd_last % 2, 0u );
        ASSERT_GT( odd_last, 4096u );
        test::cut_adjacencies< 2 >(
            *odd, [odd_last]( index_t p ) { return p == odd_last ? 1 : 0; } );
        SurfaceMeshBuilder< 2 >::create( *odd )->set_polygon_adjacent(
            { odd_last, 0 }, odd_last - 1 );
        test::expect_exact_error(
            [&] { convert_surface_into_section( *odd ); },
            absl::StrCat( "[SectionFromSurfaceBuilder] Edge 0 of polygon ",
                          odd_last,
                          " of mesh 'odd' is adjacent to polygon ",
                          odd_last - 1,
                          ", which is not adjacent back across it" ) );
    }

    // ---- regions by attribute -------------------------------------------

    TEST_F( SectionConversion, missing_attribute_leaves_the_mesh_unchanged )
    {
        auto mesh = test::two_triangles_2d( true );
        const auto before = test::polygon_adjacencies( *mesh );
        test::expect_error(
            [&]
            { convert_surface_into_section_from_attribute( *mesh, "none" ); },
            "[convert_surface_into_section_from_attribute] Attribute not "
            "found." );
        EXPECT_EQ( test::polygon_adjacencies( *mesh ), before );
        EXPECT_TRUE(
            mesh->polygon_attribute_manager().attribute_names().empty() );
    }

    // The conversion writes "surface_identifier" (unsigned int) and
    // "surface_uuid" (uuid) on the polygons: a caller's attribute of another
    // type under either name is refused before any adjacency is removed.
    TEST_F( SectionConversion, attribute_names_of_the_conversion_are_checked )
    {
        const auto refused =
            [&]( const std::function< void( AttributeManager& ) >& add,
                 const std::string& name )
        {
            auto mesh = test::two_triangles_2d( true );
            set_regions< int >( *mesh, { 1, 2 } );
            add( mesh->polygon_attribute_manager() );
            const auto before = test::polygon_adjacencies( *mesh );
            test::expect_exact_error(
                [&] {
                    convert_surface_into_section_from_attribute( *mesh,
                                                                 "region" );
                },
                absl::StrCat( "[convert_surface_into_section_from_attribute] "
                              "Polygon attribute \"",
                              name,
                              "\" of the mesh has another type than the one "
                              "the conversion writes under that name" ) );
            EXPECT_EQ( test::polygon_adjacencies( *mesh ), before ) << name;
            // The plain conversion refuses before it writes either name.
            test::expect_exact_error(
                [&] { convert_surface_into_section( *mesh ); },
                absl::StrCat( "[SectionFromSurfaceBuilder] Polygon attribute "
                              "\"",
                              name,
                              "\" of the mesh has another type than the one "
                              "the conversion writes under that name" ) );
            EXPECT_EQ( mesh->polygon_attribute_manager().attribute_names(),
                       ( std::vector< std::string >{ "region", name } ) );
        };
        refused(
            []( AttributeManager& polygons )
            {
                polygons.find_or_create_attribute< VariableAttribute, double >(
                    "surface_identifier", 0. );
            },
            "surface_identifier" );
        refused(
            []( AttributeManager& polygons )
            {
                polygons.find_or_create_attribute< SparseAttribute, uuid >(
                    "surface_uuid", uuid{} );
            },
            "surface_uuid" );

        // The same type is the conversion's own: taken over.
        auto mesh = test::two_triangles_2d( true );
        set_regions< int >( *mesh, { 1, 2 } );
        mesh->polygon_attribute_manager()
            .find_or_create_attribute< VariableAttribute, index_t >(
                "surface_identifier", 0 );
        EXPECT_EQ(
            convert_surface_into_section_from_attribute( *mesh, "region" )
                .nb_surfaces(),
            2u );
    }

    TEST_F( SectionConversion, region_values_are_compared_exactly )
    {
        // One float, two integers.
        auto integers = test::two_triangles_2d( true );
        set_regions< index_t >( *integers, { 16777216, 16777217 } );
        EXPECT_EQ(
            convert_surface_into_section_from_attribute( *integers, "region" )
                .nb_surfaces(),
            2u );

        auto zeros = test::two_triangles_2d( true );
        set_regions< double >( *zeros, { 0.0, -0.0 } );
        EXPECT_EQ(
            convert_surface_into_section_from_attribute( *zeros, "region" )
                .nb_surfaces(),
            1u );

        // Equal as floats, distinct in their own type.
        auto extended = test::two_triangles_2d( true );
        set_regions< long double >( *extended, { 1.0L, 1.0L + 1e-12L } );
        EXPECT_EQ(
            convert_surface_into_section_from_attribute( *extended, "region" )
                .nb_surfaces(),
            2u );

        auto flags = test::two_triangles_2d( true );
        set_regions< bool >( *flags, { true, false } );
        EXPECT_EQ(
            convert_surface_into_section_from_attribute( *flags, "region" )
                .nb_surfaces(),
            2u );
    }

    TEST_F( SectionConversion, nan_region_value_stands_alone )
    {
        // 2 x 2 cells; polygon 7 (inside the top right cell) is NaN, the
        // others alike and joined without it.
        auto mesh = test::grid_sheet_2d( 2, 2 );
        std::vector< double > values( 8, 1.0 );
        values[7] = std::numeric_limits< double >::quiet_NaN();
        set_regions( *mesh, values );
        test::LogCapture log;
        const auto section =
            convert_surface_into_section_from_attribute( *mesh, "region" );
        EXPECT_EQ(
            log.count( Logger::Level::trace,
                       "Converting Surface into Section from attribute" ),
            1u );
        ASSERT_EQ( section.nb_surfaces(), 2u );
        EXPECT_EQ(
            std::next( section.surfaces().begin() )->mesh().nb_polygons(), 1u );
        for( local_index_t e = 0; e < 3; e++ )
        {
            EXPECT_FALSE( mesh->polygon_adjacent( { 7, e } ) );
        }
        EXPECT_TRUE( test::check_section_consistency( section ) );
    }

    TEST_F( SectionConversion, same_input_same_section_whatever_the_threads )
    {
        const auto make = []
        {
            return test::triangulated_grid(
                test::graded_axis( { 0, 1, 2, 3 }, 4, 1.3 ),
                test::graded_axis( { 0, 1, 2 }, 3, 1.0 ),
                []( const Point< 2 >& center ) -> index_t
                {
                    return static_cast< index_t >( center.value( 0 ) ) +
                           3 * static_cast< index_t >( center.value( 1 ) );
                } );
        };
        auto mesh = make();
        const auto reference = signature(
            convert_surface_into_section_from_attribute( *mesh, "region" ) );
        for( const unsigned int threads : { 1u, 2u, 8u } )
        {
            const detail::ThreadLimit limit{ threads };
            auto again = make();
            EXPECT_EQ( signature( convert_surface_into_section_from_attribute(
                           *again, "region" ) ),
                       reference )
                << threads << " threads";
        }
    }

    // ---- shapes -----------------------------------------------------------

    struct Density
    {
        index_t cells;
        double ratio;
    };

    class SectionShapes
        : public test::WithConversion< ::testing::TestWithParam< Density > >
    {
      protected:
        std::vector< double > axis( const std::vector< double >& breaks ) const
        {
            return test::graded_axis(
                breaks, GetParam().cells, GetParam().ratio );
        }

        /// The shape over [0, 3] x [0, height], each cell in the region
        /// given.
        std::unique_ptr< SurfaceMesh< 2 > >
        shape( double height, const test::CellRegion& region ) const
        {
            std::vector< double > ys{ 0 };
            for( index_t y = 1; y <= height; y++ )
            {
                ys.push_back( y );
            }
            return test::triangulated_grid(
                axis( { 0, 1, 2, 3 } ), axis( ys ), region );
        }

        /// The mesh of one region of the shape.
        std::unique_ptr< SurfaceMesh< 2 > > shape_part(
            double height, const test::CellRegion& region, index_t part ) const
        {
            return shape( height,
                          [&]( const Point< 2 >& center ) {
                              return region( center ) == part ? part
                                                              : test::NO_CELL;
                          } );
        }

        static void expect_counts( const Section& section,
                                   index_t corners,
                                   index_t lines,
                                   index_t surfaces,
                                   double area )
        {
            EXPECT_EQ( section.nb_corners(), corners );
            EXPECT_EQ( section.nb_lines(), lines );
            EXPECT_EQ( section.nb_surfaces(), surfaces );
            double total{ 0 };
            for( const auto& surface : section.surfaces() )
            {
                for( index_t p = 0; p < surface.mesh().nb_polygons(); p++ )
                {
                    total += surface.mesh().polygon_area( p );
                }
            }
            EXPECT_NEAR( total, area, 1e-9 * area );
            EXPECT_TRUE( test::check_section_consistency( section ) );
        }
    };

    bool inside_middle( const Point< 2 >& center )
    {
        return center.value( 0 ) > 1 && center.value( 0 ) < 2 &&
               center.value( 1 ) > 1 && center.value( 1 ) < 2;
    }

    TEST_P( SectionShapes, square_with_a_hole )
    {
        const auto region = []( const Point< 2 >& center )
        { return inside_middle( center ) ? test::NO_CELL : 0u; };
        auto mesh = shape( 3, region );
        const auto section =
            convert_surface_into_section_from_attribute( *mesh, "region" );
        expect_counts( section, 0, 2, 1, 8 );
        EXPECT_EQ( model_boundary_lines( section ).size(), 2u );
        const auto from_meshes =
            convert_surfaces_into_section( Meshes{ *shape( 3, region ) } );
        expect_counts( from_meshes, 0, 2, 1, 8 );
    }

    TEST_P( SectionShapes, three_rectangles_in_a_row )
    {
        const auto region = []( const Point< 2 >& center )
        { return static_cast< index_t >( center.value( 0 ) ); };
        auto mesh = shape( 1, region );
        const auto section =
            convert_surface_into_section_from_attribute( *mesh, "region" );
        expect_counts( section, 4, 6, 3, 3 );
        EXPECT_EQ( model_boundary_lines( section ).size(), 4u );
        const auto left = shape_part( 1, region, 0 );
        const auto middle = shape_part( 1, region, 1 );
        const auto right = shape_part( 1, region, 2 );
        expect_counts(
            convert_surfaces_into_section( Meshes{ *left, *middle, *right } ),
            4,
            6,
            3,
            3 );
    }

    TEST_P( SectionShapes, square_with_an_inclusion )
    {
        const auto region = []( const Point< 2 >& center )
        { return inside_middle( center ) ? 1u : 0u; };
        auto mesh = shape( 3, region );
        const auto section =
            convert_surface_into_section_from_attribute( *mesh, "region" );
        expect_counts( section, 0, 2, 2, 9 );
        EXPECT_EQ( model_boundary_lines( section ).size(), 1u );
        const auto outside = shape_part( 3, region, 0 );
        const auto inside = shape_part( 3, region, 1 );
        expect_counts(
            convert_surfaces_into_section( Meshes{ *outside, *inside } ),
            0,
            2,
            2,
            9 );
    }

    INSTANTIATE_TEST_SUITE_P(
        Densities,
        SectionShapes,
        ::testing::Values( Density{ 1, 1.0 },
                           Density{ 2, 1.0 },
                           Density{ 3, 1.5 },
                           Density{ 8, 0.7 } ),
        []( const ::testing::TestParamInfo< Density >& info )
        {
            return absl::StrCat(
                info.param.cells,
                "_cells_ratio_",
                static_cast< int >( std::lround( 10 * info.param.ratio ) ) );
        } );
} // namespace
