// Conversions fed the broken meshes users really have: each either gives a
// consistent model, with the stated counts, whose mappings keep points in
// place, or refuses with the stated message.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

#include <vorna/conversion/conversion_model.h>
#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/surface.h>

#include <support/block_fixtures.h>
#include <support/conversion_test.h>
#include <support/expect_error.h>
#include <support/fixtures.h>
#include <support/model_checks.h>

namespace
{
    using namespace vorna;
    using vorna::test::as_polygons;
    using vorna::test::closed_cube;
    using vorna::test::counts_of;
    using vorna::test::cube_points;
    using vorna::test::curve_of;
    using vorna::test::LogCapture;
    using vorna::test::make_box_mesh;

    constexpr absl::string_view ZERO_VOLUME_WARNING =
        "[BRepBlocksBuilder::build_blocks] Removed a block of zero volume";

    constexpr absl::string_view MERGE_WARNING =
        "[CornersLinesBuilderFromMeshes] Points closer than 1e-6 were merged: "
        "polygon edges between them collapsed to a point";

    using Triangle = std::array< index_t, 3 >;
    using test::CurveRefs;
    using test::SurfaceRefs;
    using Counts = test::ModelCounts;
    using test::point;

    const BRep& brep_of( const BRepConversionResult& result )
    {
        return std::get< 0 >( result );
    }

    std::vector< Triangle > cube_triangles()
    {
        const auto triangles = test::cube_triangles();
        return { triangles.begin(), triangles.end() };
    }

    std::vector< std::vector< index_t > > cube_quads()
    {
        std::vector< std::vector< index_t > > quads;
        for( const auto& quad : test::CUBE_QUADS )
        {
            quads.emplace_back( quad.begin(), quad.end() );
        }
        return quads;
    }

    // The unit cube's points and polygons, each face of CUBE_QUADS cut into
    // n x n quads turning the same way, with the quad at cell (i, j) of the
    // face z = 0 replaced by `cell`, whose corner c is at
    // ((i + c % 2) / n, (j + c / 2) / n, 0) as the cube's corner c is; then,
    // when `whole_face`, the face z = 0 once more as one polygon through
    // all its border points.
    std::pair< std::vector< Point3D >, std::vector< std::vector< index_t > > >
    gridded_cube( index_t n,
                  index_t i,
                  index_t j,
                  const std::vector< std::vector< index_t > >& cell,
                  bool whole_face )
    {
        using Grid = std::array< int, 3 >;
        std::vector< Point3D > points;
        std::map< Grid, index_t > vertices;
        std::vector< std::vector< index_t > > polygons;
        for( index_t f = 0; f < test::CUBE_QUADS.size(); f++ )
        {
            // The face's point (s, t) goes from its first corner s steps
            // towards its last one and t steps towards its second one.
            const auto& quad = test::CUBE_QUADS[f];
            const auto at = [&]( index_t s, index_t t )
            {
                Grid grid;
                for( index_t axis = 0; axis < 3; axis++ )
                {
                    const auto bit = [&]( index_t c )
                    { return static_cast< int >( ( c >> axis ) & 1 ); };
                    const auto first = bit( quad[0] );
                    grid[axis] =
                        first * static_cast< int >( n ) +
                        static_cast< int >( s ) * ( bit( quad[3] ) - first ) +
                        static_cast< int >( t ) * ( bit( quad[1] ) - first );
                }
                const auto found = vertices.emplace(
                    grid, static_cast< index_t >( points.size() ) );
                if( found.second )
                {
                    points.push_back( point( grid[0] / double( n ),
                                             grid[1] / double( n ),
                                             grid[2] / double( n ) ) );
                }
                return found.first->second;
            };
            for( index_t s = 0; s < n; s++ )
            {
                for( index_t t = 0; t < n; t++ )
                {
                    if( f != 0 || s != i || t != j )
                    {
                        polygons.push_back( { at( s, t ),
                                              at( s, t + 1 ),
                                              at( s + 1, t + 1 ),
                                              at( s + 1, t ) } );
                        continue;
                    }
                    for( const auto& polygon : cell )
                    {
                        polygons.emplace_back();
                        for( const auto c : polygon )
                        {
                            polygons.back().push_back(
                                at( s + c % 2, t + c / 2 ) );
                        }
                    }
                }
            }
            if( f == 0 && whole_face )
            {
                std::vector< index_t > border;
                for( index_t k = 0; k < n; k++ )
                {
                    border.push_back( at( 0, k ) );
                }
                for( index_t k = 0; k < n; k++ )
                {
                    border.push_back( at( k, n ) );
                }
                for( index_t k = n; k > 0; k-- )
                {
                    border.push_back( at( n, k ) );
                }
                for( index_t k = n; k > 0; k-- )
                {
                    border.push_back( at( k, 0 ) );
                }
                polygons.push_back( std::move( border ) );
            }
        }
        return { points, polygons };
    }

    // The meshes of this test are named "messy" unless told otherwise.
    std::unique_ptr< SurfaceMesh< 3 > >
    mesh_of( const std::vector< Point3D >& points,
             const std::vector< std::vector< index_t > >& polygons,
             bool adjacencies = true,
             absl::string_view name = "messy" )
    {
        return test::surface_of( points, polygons, adjacencies, name );
    }

