#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <absl/strings/str_cat.h>
#include <absl/types/optional.h>

#include <conversion/common/tasks.h>
#include <conversion/model/add_sharp_features_probe.h>
#include <vorna/basic/attribute_base.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/model/add_sharp_features.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/surface.h>

#include <support/block_fixtures.h>
#include <support/conversion_test.h>
#include <support/cube_tables.h>
#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/model_checks.h>
#include <support/shape_fixtures.h>

namespace
{
    using namespace vorna;
    using vorna::test::check_brep_consistency;
    using vorna::test::component_point;

    constexpr const char* NORMALS = "vorna_polygon_normal";

    using Counts = test::ModelCounts;
    using test::counts_of;
    using test::point;

    BRep model_of( const SurfaceMesh< 3 >& mesh )
    {
        return std::move( std::get< 0 >( convert_surface_into_brep( mesh ) ) );
    }

    BRep model_of( const EdgedCurve< 3 >& curve, const SurfaceMesh< 3 >& mesh )
    {
        const test::CurveRefs curves{ curve };
        const test::SurfaceRefs surfaces{ mesh };
        return std::move( std::get< 0 >(
            convert_curves_and_surfaces_into_brep( curves, surfaces ) ) );
    }

    // The closed cube of 12 triangles, and more triangles over more points.
    std::unique_ptr< SurfaceMesh< 3 > >
    cube_and( const std::vector< Point3D >& points,
              const std::vector< std::array< index_t, 3 > >& triangles )
    {
        auto all_points = test::cube_points( point( 0, 0, 0 ), 1 );
        all_points.insert( all_points.end(), points.begin(), points.end() );
        const auto cube = test::cube_triangles();
        std::vector< std::array< index_t, 3 > > all( cube.begin(), cube.end() );
        all.insert( all.end(), triangles.begin(), triangles.end() );
        return test::triangulated_surface( all_points, all );
    }

