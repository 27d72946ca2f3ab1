// The shared model checks must fail on broken models, naming what is
// broken: a check that passed everything would let every conversion test
// pass.

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <absl/strings/str_cat.h>

#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/geometry/ray.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/line.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/section_builder.h>
#include <vorna/model/surface.h>

#include <model/cube_model.h>
#include <model/model_maker.h>
#include <support/conversion_test.h>
#include <support/fixtures.h>
#include <support/model_checks.h>

namespace
{
    using namespace vorna;
    /// The failures a check reported, one per line.
    std::vector< std::string >
    failures( const ::testing::AssertionResult& result )
    {
        std::vector< std::string > lines;
        std::istringstream text{ result.message() };
        std::string line;
        while( std::getline( text, line ) )
        {
            lines.push_back( line );
        }
        return lines;
    }

    /// Whether the check reported this failure among others.
    ::testing::AssertionResult
    reports( const ::testing::AssertionResult& result,
             const std::string& failure )
    {
        const auto lines = failures( result );
        if( std::find( lines.begin(), lines.end(), failure ) != lines.end() )
        {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "not reported: " << failure << "\nreported:\n"
               << result.message();
    }

    TEST( BRepChecks, distant_vertices_on_one_unique_vertex )
    {
        auto cube = test::build_cube_model();
        ASSERT_TRUE( test::check_brep_consistency( cube.brep ) );
        // Corner 0 at (0, 0, 0) on the unique vertex of (1, 1, 1).
        BRepBuilder{ cube.brep }.set_unique_vertex(
            { { "Corner", cube.corners[0] }, 0 }, 7 );
        EXPECT_TRUE( reports( test::check_brep_consistency( cube.brep ),
                              absl::StrCat( "unique vertex 7 ties Corner ",
                                            cube.corners[0].string(),
                                            " vertex 0 to the distant Corner ",
                                            cube.corners[7].string(),
                                            " vertex 0" ) ) );
    }

    TEST( BRepChecks, line_ends_without_corner )
    {
        auto cube = test::build_cube_model();
        // From corner 0, which does not bound it, to the middle of an edge.
        BRepBuilder builder{ cube.brep };
        const auto line = builder.add_line();
        auto mesh = builder.line_mesh_builder( line );
        mesh->create_point( test::point( 0, 0, 0 ) );
        mesh->create_point( test::point( 0.5, 0, 0 ) );
        mesh->create_edge( 0, 1 );
        builder.set_unique_vertex( { { "Line", line }, 0 }, 0 );
        builder.set_unique_vertex( { { "Line", line }, 1 },
                                   builder.create_unique_vertex() );
        const auto end = [&line]( index_t v )
        {
            return absl::StrCat( "line ",
                                 line.string(),
                                 " end vertex ",
                                 v,
                                 " is no corner bounding it" );
        };
        EXPECT_EQ( failures( test::check_brep_consistency( cube.brep ) ),
                   ( std::vector< std::string >{ end( 0 ), end( 1 ) } ) );
    }

    TEST( BRepChecks, border_edge_along_no_line )
    {
        test::BRepMaker maker;
        const auto a = test::point( 0, 0, 0 );
        const auto b = test::point( 1, 0, 0 );
        const auto c = test::point( 0, 1, 0 );
        const auto surface = maker.add_surface( { a, b, c }, { { 0, 1, 2 } } );
        // The line runs from a to c through b: the edge (c, a) is left.
        const auto line = maker.add_line( { a, b, c } );
        for( const auto& at : { a, c } )
        {
            const auto corner = maker.builder.add_corner();
            maker.builder.corner_mesh_builder( corner )->create_point( at );
            maker.builder.set_unique_vertex( { { "Corner", corner }, 0 },
                                             maker.unique( at ) );
            maker.builder.add_corner_line_boundary_relationship(
                maker.model.corner( corner ), maker.model.line( line ) );
        }
        maker.builder.add_line_surface_boundary_relationship(
            maker.model.line( line ), maker.model.surface( surface ) );
        EXPECT_EQ( failures( test::check_brep_consistency( maker.model ) ),
                   ( std::vector< std::string >{ absl::StrCat(
                       "surface ",
                       surface.string(),
                       ": border edge between unique vertices 0 and 2 "
                       "runs along none of its lines" ) } ) );
    }

    TEST( BRepChecks, block_boundary_left_open )
    {
        auto cube = test::build_cube_model();
        // A second block bounded by every face but +x (corners 1, 3, 5, 7).
        BRepBuilder builder{ cube.brep };
        const auto open = builder.add_block();
        for( index_t face = 0; face < 5; face++ )
        {
            builder.add_surface_block_boundary_relationship(
                cube.brep.surface( cube.surfaces[face] ),
                cube.brep.block( open ) );
        }
        // Line 3 joins corners 1 and 3.
        ASSERT_EQ( cube.line_vertices[3],
                   ( std::array< index_t, 2 >{ 1, 3 } ) );
        const auto result = test::check_brep_consistency( cube.brep );
        EXPECT_TRUE( reports( result,
                              absl::StrCat( "block ",
                                            open.string(),
                                            ": line ",
                                            cube.lines[3].string(),
                                            " meets 1 sheets of its boundary "
                                            "surfaces between unique vertices "
                                            "1 and 3" ) ) );
        EXPECT_TRUE( reports( result,
                              absl::StrCat( "block ",
                                            open.string(),
                                            ": the edge between unique "
                                            "vertices 1 and 3 is used by 1 "
                                            "polygons of its boundary "
                                            "surfaces" ) ) );
    }

    TEST( BRepChecks, block_of_no_volume )
    {
        // Two coincident squares on the same four lines bound the block.
        test::BRepMaker maker;
        std::vector< Point3D > square{ test::point( 0, 0, 0 ),
                                       test::point( 1, 0, 0 ),
                                       test::point( 1, 1, 0 ),
                                       test::point( 0, 1, 0 ) };
        const auto block = maker.builder.add_block();
        std::vector< uuid > surfaces{
            maker.add_surface( square, { { 0, 1, 2 }, { 0, 2, 3 } } ),
            maker.add_surface( square, { { 0, 2, 1 }, { 0, 3, 2 } } ) };
        std::vector< uuid > corners;
        for( const auto& at : square )
        {
            corners.push_back( maker.builder.add_corner() );
            maker.builder.corner_mesh_builder( corners.back() )
                ->create_point( at );
            maker.builder.set_unique_vertex(
                { { "Corner", corners.back() }, 0 }, maker.unique( at ) );
        }
        for( index_t k = 0; k < 4; k++ )
        {
            const auto& line = maker.model.line(
                maker.add_line( { square[k], square[( k + 1 ) % 4] } ) );
            for( const auto end : { k, ( k + 1 ) % 4 } )
            {
                maker.builder.add_corner_line_boundary_relationship(
                    maker.model.corner( corners[end] ), line );
            }
            for( const auto& surface : surfaces )
            {
                maker.builder.add_line_surface_boundary_relationship(
                    line, maker.model.surface( surface ) );
            }
        }
        for( const auto& surface : surfaces )
        {
            maker.builder.add_surface_block_boundary_relationship(
                maker.model.surface( surface ), maker.model.block( block ) );
        }
        EXPECT_EQ( failures( test::check_brep_consistency( maker.model ) ),
                   ( std::vector< std::string >{
                       absl::StrCat( "block ",
                                     block.string(),
                                     " encloses no positive volume: "
                                     "0" ) } ) );
    }

    using BRepConversionChecks = test::ConversionTest;

    TEST_F( BRepConversionChecks, coincident_sheets_in_a_block_cross_twice )
    {
        // The unit cube with a fin and its reversed copy standing on the
        // diagonal (0, 0, 0)-(1, 1, 0) of its bottom: a bag of no thickness
        // inside the block. The probe ray from the bottom's first triangle
        // goes through the bag's two sheets at one point, which leaves it
        // where it was, inside or outside.
        auto points = test::cube_points( Point3D{}, 1 );
        points.push_back( test::point( 0.1, 0.9, 0.9 ) );
        const auto triangles = test::cube_triangles();
        auto polygons =
            test::as_polygons( { triangles.begin(), triangles.end() } );
        polygons.push_back( { 0, 3, 8 } );
        polygons.push_back( { 3, 0, 8 } );
        const auto mesh = test::surface_of( points, polygons, true, "bag" );
        const auto result = convert_surface_into_brep( *mesh );
        const auto& brep = std::get< 0 >( result );
        ASSERT_EQ( brep.nb_surfaces(), 2u );
        ASSERT_EQ( brep.nb_blocks(), 1u );
        EXPECT_EQ( brep.nb_boundaries( brep.blocks().begin()->id() ), 2u );
        EXPECT_TRUE( test::check_brep_consistency( brep ) );
    }

    TEST_F( BRepConversionChecks, probe_ray_through_a_vertex_is_replaced )
    {
        // A pyramid on the square [0, 4]^2 whose apex lies on the first
        // probe ray of the block check, the ray from just below the base's
        // first triangle (the largest polygon). Through the apex, the ray
        // would meet the four sides there: another direction decides.
        std::vector< Point3D > points{ test::point( 0, 0, 0 ),
                                       test::point( 4, 0, 0 ),
                                       test::point( 4, 4, 0 ),
                                       test::point( 0, 4, 0 ) };
        const std::vector< std::vector< index_t > > polygons{ { 0, 2, 1 },
                                                              { 0, 3, 2 },
                                                              { 0, 1, 4 },
                                                              { 1, 2, 4 },
                                                              { 2, 3, 4 },
                                                              { 3, 0, 4 } };
        // The probe as the check places it: 1e-3 of the largest distance
        // from vertex 0, along the normal of polygon 0.
        const auto base =
            test::surface_of( points, { polygons.front() }, false );
        const auto offset = 1e-3 * Vector3D{ points[0], points[2] }.length();
        const auto normal = base->polygon_normal( 0 );
        const auto probe = base->polygon_barycenter( 0 ) +
                           Point3D{ { normal.value( 0 ) * offset,
                                      normal.value( 1 ) * offset,
                                      normal.value( 2 ) * offset } };
        const Ray3D ray{ Vector3D{ { 0.8123, 0.4321, 0.3917 } }, probe };
        const auto along =
            ( 0.5 - probe.value( 2 ) ) / ray.direction().value( 2 );
        const auto& direction = ray.direction();
        points.push_back( probe + Point3D{ { direction.value( 0 ) * along,
                                             direction.value( 1 ) * along,
                                             direction.value( 2 ) * along } } );
        const auto mesh = test::surface_of( points, polygons, true, "pyramid" );
        const auto result = convert_surface_into_brep( *mesh );
        const auto& brep = std::get< 0 >( result );
        ASSERT_EQ( brep.nb_surfaces(), 1u );
        ASSERT_EQ( brep.nb_blocks(), 1u );
        EXPECT_TRUE( test::check_brep_consistency( brep ) );
    }

    class MappingChecks : public test::ConversionTest
    {
      protected:
        MappingChecks()
            : cube_( test::closed_cube() ),
              result_( convert_surface_into_brep( *cube_ ) )
        {
        }

        ::testing::AssertionResult check(
            const GenericMapping< MeshVertex, ComponentMeshVertex >& vertices,
            const GenericMapping< MeshElement, ComponentMeshElement >&
                elements ) const
        {
            return test::check_mappings(
                std::get< 0 >( result_ ), vertices, elements, { *cube_ } );
        }

        std::unique_ptr< SurfaceMesh< 3 > > cube_;
        BRepConversionResult result_;
    };

    TEST_F( MappingChecks, polygon_left_out )
    {
        ASSERT_TRUE(
            check( std::get< 1 >( result_ ), std::get< 2 >( result_ ) ) );
        auto elements = std::get< 2 >( result_ );
        elements.erase_in( { cube_->id(), 5 } );
        EXPECT_EQ( failures( check( std::get< 1 >( result_ ), elements ) ),
                   ( std::vector< std::string >{
                       "mesh 'cube' polygon 5 is not mapped" } ) );
    }

    TEST_F( MappingChecks, vertex_mapped_away_from_its_point )
    {
        auto vertices = std::get< 1 >( result_ );
        const auto far = vertices.in2out( { cube_->id(), 7 } ).front();
        vertices.erase_in( { cube_->id(), 0 } );
        vertices.map( { cube_->id(), 0 }, far );
        EXPECT_EQ( failures( check( vertices, std::get< 2 >( result_ ) ) ),
                   ( std::vector< std::string >{
                       absl::StrCat( "mesh 'cube' vertex 0 maps to ",
                                     far.component_id.string(),
                                     " vertex ",
                                     far.vertex,
                                     ", no Surface vertex at its point" ) } ) );
    }

    /// The unit square as one Section surface of two triangles, its vertices
    /// unique vertices 0 to 3, and a line around it from (0, 0) back to
    /// (0, 0), closed on one unique vertex as the conversions make them.
    struct SquareSection
    {
        SquareSection()
        {
            const auto grid = test::make_grid< 2 >( 1 );
            surface = maker.add_surface( grid.first, grid.second );
            line = maker.add_line(
                { points[0], points[1], points[3], points[2], points[0] } );
        }

        void bound_by_line()
        {
            maker.builder.add_line_surface_boundary_relationship(
                maker.model.line( line ), maker.model.surface( surface ) );
        }

        test::SectionMaker maker;
        std::vector< Point2D > points{ test::make_point< 2 >( 0, 0 ),
                                       test::make_point< 2 >( 1, 0 ),
                                       test::make_point< 2 >( 0, 1 ),
                                       test::make_point< 2 >( 1, 1 ) };
        uuid surface;
        uuid line;
    };

    TEST( SectionChecks, border_along_a_line_that_does_not_bound_it )
    {
        SquareSection square;
        // The closed line lies along the square's border but is no line of
        // the surface.
        EXPECT_TRUE(
            reports( test::check_section_consistency( square.maker.model ),
                     absl::StrCat( "surface ",
                                   square.surface.string(),
                                   " has a border edge between unique "
                                   "vertices 0 and 1 along none of its "
                                   "lines" ) ) );
        square.bound_by_line();
        EXPECT_TRUE( test::check_section_consistency( square.maker.model ) );
    }

    TEST( SectionChecks, internal_line_with_one_side )
    {
        SquareSection square;
        square.maker.builder.add_line_surface_internal_relationship(
            square.maker.model.line( square.line ),
            square.maker.model.surface( square.surface ) );
        EXPECT_TRUE(
            reports( test::check_section_consistency( square.maker.model ),
                     absl::StrCat( "line ",
                                   square.line.string(),
                                   " runs along 1 border edges of surface ",
                                   square.surface.string(),
                                   " at one of its edges" ) ) );
    }

    TEST( SectionChecks, model_boundary_line_between_two_surfaces )
    {
        SquareSection square;
        square.bound_by_line();
        // A copy of the square on the same line.
        const auto grid = test::make_grid< 2 >( 1 );
        const auto copy = square.maker.add_surface( grid.first, grid.second );
        const auto& line = square.maker.model.line( square.line );
        square.maker.builder.add_line_surface_boundary_relationship(
            line, square.maker.model.surface( copy ) );
        ASSERT_TRUE( test::check_section_consistency( square.maker.model ) );
        square.maker.builder.add_line_in_model_boundary(
            line,
            square.maker.model.model_boundary(
                square.maker.builder.add_model_boundary() ) );
        EXPECT_EQ(
            failures( test::check_section_consistency( square.maker.model ) ),
            ( std::vector< std::string >{
                absl::StrCat( "line ",
                              square.line.string(),
                              " of a model boundary bounds 2 "
                              "surfaces" ) } ) );
    }

    TEST( SectionChecks, corner_away_from_the_line_ends )
    {
        SquareSection square;
        square.bound_by_line();
        // A corner at (1, 0), away from where the line closes.
        auto& builder = square.maker.builder;
        const auto corner = builder.add_corner();
        builder.corner_mesh_builder( corner )->create_point( square.points[1] );
        builder.set_unique_vertex( { { "Corner", corner }, 0 }, 1 );
        builder.add_corner_line_boundary_relationship(
            square.maker.model.corner( corner ),
            square.maker.model.line( square.line ) );
        EXPECT_TRUE(
            reports( test::check_section_consistency( square.maker.model ),
                     absl::StrCat( "corner ",
                                   corner.string(),
                                   " bounds line ",
                                   square.line.string(),
                                   " away from its ends" ) ) );
    }
} // namespace