    // The unit cube's corners under the given triangles.
    std::unique_ptr< SurfaceMesh< 3 > >
    unit_cube_of( const std::vector< Triangle >& triangles )
    {
        return mesh_of( cube_points( point( 0, 0, 0 ), 1 ),
                        as_polygons( triangles ) );
    }

    // The unit cube with the listed cube triangles reversed.
    std::unique_ptr< SurfaceMesh< 3 > >
    cube_with_flipped_triangles( const std::vector< index_t >& flipped )
    {
        auto triangles = cube_triangles();
        for( const auto t : flipped )
        {
            std::swap( triangles[t][1], triangles[t][2] );
        }
        return unit_cube_of( triangles );
    }

    // Every triangle on its own three vertices, as read from STL.
    std::unique_ptr< SurfaceMesh< 3 > >
    triangle_soup( const SurfaceMesh< 3 >& welded,
                   bool adjacencies,
                   double jitter = 0,
                   unsigned seed = 7 )
    {
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > noise{ -jitter, jitter };
        std::vector< Point3D > points;
        std::vector< std::vector< index_t > > polygons;
        for( index_t p = 0; p < welded.nb_polygons(); p++ )
        {
            std::vector< index_t > polygon;
            for( const auto v : welded.polygon_vertices( p ) )
            {
                const auto& at = welded.point( v );
                polygon.push_back( static_cast< index_t >( points.size() ) );
                points.push_back( point( at.value( 0 ) + noise( random ),
                                         at.value( 1 ) + noise( random ),
                                         at.value( 2 ) + noise( random ) ) );
            }
            polygons.push_back( std::move( polygon ) );
        }
        return mesh_of( points, polygons, adjacencies, "soup" );
    }

    // Aborts the whole run when a conversion outlives its budget: a hang
    // must show as a failure, not as a stuck test binary.
    class Watchdog
    {
      public:
        explicit Watchdog( std::string what )
            : what_( std::move( what ) ), thread_( [this] { watch(); } )
        {
        }

        ~Watchdog()
        {
            {
                std::lock_guard< std::mutex > lock{ mutex_ };
                done_ = true;
            }
            condition_.notify_one();
            thread_.join();
        }

      private:
        void watch()
        {
            std::unique_lock< std::mutex > lock{ mutex_ };
            if( !condition_.wait_for( lock,
                                      std::chrono::seconds( 300 ),
                                      [this] { return done_; } ) )
            {
                std::fprintf(
                    stderr, "conversion of %s hung\n", what_.c_str() );
                std::_Exit( 3 );
            }
        }

        std::string what_;
        std::mutex mutex_;
        std::condition_variable condition_;
        bool done_{ false };
        std::thread thread_;
    };

    // Component counts, polygons per surface and surfaces per block, for
    // failure messages.
    std::string summary( const BRep& brep )
    {
        auto text = absl::StrCat( brep.nb_corners(),
                                  " corners, ",
                                  brep.nb_lines(),
                                  " lines, ",
                                  brep.nb_surfaces(),
                                  " surfaces, ",
                                  brep.nb_blocks(),
                                  " blocks" );
        for( const auto& surface : brep.surfaces() )
        {
            absl::StrAppend( &text,
                             "\n  surface ",
                             surface.name(),
                             ": ",
                             surface.mesh().nb_polygons(),
                             " polygons, ",
                             brep.nb_boundaries( surface.id() ),
                             " boundary lines, ",
                             brep.nb_incidences( surface.id() ),
                             " blocks" );
        }
        return text;
    }

    // Converts (an exception fails the test) and checks the model and both
    // mappings.
    BRepConversionResult convert_and_check( const std::string& what,
                                            const CurveRefs& curves,
                                            const SurfaceRefs& surfaces )
    {
        Watchdog watchdog{ what };
        auto result = convert_curves_and_surfaces_into_brep( curves, surfaces );
        EXPECT_TRUE( test::check_conversion( result, surfaces, curves ) )
            << what << "\n"
            << summary( brep_of( result ) );
        return result;
    }

    BRepConversionResult convert_and_check( const std::string& what,
                                            const SurfaceRefs& surfaces )
    {
        return convert_and_check( what, {}, surfaces );
    }

    // The conversion refuses with exactly this message.
    void expect_refused( const std::string& what,
                         const CurveRefs& curves,
                         const SurfaceRefs& surfaces,
                         const std::string& message )
    {
        Watchdog watchdog{ what };
        test::expect_error(
            [&] { convert_curves_and_surfaces_into_brep( curves, surfaces ); },
            message );
    }

    // Volume enclosed by the block's boundary surfaces, which must be
    // oriented alike (all outwards or all inwards).
    double enclosed_volume( const BRep& brep, const Block< 3 >& block )
    {
        double volume{ 0 };
        for( const auto& surface : brep.boundaries( block ) )
        {
            volume += test::fan_volume( surface.mesh(), Point3D{} );
        }
        return std::abs( volume );
    }

    std::unique_ptr< SurfaceMesh< 3 > >
    jittered( const SurfaceMesh< 3 >& mesh, double jitter, unsigned seed )
    {
        auto copy = mesh.clone();
        auto builder = SurfaceMeshBuilder< 3 >::create( *copy );
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > noise{ -jitter, jitter };
        for( index_t v = 0; v < copy->nb_vertices(); v++ )
        {
            const auto& at = copy->point( v );
            builder->set_point( v,
                                point( at.value( 0 ) + noise( random ),
                                       at.value( 1 ) + noise( random ),
                                       at.value( 2 ) + noise( random ) ) );
        }
        return copy;
    }