    Counts sharp_counts( const BRep& brep, double angle )
    {
        const auto result = add_sharp_features( brep, angle );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( result ) ) )
            << "at angle " << angle;
        return counts_of( std::get< 0 >( result ) );
    }

    constexpr index_t NB_ROTATIONS = 60;

    // The points turned by the i-th of NB_ROTATIONS turns about a skew
    // axis, none a multiple of a quarter turn: each rounds the coordinates,
    // and so the normals, its own way.
    std::vector< Point3D > rotated( const std::vector< Point3D >& points,
                                    index_t i )
    {
        const auto angle = ( i + 0.5 ) * 2 * 3.141592653589793 / NB_ROTATIONS;
        const auto c = std::cos( angle );
        const auto s = std::sin( angle );
        const auto norm = std::sqrt( 14. );
        const double k[3] = { 1 / norm, 2 / norm, 3 / norm };
        std::vector< Point3D > turned;
        for( const auto& p : points )
        {
            const double v[3] = { p.value( 0 ), p.value( 1 ), p.value( 2 ) };
            const double cross[3] = { k[1] * v[2] - k[2] * v[1],
                                      k[2] * v[0] - k[0] * v[2],
                                      k[0] * v[1] - k[1] * v[0] };
            const auto along =
                ( k[0] * v[0] + k[1] * v[1] + k[2] * v[2] ) * ( 1 - c );
            turned.push_back( point( v[0] * c + cross[0] * s + k[0] * along,
                                     v[1] * c + cross[1] * s + k[1] * along,
                                     v[2] * c + cross[2] * s + k[2] * along ) );
        }
        return turned;
    }

    // The rotations after which the two triangles, turned, do not come out
    // of add_sharp_features at the angle as two surfaces parted by a line.
    std::string rotations_left_whole(
        const std::vector< Point3D >& points,
        const std::vector< std::array< index_t, 3 > >& triangles,
        double angle )
    {
        std::string failed;
        for( index_t i = 0; i < NB_ROTATIONS; i++ )
        {
            const auto model = model_of( *test::triangulated_surface(
                rotated( points, i ), triangles ) );
            if( !( sharp_counts( model, angle ) == Counts{ 2, 3, 2, 0 } ) )
            {
                absl::StrAppend( &failed, " ", i );
            }
        }
        return failed;
    }

    // Everything a caller could observe of a model, in the model's order.
    class ModelText
    {
      public:
        explicit ModelText( const BRep& brep )
        {
            for( const auto& corner : brep.corners() )
            {
                component( brep, corner.component_id(), corner.name() );
                vertex_set( corner.mesh() );
            }
            for( const auto& line : brep.lines() )
            {
                component( brep, line.component_id(), line.name() );
                vertex_set( line.mesh() );
                for( index_t e = 0; e < line.mesh().nb_edges(); e++ )
                {
                    const auto& ends = line.mesh().edge_vertices( e );
                    absl::StrAppend( &text_, " e", ends[0], "-", ends[1] );
                }
                attributes( line.mesh().edge_attribute_manager(),
                            line.mesh().nb_edges() );
            }
            for( const auto& surface : brep.surfaces() )
            {
                component( brep, surface.component_id(), surface.name() );
                const auto& mesh = surface.mesh();
                vertex_set( mesh );
                for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                {
                    absl::StrAppend( &text_, " p" );
                    for( local_index_t e = 0; e < mesh.nb_polygon_edges( p );
                         e++ )
                    {
                        absl::StrAppend( &text_,
                                         " ",
                                         mesh.polygon_vertex( { p, e } ),
                                         "/",
                                         mesh.polygon_adjacent( { p, e } )
                                             .value_or( INVALID_INDEX ) );
                    }
                }
                attributes( mesh.polygon_attribute_manager(),
                            mesh.nb_polygons() );
            }
            for( const auto& block : brep.blocks() )
            {
                component( brep, block.component_id(), block.name() );
                absl::StrAppend( &text_, " ", block.mesh().nb_vertices() );
            }
            for( const auto& boundary : brep.model_boundaries() )
            {
                component( brep, boundary.component_id(), boundary.name() );
            }
            for( index_t u = 0; u < brep.nb_unique_vertices(); u++ )
            {
                absl::StrAppend( &text_, "\nunique ", u, ":" );
                for( const auto& vertex : brep.component_mesh_vertices( u ) )
                {
                    absl::StrAppend( &text_,
                                     " ",
                                     vertex.component_id.string(),
                                     "/",
                                     vertex.vertex );
                }
            }
        }

        const std::string& text() const
        {
            return text_;
        }

      private:
        void component( const BRep& brep,
                        const ComponentID& id,
                        absl::string_view name )
        {
            absl::StrAppend( &text_, "\n", id.string(), " '", name, "'" );
            const auto list = [this]( const char* kind, const auto& ids )
            {
                absl::StrAppend( &text_, " ", kind, ":" );
                for( const auto& other : ids )
                {
                    absl::StrAppend( &text_, " ", other.id().string() );
                }
            };
            list( "boundaries", brep.boundaries( id.id() ) );
            list( "incidences", brep.incidences( id.id() ) );
            list( "internals", brep.internals( id.id() ) );
            list( "embeddings", brep.embeddings( id.id() ) );
            list( "items", brep.items( id.id() ) );
            list( "collections", brep.collections( id.id() ) );
        }

        template < typename Mesh >
        void vertex_set( const Mesh& mesh )
        {
            absl::StrAppend(
                &text_, " mesh ", mesh.id().string(), " '", mesh.name(), "'" );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                for( index_t axis = 0; axis < 3; axis++ )
                {
                    exact( mesh.point( v ).value( axis ) );
                }
            }
            attributes( mesh.vertex_attribute_manager(), mesh.nb_vertices() );
        }

        void exact( double value )
        {
            char digits[32];
            std::snprintf( digits, sizeof digits, " %.17g", value );
            text_ += digits;
        }

        void attributes( const AttributeManager& manager, index_t nb_elements )
        {
            for( const auto& name : manager.attribute_names() )
            {
                const auto attribute = manager.find_attribute_base( name );
                absl::StrAppend( &text_, " [", name, " ", attribute->type() );
                if( attribute->is_supported() )
                {
                    for( index_t i = 0; i < nb_elements; i++ )
                    {
                        absl::StrAppend(
                            &text_, " ", attribute->value_as_float( i ) );
                    }
                }
                absl::StrAppend( &text_, "]" );
            }
        }

        std::string text_;
    };

    // Attribute names are part of the text.
    bool has_normals_attribute( const BRep& brep )
    {
        return ModelText{ brep }.text().find( NORMALS ) != std::string::npos;
    }

    // The points of a polygon, from its first vertex on.
    std::vector< Point3D > polygon_points( const SurfaceMesh< 3 >& mesh,
                                           index_t polygon )
    {
        std::vector< Point3D > points;
        for( const auto vertex : mesh.polygon_vertices( polygon ) )
        {
            points.push_back( mesh.point( vertex ) );
        }
        return points;
    }

    // Every input line and surface vertex maps to new vertices of the same
    // kind at its point, every input polygon and line edge to exactly one
    // new element on the same points, every input corner to one corner at
    // its point; and the new model is consistent.
    ::testing::AssertionResult
    mappings_follow_the_model( const BRep& input,
                               const BRepConversionResult& result )
    {
        const auto& model = std::get< 0 >( result );
        const auto& vertices = std::get< 1 >( result );
        const auto& elements = std::get< 2 >( result );
        std::string failures;
        const auto vertices_follow =
            [&]( const uuid& id, const auto& mesh, const char* type )
        {
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                for( const auto& mapped : vertices.in2out( { id, v } ) )
                {
                    if( mapped.component_id.type().get() != type ||
                        component_point( model, mapped ) != mesh.point( v ) )
                    {
                        absl::StrAppend(
                            &failures, " vertex ", v, " of ", id.string() );
                    }
                }
            }
        };
        // The one new element of an input element, empty when not one.
        const auto element_of =
            [&]( const uuid& id, index_t element, const char* type )
        {
            const auto& mapped = elements.in2out( { id, element } );
            if( mapped.size() != 1 ||
                mapped.front().component_id.type().get() != type )
            {
                absl::StrAppend(
                    &failures, " element ", element, " of ", id.string() );
                return absl::optional< ComponentMeshElement >{};
            }
            return absl::make_optional( mapped.front() );
        };
        for( const auto& surface : input.surfaces() )
        {
            const auto& mesh = surface.mesh();
            vertices_follow( surface.id(), mesh, "Surface" );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto mapped = element_of( surface.id(), p, "Surface" );
                if( mapped &&
                    polygon_points(
                        model.surface( mapped->component_id.id() ).mesh(),
                        mapped->element ) != polygon_points( mesh, p ) )
                {
                    absl::StrAppend( &failures, " polygon ", p, " moved" );
                }
            }
        }
        for( const auto& line : input.lines() )
        {
            const auto& mesh = line.mesh();
            vertices_follow( line.id(), mesh, "Line" );
            for( index_t e = 0; e < mesh.nb_edges(); e++ )
            {
                const auto mapped = element_of( line.id(), e, "Line" );
                if( !mapped )
                {
                    continue;
                }
                const auto& new_mesh =
                    model.line( mapped->component_id.id() ).mesh();
                const auto& ends = new_mesh.edge_vertices( mapped->element );
                const auto& old_ends = mesh.edge_vertices( e );
                const auto a = new_mesh.point( ends[0] );
                const auto b = new_mesh.point( ends[1] );
                const auto c = mesh.point( old_ends[0] );
                const auto d = mesh.point( old_ends[1] );
                if( !( ( a == c && b == d ) || ( a == d && b == c ) ) )
                {
                    absl::StrAppend( &failures, " edge ", e, " moved" );
                }
            }
        }
        for( const auto& corner : input.corners() )
        {
            vertices_follow( corner.id(), corner.mesh(), "Corner" );
            if( vertices.in2out( { corner.id(), 0 } ).size() != 1 )
            {
                absl::StrAppend( &failures,
                                 " corner ",
                                 corner.id().string(),
                                 " maps to several vertices" );
            }
        }
        const auto consistent = check_brep_consistency( model );
        if( !consistent )
        {
            absl::StrAppend( &failures, " ", consistent.message() );
        }
        if( failures.empty() )
        {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << failures;
    }

    using AddSharpFeaturesTest = test::ConversionTest;

    // A cube meshed as one surface has dihedral angles of 90 on its edges
    // and 180 inside its faces.
    TEST_F( AddSharpFeaturesTest, CubeSplitsIntoItsFacesFrom90UpTo180 )
    {
        const auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ), 2 ) );
        for( const double angle : { 90., 90.001, 120., 150., 179., 179.999 } )
        {
            EXPECT_EQ( sharp_counts( cube, angle ), ( Counts{ 8, 12, 6, 1 } ) )
                << "at angle " << angle;
        }
        for( const double angle : { 0., 45., 89.999 } )
        {
            EXPECT_EQ( sharp_counts( cube, angle ), ( Counts{ 0, 0, 1, 1 } ) )
                << "at angle " << angle;
        }
    }

    // At 180 every edge between two polygons with normals is sharp, flat or
    // not: each triangle becomes a surface.
    TEST_F( AddSharpFeaturesTest, At180EveryTriangleIsASurface )
    {
        const auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ), 2 ) );
        EXPECT_EQ( sharp_counts( cube, 180 ).surfaces, 48u );
        const auto sheet = model_of( *test::grid_sheet( 3, 2 ) );
        EXPECT_EQ( sharp_counts( sheet, 180 ).surfaces, 12u );
    }

    // The normals of a flat square's two triangles may round to a dot just
    // above 1: at 180 its diagonal is cut all the same.
    TEST_F( AddSharpFeaturesTest, At180FlatSquareSplitsWhateverItsRotation )
    {
        const auto failed = rotations_left_whole( { point( 0, 0, 0 ),
                                                    point( 1, 0, 0 ),
                                                    point( 1, 1, 0 ),
                                                    point( 0, 1, 0 ) },
                                                  { { 0, 1, 2 }, { 0, 2, 3 } },
                                                  180 );
        EXPECT_TRUE( failed.empty() ) << "left whole after rotations" << failed;
    }

    TEST_F( AddSharpFeaturesTest, FlatSurfaceHasNoSharpEdgeBelow180 )
    {
        const auto sheet = model_of( *test::grid_sheet( 3, 2 ) );
        for( const double angle : { 0., 1e-9, 90., 179.999 } )
        {
            EXPECT_EQ( sharp_counts( sheet, angle ), counts_of( sheet ) )
                << "at angle " << angle;
        }
    }

    // Two triangles folded flat onto each other: their normals are exactly
    // opposite, the one case angle 0 counts as sharp.
    TEST_F( AddSharpFeaturesTest, At0OnlyOppositeNormalsAreSharp )
    {
        const auto folded = model_of(
            *test::triangulated_surface( { point( 0, 0, 0 ),
                                           point( 1, 0, 0 ),
                                           point( 0, 1, 0 ),
                                           point( 0.5, 1, 0 ) },
                                         { { 0, 1, 2 }, { 1, 0, 3 } } ) );
        ASSERT_EQ( counts_of( folded ), ( Counts{ 0, 1, 1, 0 } ) );
        EXPECT_EQ( sharp_counts( folded, 0 ), ( Counts{ 2, 3, 2, 0 } ) );
        // Opened by 1e-3 degrees, the fold is no longer flat.
        const auto opened = 1e-3 * 3.141592653589793 / 180;
        const auto ajar = model_of( *test::triangulated_surface(
            { point( 0, 0, 0 ),
              point( 1, 0, 0 ),
              point( 0, 1, 0 ),
              point( 0.5, std::cos( opened ), std::sin( opened ) ) },
            { { 0, 1, 2 }, { 1, 0, 3 } } ) );
        EXPECT_EQ( sharp_counts( ajar, 0 ), counts_of( ajar ) );
    }

    // Folded flat, the normals may round to a dot just above -1: at 0 the
    // fold is cut all the same.
    TEST_F( AddSharpFeaturesTest, At0FlatFoldIsCutWhateverItsRotation )
    {
        const auto failed = rotations_left_whole( { point( 0, 0, 0 ),
                                                    point( 1, 0, 0 ),
                                                    point( 0, 1, 0 ),
                                                    point( 0.5, 1, 0 ) },
                                                  { { 0, 1, 2 }, { 1, 0, 3 } },
                                                  0 );
        EXPECT_TRUE( failed.empty() ) << "left whole after rotations" << failed;
    }

    // The zero-area triangle (b, a, m) lies between the three others: at
    // 180 the edges between normal-bearing triangles are cut, its own are
    // not, so everything stays one surface around the cut edge m-d.
    TEST_F( AddSharpFeaturesTest, PolygonWithoutNormalHasNoSharpEdge )
    {
        const index_t a = 0, m = 1, b = 2, c = 3, d = 4;
        const auto mesh = test::triangulated_surface(
            { point( 0, 0, 0 ),
              point( 1, 0, 0 ),
              point( 2, 0, 0 ),
              point( 1, 1, 0 ),
              point( 1, -1, 0 ) },
            { { a, b, c }, { b, a, m }, { a, d, m }, { m, d, b } } );
        ASSERT_FALSE( mesh->new_polygon_normal( 1 ) );
        const auto sheet = model_of( *mesh );
        const auto result = add_sharp_features( sheet, 180 );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ).surfaces, 1u );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( result ) ) );

        // The cut edge m-d is now a line inside the surface, whose mesh is
        // slit along it: it comes through a second pass unchanged.
        const auto& slit = std::get< 0 >( result );
        ASSERT_EQ( slit.nb_internals( slit.surfaces().begin()->id() ), 1u );
        const auto again = add_sharp_features( slit, 90 );
        EXPECT_EQ( counts_of( std::get< 0 >( again ) ), counts_of( slit ) );
        EXPECT_TRUE( mappings_follow_the_model( slit, again ) );
    }

    TEST_F( AddSharpFeaturesTest, RealShapesGiveTheirOwnCounts )
    {
        const auto holed = model_of( *test::box_with_through_hole( 6 ) );
        EXPECT_EQ( sharp_counts( holed, 140 ), ( Counts{ 8, 14, 7, 1 } ) );
        EXPECT_EQ( sharp_counts( holed, 90 ), ( Counts{ 8, 14, 7, 1 } ) );
        const auto cylinder = model_of( *test::closed_cylinder( 6 ) );
        EXPECT_EQ( sharp_counts( cylinder, 140 ), ( Counts{ 0, 2, 3, 1 } ) );
        const auto cavity = model_of( *test::box_with_sphere_cavity( 6 ) );
        EXPECT_EQ( sharp_counts( cavity, 140 ), ( Counts{ 8, 12, 7, 2 } ) );
    }

    // Below the turn between adjacent wall facets (90 / n degrees, a
    // dihedral angle of 180 - 90 / n), the wall is smooth; at it, each
    // facet edge along z is sharp.
    TEST_F( AddSharpFeaturesTest, CylinderWallSplitsOnlyAtItsFacetAngle )
    {
        const auto cylinder = model_of( *test::closed_cylinder( 3 ) );
        EXPECT_EQ( sharp_counts( cylinder, 149.9 ).surfaces, 3u );
        EXPECT_EQ( sharp_counts( cylinder, 150.1 ).surfaces, 2u + 12u );
    }

    // Chunks follow the thread count; the model must not.
    TEST_F( AddSharpFeaturesTest, SameModelOnOneThreadAndOnAll )
    {
        const auto holed = model_of( *test::box_with_through_hole( 8 ) );
        const auto layout = []( const BRep& brep )
        {
            std::vector< index_t > sizes;
            for( const auto& surface : brep.surfaces() )
            {
                sizes.push_back( surface.mesh().nb_polygons() );
            }
            for( const auto& line : brep.lines() )
            {
                sizes.push_back( line.mesh().nb_edges() );
            }
            return sizes;
        };
        const auto all = add_sharp_features( holed, 140 );
        const detail::ThreadLimit one_thread{ 1 };
        const auto one = add_sharp_features( holed, 140 );
        EXPECT_EQ( layout( std::get< 0 >( one ) ),
                   layout( std::get< 0 >( all ) ) );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( one ) ) );
    }

    // A model with several surfaces, lines and corners: every input vertex,
    // element and corner is found in the new model at its place.
    TEST_F( AddSharpFeaturesTest, MappingsFollowTheInputModel )
    {
        const auto holed = model_of( *test::box_with_through_hole( 4 ) );
        const auto first = add_sharp_features( holed, 140 );
        EXPECT_TRUE( mappings_follow_the_model( holed, first ) );
        const auto& split = std::get< 0 >( first );
        ASSERT_EQ( counts_of( split ), ( Counts{ 8, 14, 7, 1 } ) );
        const auto again = add_sharp_features( split, 140 );
        EXPECT_EQ( counts_of( std::get< 0 >( again ) ), counts_of( split ) );
        EXPECT_TRUE( mappings_follow_the_model( split, again ) );

        // A corner whose unique vertex lists a block vertex first is still
        // followed through its line and surface vertices.
        auto tied =
            std::move( std::get< 0 >( add_sharp_features( holed, 140 ) ) );
        const auto& corner = *tied.corners().begin();
        const auto shared = tied.unique_vertex( { corner.component_id(), 0 } );
        BRepBuilder builder{ tied };
        const auto& block = builder.add_block();
        builder.block_mesh_builder( block )->create_point(
            corner.mesh().point( 0 ) );
        const auto others = tied.component_mesh_vertices( shared );
        builder.set_unique_vertex( { tied.block( block ).component_id(), 0 },
                                   shared );
        const auto spare = builder.create_unique_vertex();
        for( const auto& other : others )
        {
            // Linked again, it goes after the block vertex.
            builder.set_unique_vertex( other, spare );
            builder.set_unique_vertex( other, shared );
        }
        ASSERT_EQ(
            tied.component_mesh_vertices( shared ).front().component_id.id(),
            block );
        EXPECT_TRUE( mappings_follow_the_model(
            tied, add_sharp_features( tied, 140 ) ) );
    }

    TEST_F( AddSharpFeaturesTest, CornerWithoutLineOrSurfaceGetsNoMapping )
    {
        auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        BRepBuilder builder{ cube };
        const auto lonely = builder.add_corner();
        builder.corner_mesh_builder( lonely )->create_point( point( 5, 5, 5 ) );
        builder.set_unique_vertex( { cube.corner( lonely ).component_id(), 0 },
                                   builder.create_unique_vertex() );
        // Nor does a corner tied to no unique vertex.
        const auto untied = builder.add_corner();
        builder.corner_mesh_builder( untied )->create_point( point( 0, 0, 0 ) );
        const auto result = add_sharp_features( cube, 100 );
        EXPECT_FALSE(
            std::get< 1 >( result ).has_mapping_input( { lonely, 0 } ) );
        EXPECT_FALSE(
            std::get< 1 >( result ).has_mapping_input( { untied, 0 } ) );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( result ) ) );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                   ( Counts{ 8, 12, 6, 1 } ) );
    }

    // A closed line with a corner on it, as models read from elsewhere
    // have: the corner stays, and the line runs from it round to it.
    TEST_F( AddSharpFeaturesTest, CornerOnAClosedLineStaysACorner )
    {
        BRep loop;
        BRepBuilder builder{ loop };
        const auto& line = builder.add_line();
        auto line_mesh = builder.line_mesh_builder( line );
        builder.create_unique_vertices( 4 );
        for( index_t v = 0; v < 4; v++ )
        {
            line_mesh->create_point(
                point( v % 3 == 0 ? 0 : 1, v < 2 ? 0 : 1, 0 ) );
            builder.set_unique_vertex( { loop.line( line ).component_id(), v },
                                       v );
        }
        for( index_t v = 0; v < 4; v++ )
        {
            line_mesh->create_edge( v, ( v + 1 ) % 4 );
        }
        const auto& corner = builder.add_corner();
        builder.corner_mesh_builder( corner )->create_point( point( 0, 0, 0 ) );
        builder.set_unique_vertex( { loop.corner( corner ).component_id(), 0 },
                                   0 );
        builder.add_corner_line_boundary_relationship( loop.corner( corner ),
                                                       loop.line( line ) );
        const auto result = add_sharp_features( loop, 120 );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                   ( Counts{ 1, 1, 0, 0 } ) );
        EXPECT_TRUE( mappings_follow_the_model( loop, result ) );
    }

    // Two corners put by hand at an inner vertex of a sheet lie on no line:
    // they stay, as one corner.
    TEST_F( AddSharpFeaturesTest, CornersInsideASurfaceStayOneCorner )
    {
        auto sheet = model_of( *test::grid_sheet( 2, 2 ) );
        const auto& surface = *sheet.surfaces().begin();
        index_t middle{ 0 };
        while( surface.mesh().point( middle ) != point( 1, 1, 0 ) )
        {
            middle++;
        }
        BRepBuilder builder{ sheet };
        for( index_t twice = 0; twice < 2; twice++ )
        {
            const auto& corner = builder.add_corner();
            builder.corner_mesh_builder( corner )->create_point(
                point( 1, 1, 0 ) );
            builder.set_unique_vertex(
                { sheet.corner( corner ).component_id(), 0 },
                sheet.unique_vertex( { surface.component_id(), middle } ) );
            builder.add_corner_surface_internal_relationship(
                sheet.corner( corner ), surface );
        }
        const auto result = add_sharp_features( sheet, 90 );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                   ( Counts{ 1, 1, 1, 0 } ) );
        EXPECT_TRUE( mappings_follow_the_model( sheet, result ) );
    }

    // A curve along the first third of a cube edge ends inside that edge:
    // once the edge is sharp, its inner end still parts two lines.
    TEST_F( AddSharpFeaturesTest, CurveEndOnASharpEdgeStaysACorner )
    {
        const auto cube =
            test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ), 3 );
        const auto curve = test::polyline< 3 >(
            { point( 0, 0, 0 ), point( 1. / 3, 0, 0 ) }, false );
        const auto model = model_of( *curve, *cube );
        ASSERT_EQ( counts_of( model ), ( Counts{ 2, 1, 1, 1 } ) );
        const auto result = add_sharp_features( model, 90 );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                   ( Counts{ 9, 13, 6, 1 } ) );
        EXPECT_TRUE( mappings_follow_the_model( model, result ) );
    }

    // A stray triangle whose corners lie 5e-7 apart merges into one point:
    // its polygon repeats a vertex in the first model, which the second
    // pass takes as the first made it.
    TEST_F( AddSharpFeaturesTest, PolygonCollapsedByMergingIsAccepted )
    {
        const auto mesh = cube_and( { point( 5, 5, 5 ),
                                      point( 5 + 5e-7, 5, 5 ),
                                      point( 5, 5 + 5e-7, 5 ) },
                                    { { 8, 9, 10 } } );
        test::set_values( mesh->vertex_attribute_manager(),
                          "weight",
                          std::vector< double >( 11, 2. ) );
        const auto model = model_of( *mesh );
        ASSERT_EQ( counts_of( model ), ( Counts{ 0, 1, 2, 1 } ) );
        const auto result = add_sharp_features( model, 90 );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                   ( Counts{ 8, 13, 7, 1 } ) );
        EXPECT_TRUE( mappings_follow_the_model( model, result ) );
        // The mapping names no vertex beyond those of the collapsed
        // polygon's surface.
        const auto& collapsed = *std::next( model.surfaces().begin() );
        ASSERT_EQ( collapsed.mesh().nb_vertices(), 1u );
        EXPECT_FALSE( std::get< 1 >( result ).has_mapping_input(
            { collapsed.id(), 1 } ) );
        // Its vertex keeps its attribute value.
        const auto& vertex =
            std::get< 1 >( result ).in2out( { collapsed.id(), 0 } ).front();
        EXPECT_EQ( std::get< 0 >( result )
                       .surface( vertex.component_id.id() )
                       .mesh()
                       .vertex_attribute_manager()
                       .find_attribute< double >( "weight" )
                       ->value( vertex.vertex ),
                   2. );
    }

    // Where no edge is sharp the model comes back as it was: a line inside
    // a surface stays inside it, and a triangle listed twice keeps its own
    // surface.
    TEST_F( AddSharpFeaturesTest, ModelWithoutSharpEdgeKeepsItsComponents )
    {
        const auto square =
            test::triangulated_surface( { point( 0, 0, 0 ),
                                          point( 1, 0, 0 ),
                                          point( 1, 1, 0 ),
                                          point( 0, 1, 0 ) },
                                        { { 0, 1, 2 }, { 0, 2, 3 } } );
        const auto diagonal = test::polyline< 3 >(
            { point( 0, 0, 0 ), point( 1, 1, 0 ) }, false );
        const auto split = model_of( *diagonal, *square );
        ASSERT_EQ( counts_of( split ), ( Counts{ 2, 3, 1, 0 } ) );
        const auto cube = test::cube_triangles();
        const auto twice = model_of( *cube_and( {}, { cube[0] } ) );
        ASSERT_EQ( counts_of( twice ), ( Counts{ 0, 1, 3, 1 } ) );
        for( const double angle : { 0., 45., 89., 179. } )
        {
            const auto result = add_sharp_features( split, angle );
            const auto& model = std::get< 0 >( result );
            EXPECT_EQ( counts_of( model ), counts_of( split ) )
                << "at angle " << angle;
            EXPECT_EQ( model.nb_internals( model.surfaces().begin()->id() ),
                       1u )
                << "at angle " << angle;
            EXPECT_TRUE( mappings_follow_the_model( split, result ) );
        }
        for( const double angle : { 0., 45., 89. } )
        {
            const auto result = add_sharp_features( twice, angle );
            EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                       counts_of( twice ) )
                << "at angle " << angle;
            EXPECT_TRUE( mappings_follow_the_model( twice, result ) );
        }
    }

    // The rule reads the angle as degrees from 0 to 180; anything else
    // would silently stand for some other angle or for none.
    TEST_F( AddSharpFeaturesTest, AngleOutsideZeroTo180IsRefused )
    {
        const auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        const auto infinity = std::numeric_limits< double >::infinity();
        for( const double angle :
             { -1., -1e-300, 180.5, 181., 360., infinity, -infinity } )
        {
            test::expect_exact_error(
                [&] { add_sharp_features( cube, angle ); },
                absl::StrCat( "[add_sharp_features] The angle must be a "
                              "number of degrees from 0 to 180, got ",
                              angle ) );
        }
        test::expect_exact_error(
            [&] {
                add_sharp_features(
                    cube, std::numeric_limits< double >::quiet_NaN() );
            },
            "[add_sharp_features] The angle must be a number of degrees "
            "from 0 to 180, got nan" );
    }

    TEST_F( AddSharpFeaturesTest, InputModelIsNotChanged )
    {
        const auto holed = model_of( *test::box_with_through_hole( 3 ) );
        const auto split =
            std::move( std::get< 0 >( add_sharp_features( holed, 140 ) ) );
        for( const auto* input : { &holed, &split } )
        {
            const ModelText before{ *input };
            const auto result = add_sharp_features( *input, 150 );
            EXPECT_TRUE( before.text() == ModelText{ *input }.text() );
            EXPECT_FALSE( has_normals_attribute( *input ) );
            EXPECT_FALSE( has_normals_attribute( std::get< 0 >( result ) ) );
            EXPECT_TRUE( check_brep_consistency( std::get< 0 >( result ) ) );
        }
    }

    // An attribute of the caller's that happens to bear the name of the
    // working normals reaches the new model with its values.
    TEST_F( AddSharpFeaturesTest, CallersAttributeUnderTheNormalsNameIsKept )
    {
        auto mesh = test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) );
        auto attribute =
            mesh->polygon_attribute_manager()
                .find_or_create_attribute< VariableAttribute, double >( NORMALS,
                                                                        -1. );
        for( index_t p = 0; p < mesh->nb_polygons(); p++ )
        {
            attribute->set_value( p, p + 0.5 );
        }
        const auto cube = model_of( *mesh );
        const auto input_id = cube.surfaces().begin()->id();
        const auto result = add_sharp_features( cube, 100 );
        const auto& model = std::get< 0 >( result );
        ASSERT_EQ( model.nb_surfaces(), 6u );
        EXPECT_TRUE( check_brep_consistency( model ) );
        for( index_t p = 0; p < mesh->nb_polygons(); p++ )
        {
            const auto& mapped =
                std::get< 2 >( result ).in2out( { input_id, p } ).front();
            const auto values = model.surface( mapped.component_id.id() )
                                    .mesh()
                                    .polygon_attribute_manager()
                                    .find_attribute< double >( NORMALS );
            EXPECT_EQ( values->value( mapped.element ), p + 0.5 );
        }
    }

    TEST_F( AddSharpFeaturesTest, BoolAttributeReachesTheNewSurfaces )
    {
        const auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        const auto& input = cube.surfaces().begin()->mesh();
        std::vector< bool > odd;
        for( index_t p = 0; p < input.nb_polygons(); p++ )
        {
            odd.push_back( p % 2 == 1 );
        }
        test::set_values( input.polygon_attribute_manager(), "odd", odd );
        const auto result = add_sharp_features( cube, 100 );
        const auto& model = std::get< 0 >( result );
        index_t nb_wrong{ 0 };
        for( index_t p = 0; p < input.nb_polygons(); p++ )
        {
            const auto& mapped =
                std::get< 2 >( result )
                    .in2out( { cube.surfaces().begin()->id(), p } )
                    .front();
            nb_wrong += model.surface( mapped.component_id.id() )
                            .mesh()
                            .polygon_attribute_manager()
                            .find_attribute< bool >( "odd" )
                            ->value( mapped.element ) != odd[p];
        }
        EXPECT_EQ( nb_wrong, 0u );
    }

    TEST_F( AddSharpFeaturesTest, EmptyModelGivesEmptyModel )
    {
        const auto result = add_sharp_features( BRep{}, 120 );
        EXPECT_EQ( counts_of( std::get< 0 >( result ) ),
                   ( Counts{ 0, 0, 0, 0 } ) );
        EXPECT_TRUE( check_brep_consistency( std::get< 0 >( result ) ) );
    }

    // A failing detection task must not leave sharp edges silently joined:
    // its exception reaches the caller, and only once every other task has
    // ended.
    TEST_F( AddSharpFeaturesTest, FailingDetectionTaskReachesTheCaller )
    {
        const auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        std::atomic< index_t > started{ 0 };
        std::atomic< index_t > finished{ 0 };
        detail::SharpFeaturesProbe probe;
        probe.on_detection_chunk = [&]( index_t chunk )
        {
            started++;
            if( chunk == 1 )
            {
                throw CorvaneException( "[test] detection failed" );
            }
            std::this_thread::sleep_for( std::chrono::milliseconds( 20 ) );
            finished++;
        };
        test::expect_error( [&]
                            { detail::add_sharp_features( cube, 120, probe ); },
                            "[test] detection failed" );
        // 12 polygons, fewer than 8 per thread: one per task, plus the
        // empty last one.
        EXPECT_EQ( started.load(), 13u );
        EXPECT_EQ( finished.load(), 12u );
    }

    TEST_F( AddSharpFeaturesTest, FailingUnsettingReachesTheCaller )
    {
        const auto cube = model_of(
            *test::make_box_mesh( point( 0, 0, 0 ), point( 1, 1, 1 ) ) );
        index_t nb_unset{ 0 };
        detail::SharpFeaturesProbe probe;
        probe.on_unset = [&nb_unset]( const PolygonEdge& )
        {
            if( ++nb_unset == 3 )
            {
                throw CorvaneException( "[test] unsetting failed" );
            }
        };
        test::expect_error( [&]
                            { detail::add_sharp_features( cube, 120, probe ); },
                            "[test] unsetting failed" );
        EXPECT_EQ( nb_unset, 3u );
    }

    // The input is only read: two calls may share it.
    TEST_F( AddSharpFeaturesTest, TwoCallsMayShareOneInput )
    {
        const auto holed = model_of( *test::box_with_through_hole( 4 ) );
        Counts left{}, right{};
        detail::fork(
            [&] {
                left = counts_of(
                    std::get< 0 >( add_sharp_features( holed, 140 ) ) );
            },
            [&] {
                right = counts_of(
                    std::get< 0 >( add_sharp_features( holed, 140 ) ) );
            } );
        EXPECT_EQ( left, ( Counts{ 8, 14, 7, 1 } ) );
        EXPECT_EQ( right, ( Counts{ 8, 14, 7, 1 } ) );
    }
} // namespace