    using MessyMeshesTest = test::ConversionTest;

    TEST_F( MessyMeshesTest, empty_inputs_give_an_empty_model )
    {
        for( const bool triangulated : { true, false } )
        {
            const auto empty = test::empty_surface( triangulated, "empty" );
            EXPECT_EQ( counts_of( brep_of(
                           convert_and_check( "empty mesh", { *empty } ) ) ),
                       ( Counts{ 0, 0, 0, 0 } ) );
        }
        // Points alone make no surface either.
        const auto points_only = mesh_of(
            { point( 0, 0, 0 ), point( 1, 0, 0 ), point( 0, 0, 0 ) }, {} );
        EXPECT_EQ( counts_of( brep_of(
                       convert_and_check( "points only", { *points_only } ) ) ),
                   ( Counts{ 0, 0, 0, 0 } ) );
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check( "no input at all", {} ) ) ),
            ( Counts{ 0, 0, 0, 0 } ) );
        // The entry point for several meshes takes an empty list too.
        const auto none = convert_surfaces_into_brep( SurfaceRefs{} );
        EXPECT_EQ( counts_of( brep_of( none ) ), ( Counts{ 0, 0, 0, 0 } ) );
    }

    TEST_F( MessyMeshesTest, unused_vertices_are_ignored )
    {
        auto points = cube_points( point( 0, 0, 0 ), 1 );
        // Far away, inside the box, on top of a used corner, not finite.
        points.push_back( point( 5, 5, 5 ) );
        points.push_back( point( 0.5, 0.5, 0.5 ) );
        points.push_back( point( 1, 1, 1 ) );
        points.push_back(
            point( std::numeric_limits< double >::quiet_NaN(), 0, 0 ) );
        const auto mesh = mesh_of( points, as_polygons( cube_triangles() ) );
        const auto result = convert_and_check( "unused vertices", { *mesh } );
        EXPECT_EQ( counts_of( brep_of( result ) ), ( Counts{ 0, 0, 1, 1 } ) );
    }

    TEST_F( MessyMeshesTest, zero_area_triangle_inside_a_closed_box )
    {
        // Vertex 8 halves edge 0-1; the -y face is split at it and a flat
        // triangle (0, 1, 8) closes the gap, so every edge keeps two uses.
        auto points = cube_points( point( 0, 0, 0 ), 1 );
        points.push_back( point( 0.5, 0, 0 ) );
        auto triangles = cube_triangles();
        triangles[4] = { 0, 8, 5 };
        triangles.push_back( { 8, 1, 5 } );
        triangles.push_back( { 0, 1, 8 } );
        const auto mesh = mesh_of( points, as_polygons( triangles ) );
        const auto result = convert_and_check( "flat triangle", { *mesh } );
        EXPECT_EQ( counts_of( brep_of( result ) ), ( Counts{ 0, 0, 1, 1 } ) );
    }

    TEST_F( MessyMeshesTest, collapsed_triangles_next_to_a_closed_box )
    {
        // A vertex twice in a row: an edge of no length.
        const std::vector< std::tuple< std::string, Triangle, std::string > >
            cases{ { "triangle on a box edge, one vertex twice",
                     { 0, 1, 1 },
                     "[CornersLinesBuilderFromMeshes] Polygon 12 of mesh "
                     "'messy' repeats vertex 1 in a row" },
                   { "triangle on a face diagonal, one vertex twice",
                     { 0, 3, 3 },
                     "[CornersLinesBuilderFromMeshes] Polygon 12 of mesh "
                     "'messy' repeats vertex 3 in a row" } };
        for( const auto& c : cases )
        {
            auto triangles = cube_triangles();
            triangles.push_back( std::get< 1 >( c ) );
            const auto mesh = unit_cube_of( triangles );
            expect_refused(
                std::get< 0 >( c ), {}, { *mesh }, std::get< 2 >( c ) );
        }
    }

    TEST_F( MessyMeshesTest, triangle_soup_box_gives_one_block )
    {
        const auto welded = closed_cube();
        for( const bool adjacencies : { false, true } )
        {
            for( const double jitter : { 0.0, 1e-8 } )
            {
                const auto soup = triangle_soup( *welded, adjacencies, jitter );
                const auto what = absl::StrCat( "triangle soup, adjacencies ",
                                                adjacencies,
                                                ", jitter ",
                                                jitter );
                const auto result = convert_and_check( what, { *soup } );
                // Points weld, polygons join only through stored adjacency:
                // one surface per triangle, lines along the 12 edges and 6
                // face diagonals, one block.
                EXPECT_EQ( counts_of( brep_of( result ) ),
                           ( Counts{ 8, 18, 12, 1 } ) )
                    << what;
            }
        }
    }

    TEST_F( MessyMeshesTest, three_triangles_on_one_edge )
    {
        // Three fins around the z axis edge (0,0,0)-(0,0,1).
        const auto mesh = mesh_of( { point( 0, 0, 0 ),
                                     point( 0, 0, 1 ),
                                     point( 1, 0, 0 ),
                                     point( -1, 1, 0 ),
                                     point( -1, -1, 0 ) },
                                   { { 0, 1, 2 }, { 1, 0, 3 }, { 0, 1, 4 } } );
        const auto result = convert_and_check( "non-manifold edge", { *mesh } );
        const auto& brep = brep_of( result );
        // The shared edge is one line bounding all three, each fin's outer
        // edges another.
        EXPECT_EQ( counts_of( brep ), ( Counts{ 2, 4, 3, 0 } ) );
        index_t shared_lines{ 0 };
        for( const auto& line : brep.lines() )
        {
            if( brep.nb_incidences( line.id() ) == 3 )
            {
                shared_lines++;
            }
        }
        EXPECT_EQ( shared_lines, 1 );
    }

    TEST_F( MessyMeshesTest, boxes_touching_at_a_corner )
    {
        // One mesh: the corner (1, 1, 1) is a single vertex of both boxes.
        auto points = cube_points( point( 0, 0, 0 ), 1 );
        const auto second = cube_points( point( 1, 1, 1 ), 1 );
        points.insert( points.end(), second.begin() + 1, second.end() );
        auto triangles = cube_triangles();
        for( const auto& t : cube_triangles() )
        {
            Triangle shifted;
            for( const index_t k : { 0u, 1u, 2u } )
            {
                shifted[k] = t[k] == 0 ? 7 : t[k] + 7;
            }
            triangles.push_back( shifted );
        }
        const auto mesh = mesh_of( points, as_polygons( triangles ) );
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "non-manifold vertex, one mesh", { *mesh } ) ) ),
                   ( Counts{ 0, 0, 2, 2 } ) );

        const auto left = closed_cube( point( 0, 0, 0 ), 1, "left" );
        const auto right = closed_cube( point( 1, 1, 1 ), 1, "right" );
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check(
                "non-manifold vertex, two meshes", { *left, *right } ) ) ),
            ( Counts{ 0, 0, 2, 2 } ) );
    }

    TEST_F( MessyMeshesTest, inconsistently_oriented_closed_box )
    {
        const std::vector< std::pair< std::string, std::vector< index_t > > >
            cases{ { "one triangle flipped", { 3 } },
                   { "one face flipped", { 10, 11 } } };
        for( const auto& c : cases )
        {
            const auto mesh = cube_with_flipped_triangles( c.second );
            const auto result = convert_and_check( c.first, { *mesh } );
            EXPECT_EQ( counts_of( brep_of( result ) ),
                       ( Counts{ 0, 0, 1, 1 } ) )
                << c.first;
        }
    }

    TEST_F( MessyMeshesTest, box_with_a_hole_builds_no_block )
    {
        auto triangles = cube_triangles();
        triangles.erase( triangles.begin() + 2 );
        const auto mesh = unit_cube_of( triangles );
        const auto result = convert_and_check( "box with a hole", { *mesh } );
        // The hole's rim is one closed line without corner.
        EXPECT_EQ( counts_of( brep_of( result ) ), ( Counts{ 0, 1, 1, 0 } ) );
    }

    TEST_F( MessyMeshesTest, two_identical_boxes_merge_into_one )
    {
        const auto first = closed_cube( point( 0, 0, 0 ), 1, "first" );
        const auto second = closed_cube( point( 0, 0, 0 ), 1, "second" );
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "two identical boxes", { *first, *second } ) ) ),
                   ( Counts{ 0, 0, 1, 1 } ) );
        // The same mesh listed twice converts as it alone.
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "one box listed twice", { *first, *first } ) ) ),
                   ( Counts{ 0, 0, 1, 1 } ) );
    }

    TEST_F( MessyMeshesTest, boxes_sharing_only_an_edge )
    {
        const auto left = closed_cube( point( 0, 0, 0 ), 1, "left" );
        const auto right = closed_cube( point( 1, 1, 0 ), 1, "right" );
        const auto result =
            convert_and_check( "boxes sharing an edge", { *left, *right } );
        // The shared edge is a line between two corners, internal to both
        // surfaces.
        EXPECT_EQ( counts_of( brep_of( result ) ), ( Counts{ 2, 1, 2, 2 } ) );
    }

    TEST_F( MessyMeshesTest, box_with_messy_curves )
    {
        const auto box = closed_cube();
        const auto crossing = curve_of(
            { point( -1, 0.5, 0.5 ), point( 2, 0.5, 0.5 ) }, { { 0, 1 } } );
        const auto zero_length =
            curve_of( { point( 2, 2, 2 ), point( 2, 2, 2 ), point( 3, 2, 2 ) },
                      { { 0, 1 }, { 1, 2 } } );
        const auto lonely = curve_of( { point( 0.5, 0.5, 0.5 ) }, {} );
        // Along a box edge, through a box corner.
        const auto on_edge =
            curve_of( { point( 0, 0, 0 ), point( 1, 0, 0 ) }, { { 0, 1 } } );
        const std::vector<
            std::tuple< std::string, const EdgedCurve< 3 >*, Counts > >
            cases{
                // A free line, inside the block.
                { "curve crossing the box", crossing.get(), { 2, 1, 1, 1 } },
                // The zero-length edge loops on its corner.
                { "curve with a zero-length edge",
                  zero_length.get(),
                  { 2, 2, 1, 1 } },
                { "curve of one vertex", lonely.get(), { 0, 0, 1, 1 } },
                // Internal to the box's surface, which is cut along it.
                { "curve along a box edge", on_edge.get(), { 2, 1, 1, 1 } } };
        for( const auto& c : cases )
        {
            const auto& what = std::get< 0 >( c );
            const auto result =
                convert_and_check( what, { *std::get< 1 >( c ) }, { *box } );
            EXPECT_EQ( counts_of( brep_of( result ) ), std::get< 2 >( c ) )
                << what;
        }
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "single-vertex curve alone", { *lonely }, {} ) ) ),
                   ( Counts{ 0, 0, 0, 0 } ) );
        // The same curve listed twice converts as it alone: its vertices
        // and edges map once each.
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check(
                "curve listed twice", { *crossing, *crossing }, { *box } ) ) ),
            ( Counts{ 2, 1, 1, 1 } ) );
    }

    TEST_F( MessyMeshesTest, jittered_fine_box )
    {
        const auto fine = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 8, false, "fine" );
        for( const double jitter : { 5e-8, 5e-6 } )
        {
            const auto welded = jittered( *fine, jitter, 11 );
            const auto what = absl::StrCat( "jittered welded box ", jitter );
            EXPECT_EQ(
                counts_of( brep_of( convert_and_check( what, { *welded } ) ) ),
                ( Counts{ 0, 0, 1, 1 } ) )
                << what;
        }
        // Unwelded, one surface per triangle: below the merge distance the
        // copies weld back into a closed shell of 108 triangles; above it
        // most stay apart, each bounded by a closed line, and a few points
        // that the jitter left close weld into corners.
        const auto small_fine = make_box_mesh(
            point( 0, 0, 0 ), point( 1, 1, 1 ), 3, false, "fine" );
        const auto close_soup = triangle_soup( *small_fine, true, 5e-8, 3 );
        EXPECT_EQ( counts_of( brep_of( convert_and_check( "jittered soup 5e-8",
                                                          { *close_soup } ) ) ),
                   ( Counts{ 56, 162, 108, 1 } ) );
        const auto loose_soup = triangle_soup( *small_fine, true, 5e-6, 3 );
        EXPECT_EQ( counts_of( brep_of( convert_and_check( "jittered soup 5e-6",
                                                          { *loose_soup } ) ) ),
                   ( Counts{ 3, 108, 108, 0 } ) );
    }

    TEST_F( MessyMeshesTest, quad_box )
    {
        const auto quads =
            mesh_of( cube_points( point( 0, 0, 0 ), 1 ), cube_quads() );
        ASSERT_FALSE( quads->is_triangulated() );
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check( "quad box", { *quads } ) ) ),
            ( Counts{ 0, 0, 1, 1 } ) );
    }

    TEST_F( MessyMeshesTest, extreme_coordinates )
    {
        const auto huge = closed_cube( point( 0, 0, 0 ), 1e9, "huge" );
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check( "1e9 box", { *huge } ) ) ),
            ( Counts{ 0, 0, 1, 1 } ) );
        const auto far = closed_cube( point( 1e9, 1e9, 1e9 ), 1, "far" );
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check( "box at 1e9", { *far } ) ) ),
            ( Counts{ 0, 0, 1, 1 } ) );
        // At the coordinate bound: volumes times extents still fit a
        // double.
        const auto bound = closed_cube( point( 0, 0, 0 ), 1e40, "bound" );
        EXPECT_EQ(
            counts_of( brep_of( convert_and_check( "1e40 box", { *bound } ) ) ),
            ( Counts{ 0, 0, 1, 1 } ) );
        // Two of them: the outside of each is told apart by a ray.
        const auto left = closed_cube( point( 0, 0, 0 ), 4e39, "left" );
        const auto right = closed_cube( point( 6e39, 0, 0 ), 4e39, "right" );
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "two 4e39 boxes", { *left, *right } ) ) ),
                   ( Counts{ 0, 0, 2, 2 } ) );
    }

    TEST_F( MessyMeshesTest, triangle_on_a_single_vertex_is_refused )
    {
        // Its edges would run from a vertex to itself: looped lines of no
        // length.
        auto triangles = cube_triangles();
        triangles.push_back( { 2, 2, 2 } );
        const auto mesh = unit_cube_of( triangles );
        expect_refused( "triangle on one vertex",
                        {},
                        { *mesh },
                        "[CornersLinesBuilderFromMeshes] Polygon 12 of mesh "
                        "'messy' repeats vertex 2 in a row" );
    }

    TEST_F( MessyMeshesTest, box_below_the_merge_distance_gives_no_block )
    {
        // Welded into one polygon on one vertex: a surface bounded by a
        // closed line on that point, no volume.
        const auto tiny = closed_cube( point( 0, 0, 0 ), 1e-9, "tiny" );
        const auto result = convert_and_check( "1e-9 box", { *tiny } );
        EXPECT_EQ( counts_of( brep_of( result ) ), ( Counts{ 0, 1, 1, 0 } ) );
        // Named after the mesh of every input polygon merged into its first
        // polygon: here all twelve.
        std::string twelve;
        for( index_t p = 0; p < tiny->nb_polygons(); p++ )
        {
            absl::StrAppend( &twelve, "tiny" );
        }
        EXPECT_EQ( brep_of( result ).surfaces().begin()->name(), twelve );
    }

    TEST_F( MessyMeshesTest, box_below_the_merge_distance_says_why_it_is_gone )
    {
        // Each corner within 1e-6 of the others: one unique vertex, no
        // block, and a warning that tells the merge is the cause.
        const auto small = closed_cube( point( 0, 0, 0 ), 1e-7, "small" );
        LogCapture log;
        const auto result = convert_and_check( "1e-7 box", { *small } );
        EXPECT_EQ( brep_of( result ).nb_unique_vertices(), 1u );
        EXPECT_EQ( brep_of( result ).nb_blocks(), 0u );
        EXPECT_EQ( log.count( Logger::Level::warn, MERGE_WARNING ), 1 );

        // The same box before a sheet of 46 x 46 cells, far from it: its
        // collapsed polygons come first among the merged ones, in a piece
        // of the scan that others end, and that other pieces follow.
        const auto sheet = test::grid_sheet( 46, 46 );
        const auto apart = closed_cube( point( -5, -5, -5 ), 1e-7, "small" );
        LogCapture sheet_log;
        const auto with_sheet =
            convert_and_check( "1e-7 box and sheet", { *apart, *sheet } );
        EXPECT_EQ( brep_of( with_sheet ).nb_blocks(), 0u );
        EXPECT_EQ( sheet_log.count( Logger::Level::warn, MERGE_WARNING ), 1 );
    }

    // Two polygons sharing an edge inside a surface run it in opposite
    // directions.
    void expect_consistent_orientation( const std::string& what,
                                        const BRep& brep )
    {
        index_t disagreements{ 0 };
        for( const auto& surface : brep.surfaces() )
        {
            const auto& mesh = surface.mesh();
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    const auto across = mesh.polygon_adjacent_edge( { p, e } );
                    if( across && mesh.polygon_edge_vertices( { p, e } )[0] !=
                                      mesh.polygon_edge_vertices( *across )[1] )
                    {
                        disagreements++;
                    }
                }
            }
        }
        EXPECT_EQ( disagreements, 0 )
            << what << ": polygon edges run the same way as their neighbour's";
    }

    TEST_F( MessyMeshesTest, inconsistent_orientations_are_repaired )
    {
        const std::vector< std::pair< std::string, std::vector< index_t > > >
            cases{ { "one triangle flipped", { 3 } },
                   { "two faces flipped", { 2, 3, 6, 7 } },
                   // One triangle per face: the signed volume sums to 0.
                   { "every other triangle flipped", { 1, 3, 5, 7, 9, 11 } } };
        for( const auto& c : cases )
        {
            const auto mesh = cube_with_flipped_triangles( c.second );
            const auto result = convert_and_check( c.first, { *mesh } );
            const auto& brep = brep_of( result );
            ASSERT_EQ( counts_of( brep ), ( Counts{ 0, 0, 1, 1 } ) ) << c.first;
            expect_consistent_orientation( c.first, brep );
            EXPECT_NEAR(
                enclosed_volume( brep, *brep.blocks().begin() ), 1, 1e-9 )
                << c.first;
        }
    }

    TEST_F( MessyMeshesTest, coincident_faces_triangulated_differently )
    {
        // The left box's face x = 1 is one quad, or two triangles cut along
        // the other diagonal than the right box's.
        const auto quads =
            mesh_of( cube_points( point( 0, 0, 0 ), 1 ), cube_quads() );
        auto flipped_diagonal = cube_triangles();
        flipped_diagonal[10] = { 1, 3, 5 };
        flipped_diagonal[11] = { 3, 7, 5 };
        const auto other_diagonal = mesh_of( cube_points( point( 0, 0, 0 ), 1 ),
                                             as_polygons( flipped_diagonal ),
                                             true,
                                             "left" );
        SurfaceMeshBuilder< 3 >::create( *quads )->set_name( "left" );
        const auto right = closed_cube( point( 1, 0, 0 ), 1, "right" );
        for( const auto* left : { quads.get(), other_diagonal.get() } )
        {
            const auto what = left->is_triangulated()
                                  ? "boxes cut along other diagonals"
                                  : "quad box beside a triangle box";
            LogCapture log;
            const auto result = convert_and_check( what, { *left, *right } );
            const auto& brep = brep_of( result );
            // Each box's five other faces, and the two copies of the shared
            // face, within one closed line around it.
            EXPECT_EQ( counts_of( brep ), ( Counts{ 0, 1, 4, 2 } ) ) << what;
            EXPECT_EQ( log.count( Logger::Level::warn, ZERO_VOLUME_WARNING ),
                       1 )
                << what;
            // Each box's inside, bounded by its other five faces and by one
            // copy of the shared face. The two copies coincide, so which
            // copy goes to which box is a tie around the lines.
            std::vector< double > lowest_x;
            std::vector< std::string > copies;
            for( const auto& block : brep.blocks() )
            {
                ASSERT_EQ( brep.nb_boundaries( block.id() ), 2 ) << what;
                double low{ 2 };
                for( const auto& surface : brep.boundaries( block ) )
                {
                    const auto& mesh = surface.mesh();
                    bool on_shared_face{ true };
                    for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                    {
                        low = std::min( low, mesh.point( v ).value( 0 ) );
                        on_shared_face =
                            on_shared_face && mesh.point( v ).value( 0 ) == 1;
                    }
                    if( on_shared_face )
                    {
                        copies.emplace_back( surface.name() );
                    }
                }
                lowest_x.push_back( low );
            }
            std::sort( lowest_x.begin(), lowest_x.end() );
            EXPECT_EQ( lowest_x, ( std::vector< double >{ 0, 1 } ) ) << what;
            std::sort( copies.begin(), copies.end() );
            EXPECT_EQ( copies,
                       ( std::vector< std::string >{ "left", "right" } ) )
                << what;
        }
    }

    // Where the quad given twice sits: in a face of n x n quads, at cell
    // (i, j). One ctest case each, so that they run side by side.
    struct SplitCopyPlacement
    {
        std::string name;
        index_t n;
        index_t i;
        index_t j;
    };

    void PrintTo( const SplitCopyPlacement& placement, std::ostream* out )
    {
        *out << placement.name;
    }

    class SoupBoxWithASplitCopy
        : public test::ConversionTest,
          public ::testing::WithParamInterface< SplitCopyPlacement >
    {
    };

    TEST_P( SoupBoxWithASplitCopy, keeps_its_block_in_any_polygon_order )
    {
        // The box unwelded (one surface per polygon), each face cut into
        // n x n quads, with one quad of the face z = 0 given once more: its
        // two copies are split into triangles along no diagonal, one or
        // both, so they meet the same four lines but not each other's
        // diagonal. The quads around continue both copies. Whatever the
        // polygon order, the inside is one block.
        const auto& placement = GetParam();
        struct Copies
        {
            std::string name;
            // Corner c of the quad is where the cube's corner c is.
            std::vector< std::vector< index_t > > cell;
            bool whole_face;
        };
        const std::vector< Copies > copies{
            { "quad and its copy split",
              { { 0, 2, 3, 1 }, { 0, 2, 3 }, { 0, 3, 1 } },
              false },
            { "quad and its copy split, reversed",
              { { 0, 2, 3, 1 }, { 0, 3, 2 }, { 0, 1, 3 } },
              false },
            { "quad and its copy split along the other diagonal",
              { { 0, 2, 3, 1 }, { 0, 2, 1 }, { 2, 3, 1 } },
              false },
            { "quad and its copy split along the other diagonal, reversed",
              { { 0, 2, 3, 1 }, { 0, 1, 2 }, { 2, 1, 3 } },
              false },
            { "quad and copy split along other diagonals",
              { { 0, 2, 3 }, { 0, 3, 1 }, { 0, 2, 1 }, { 2, 3, 1 } },
              false },
            // A third copy, lying across the lines of the other two.
            { "quad and its copy split, whole face once more",
              { { 0, 2, 3, 1 }, { 0, 2, 3 }, { 0, 3, 1 } },
              true } };
        for( const auto& copy : copies )
        {
            const auto what = absl::StrCat( placement.name, ", ", copy.name );
            const auto box = gridded_cube( placement.n,
                                           placement.i,
                                           placement.j,
                                           copy.cell,
                                           copy.whole_face );
            index_t nb_wrong{ 0 };
            for( unsigned seed = 0; seed < 60; seed++ )
            {
                auto polygons = box.second;
                std::mt19937 random{ seed };
                std::shuffle( polygons.begin(), polygons.end(), random );
                const auto soup = mesh_of( box.first, polygons, false );
                const LogCapture quiet;
                const auto result = convert_and_check(
                    absl::StrCat( what, ", order ", seed ), { *soup } );
                if( brep_of( result ).nb_blocks() != 1 )
                {
                    nb_wrong++;
                }
            }
            EXPECT_EQ( nb_wrong, 0u ) << what;
        }
    }

    INSTANTIATE_TEST_SUITE_P(
        Placements,
        SoupBoxWithASplitCopy,
        ::testing::Values(
            SplitCopyPlacement{ "face_of_1x1", 1, 0, 0 },
            SplitCopyPlacement{ "face_of_2x2_at_a_corner", 2, 0, 0 },
            SplitCopyPlacement{ "face_of_3x3_at_a_corner", 3, 0, 0 },
            SplitCopyPlacement{ "face_of_3x3_on_an_edge", 3, 1, 0 },
            SplitCopyPlacement{ "face_of_3x3_in_the_middle", 3, 1, 1 } ),
        []( const ::testing::TestParamInfo< SplitCopyPlacement >& info )
        { return info.param.name; } );

    TEST_F( MessyMeshesTest, non_finite_coordinates_are_refused )
    {
        for( const double bad : { std::numeric_limits< double >::quiet_NaN(),
                                  std::numeric_limits< double >::infinity() } )
        {
            auto points = cube_points( point( 0, 0, 0 ), 1 );
            points[7] = point( bad, 1, 1 );
            const auto mesh =
                mesh_of( points, as_polygons( cube_triangles() ) );
            expect_refused( "non-finite vertex",
                            {},
                            { *mesh },
                            "[CornersLinesBuilderFromMeshes] Vertex 7 of mesh "
                            "'messy' has a non-finite coordinate" );
            // Refused before anything was written on the caller's mesh.
            EXPECT_TRUE(
                mesh->polygon_attribute_manager().attribute_names().empty() );

            // Unnamed, among several meshes: named by its uuid.
            const auto unnamed =
                mesh_of( points, as_polygons( cube_triangles() ), true, "" );
            const auto box = closed_cube( point( 5, 5, 5 ) );
            expect_refused(
                "non-finite vertex, merged",
                {},
                { *box, *unnamed },
                absl::StrCat(
                    "[CornersLinesBuilderFromMeshes] Vertex 7 of mesh '",
                    unnamed->id().string(),
                    "' has a non-finite coordinate" ) );

            // A curve point that an edge uses.
            const auto curve = curve_of(
                { point( 2, 0, 0 ), point( 3, bad, 0 ) }, { { 0, 1 } } );
            expect_refused(
                "non-finite curve point",
                { *curve },
                { *box },
                absl::StrCat(
                    "[CornersLinesBuilderFromMeshes] Vertex 1 of curve '",
                    curve->id().string(),
                    "' has a non-finite coordinate" ) );
        }
    }

    TEST_F( MessyMeshesTest, coordinates_beyond_the_bound_are_refused )
    {
        // Finite, but no length between them is: the farthest coordinate
        // is named, the smallest vertex on a tie.
        auto points = cube_points( point( 0, 0, 0 ), 1 );
        points[0] = point( -9e307, 0, 0 );
        points[7] = point( 9e307, 1, 1 );
        const auto mesh = mesh_of( points, as_polygons( cube_triangles() ) );
        expect_refused( "extent past the largest double",
                        {},
                        { *mesh },
                        "[CornersLinesBuilderFromMeshes] Coordinates must lie "
                        "within [-1e+40, 1e+40]: vertex 0 of mesh 'messy' has "
                        "-9e+307" );
        // Just beyond the bound, in the second mesh, or on a curve.
        auto near = cube_points( point( 0, 0, 0 ), 1 );
        near[3] = point( 0, -1.5e40, 0 );
        const auto beyond = mesh_of( near, as_polygons( cube_triangles() ) );
        const auto box = closed_cube( point( 5, 5, 5 ) );
        expect_refused( "just beyond the bound",
                        {},
                        { *box, *beyond },
                        "[CornersLinesBuilderFromMeshes] Coordinates must lie "
                        "within [-1e+40, 1e+40]: vertex 3 of mesh 'messy' has "
                        "-1.5e+40" );
        const auto curve =
            curve_of( { point( 2, 0, 0 ), point( 3, 0, 2e40 ) }, { { 0, 1 } } );
        expect_refused( "curve beyond the bound",
                        { *curve },
                        { *box },
                        absl::StrCat( "[CornersLinesBuilderFromMeshes] "
                                      "Coordinates must lie within [-1e+40, "
                                      "1e+40]: vertex 1 of curve '",
                                      curve->id().string(),
                                      "' has 2e+40" ) );
        // Unused, such points are ignored, and the copies of the used ones
        // still merge: a surface per triangle, all bounding one block.
        const auto soup = triangle_soup( *closed_cube(), false );
        std::vector< Point3D > unused;
        for( index_t v = 0; v < soup->nb_vertices(); v++ )
        {
            unused.push_back( soup->point( v ) );
        }
        unused.push_back( point( -1e308, 0, 0 ) );
        unused.push_back( point( 1e308, 0, 0 ) );
        std::vector< std::vector< index_t > > polygons;
        for( index_t p = 0; p < soup->nb_polygons(); p++ )
        {
            polygons.push_back( soup->polygon_vertices( p ) );
        }
        const auto welded = mesh_of( unused, polygons, false );
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "unused points far apart", { *welded } ) ) ),
                   ( Counts{ 8, 18, 12, 1 } ) );
    }

    // Polygon 0 lists no neighbour; its neighbours still list it.
    std::unique_ptr< SurfaceMesh< 3 > > box_with_one_sided_adjacency()
    {
        auto box = closed_cube();
        auto builder = SurfaceMeshBuilder< 3 >::create( *box );
        for( const local_index_t e : { 0, 1, 2 } )
        {
            builder->set_polygon_adjacent( { 0, e }, INVALID_INDEX );
        }
        return box;
    }

    TEST_F( MessyMeshesTest, one_sided_adjacency_among_several_meshes )
    {
        // Merging rebuilds the adjacency of several inputs.
        const auto box = box_with_one_sided_adjacency();
        const auto far = closed_cube( point( 5, 5, 5 ), 1, "far" );
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "one-sided adjacency, merged", { *box, *far } ) ) ),
                   ( Counts{ 0, 0, 2, 2 } ) );
    }

    TEST_F( MessyMeshesTest, one_sided_adjacency_in_a_single_mesh )
    {
        const auto box = box_with_one_sided_adjacency();
        EXPECT_EQ( counts_of( brep_of(
                       convert_and_check( "one-sided adjacency", { *box } ) ) ),
                   ( Counts{ 0, 0, 1, 1 } ) );
        // Polygon 0 names a neighbour that names another polygon back.
        auto crossed = closed_cube();
        SurfaceMeshBuilder< 3 >::create( *crossed )
            ->set_polygon_adjacent( { 0, 0 }, 5 );
        EXPECT_EQ( counts_of( brep_of( convert_and_check(
                       "adjacency to the wrong polygon", { *crossed } ) ) ),
                   ( Counts{ 0, 0, 1, 1 } ) );
    }
} // namespace
