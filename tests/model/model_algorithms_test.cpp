#include <algorithm>
#include <cmath>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <gtest/gtest.h>

#include "support/expect_error.h"
#include "support/mesh_queries.h"

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/infinite_line.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/component_mesh_edges.h>
#include <vorna/model/cut_along_internal_lines.h>
#include <vorna/model/find_intersections_with_boundaries.h>
#include <vorna/model/section_builder.h>
#include <vorna/model/surface_radial_sort.h>

#include "mesh/index_attribute.h"
#include "model/cube_model.h"
#include "model/model_maker.h"

namespace
{
    using namespace vorna;

    constexpr double PI = 3.14159265358979323846;

    using test::add_grid;
    using test::BRepMaker;
    using test::make_point;
    using test::SectionMaker;

    // Every component vertex lies at its unique vertex's point, and every
    // vertex of the surface is listed back by its unique vertex.
    template < typename Model, index_t D >
    void expect_unique_vertices_consistent( const Model& model,
                                            const Surface< D >& surface )
    {
        const auto& mesh = surface.mesh();
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const ComponentMeshVertex cmv{ surface.component_id(), v };
            const auto u = model.unique_vertex( cmv );
            ASSERT_NE( u, INVALID_INDEX ) << "vertex " << v;
            const auto& linked = model.component_mesh_vertices( u );
            EXPECT_NE( std::find( linked.begin(), linked.end(), cmv ),
                       linked.end() );
            for( const auto& other : linked )
            {
                if( other.component_id.id() == surface.id() )
                {
                    EXPECT_EQ( mesh.point( other.vertex ), mesh.point( v ) );
                }
            }
        }
    }

    // Adjacency is mutual and joins edges on the same two vertices.
    template < index_t D >
    void expect_adjacency_consistent( const SurfaceMesh< D >& mesh )
    {
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
            {
                const PolygonEdge edge{ p, e };
                const auto other = mesh.polygon_adjacent_edge( edge );
                if( !other )
                {
                    continue;
                }
                EXPECT_EQ( mesh.polygon_adjacent_edge( *other ), edge );
                auto a = mesh.polygon_edge_vertices( edge );
                auto b = mesh.polygon_edge_vertices( *other );
                std::sort( a.begin(), a.end() );
                std::sort( b.begin(), b.end() );
                EXPECT_EQ( a, b ) << edge.string();
            }
        }
    }

    // ---------------------------------------------------------------- sort

    // Quad wing in the half-plane at `degrees` about the z axis, between
    // z = 0 and z = 1; it runs along the axis (first edge (0,0,0) -> (0,0,1))
    // unless reversed.
    std::vector< Point3D > wing_points( double degrees, bool along )
    {
        const auto c = std::cos( degrees * PI / 180 );
        const auto s = std::sin( degrees * PI / 180 );
        const Point3D bottom{ { 0, 0, 0 } };
        const Point3D top{ { 0, 0, 1 } };
        const Point3D far_top{ { c, s, 1 } };
        const Point3D far_bottom{ { c, s, 0 } };
        if( along )
        {
            return { bottom, top, far_top, far_bottom };
        }
        return { top, bottom, far_bottom, far_top };
    }

    // The wing as a surface of one quad.
    uuid add_wing( BRepMaker& maker, double degrees, bool along )
    {
        return maker.add_surface( wing_points( degrees, along ),
                                  { { 0, 1, 2, 3 } } );
    }

    // The line bounds each of the surfaces.
    void bound( BRepMaker& maker,
                const uuid& line,
                std::initializer_list< uuid > surfaces )
    {
        for( const auto& surface : surfaces )
        {
            maker.builder.add_line_surface_boundary_relationship(
                maker.model.line( line ), maker.model.surface( surface ) );
        }
    }

    // Each position's side faces the sector the sort claims: decreasing
    // angle for even positions, increasing angle for odd ones (axis z).
    void expect_sides_face_their_sectors( const BRep& brep,
                                          const SortedSurfaces& sorted )
    {
        const Vector3D axis{ { 0, 0, 1 } };
        for( index_t p = 0; p < sorted.surfaces.size(); p++ )
        {
            const auto& sided = sorted.surfaces[p];
            const auto& mesh = brep.surface( sided.id ).mesh();
            const auto polygon = sided.polygon_edge.polygon_id;
            const auto normal = mesh.polygon_normal( polygon );
            const auto facing = sided.side ? normal * -1.0 : normal;
            const Vector3D to_center{ Point3D{ { 0, 0, 0.5 } },
                                      mesh.polygon_barycenter( polygon ) };
            const auto increasing = axis.cross( to_center );
            if( p % 2 == 0 )
            {
                EXPECT_LT( facing.dot( increasing ), 0 ) << "position " << p;
            }
            else
            {
                EXPECT_GT( facing.dot( increasing ), 0 ) << "position " << p;
            }
        }
    }

    std::vector< uuid > sorted_ids( const SortedSurfaces& sorted )
    {
        std::vector< uuid > ids;
        for( index_t p = 0; p < sorted.surfaces.size(); p += 2 )
        {
            EXPECT_EQ( sorted.surfaces[p].id, sorted.surfaces[p + 1].id );
            EXPECT_EQ( sorted.surfaces[p].polygon_edge,
                       sorted.surfaces[p + 1].polygon_edge );
            EXPECT_NE( sorted.surfaces[p].side, sorted.surfaces[p + 1].side );
            ids.push_back( sorted.surfaces[p].id );
        }
        return ids;
    }

    const std::vector< Point3D > z_axis{ Point3D{ { 0, 0, 0 } },
                                         Point3D{ { 0, 0, 1 } } };

    TEST( SurfaceRadialSort, LineBoundingOneSurfacePairsItsTwoSides )
    {
        BRepMaker maker;
        const auto line = maker.add_line( z_axis );
        const auto surface = add_wing( maker, 30, true );
        bound( maker, line, { surface } );

        const auto sorted =
            surface_radial_sort( maker.model, maker.model.line( line ) );
        ASSERT_EQ( sorted.surfaces.size(), 2u );
        EXPECT_EQ( sorted.next( 0 ), 1u );
        EXPECT_EQ( sorted.next( 1 ), 0u );
        // Along the line: side 0 faces increasing angle, position 1.
        EXPECT_EQ( sorted.surfaces[1], SidedSurface( surface, false ) );
        EXPECT_EQ( sorted.surfaces[1].polygon_edge, PolygonEdge( 0, 0 ) );
        EXPECT_EQ( sorted.find( SidedSurface( surface, true ) ),
                   ( absl::InlinedVector< index_t, 1 >{ 0 } ) );
        expect_sides_face_their_sectors( maker.model, sorted );
        test::expect_exact_error(
            [&sorted] { sorted.next( 2 ); },
            "[SortedSurfaces::next] Position 2 is out of range [0, 2)" );
    }

    TEST( SurfaceRadialSort, TwoAndThreeSurfacesWithMixedOrientations )
    {
        BRepMaker maker;
        const auto line = maker.add_line( z_axis );
        const auto s240 = add_wing( maker, 240, true );
        const auto s0 = add_wing( maker, 0, false );
        const auto& model_line = maker.model.line( line );
        bound( maker, line, { s240, s0 } );
        auto sorted = surface_radial_sort( maker.model, model_line );
        EXPECT_EQ( sorted_ids( sorted ), ( std::vector< uuid >{ s240, s0 } ) );
        expect_sides_face_their_sectors( maker.model, sorted );
        // The sector from 240 to 360 degrees is faced by both side 0s.
        EXPECT_EQ( sorted.surfaces[1], SidedSurface( s240, false ) );
        EXPECT_EQ( sorted.next( 1 ), 2u );
        EXPECT_EQ( sorted.surfaces[2], SidedSurface( s0, false ) );
        EXPECT_EQ( sorted.next( 3 ), 0u );
        EXPECT_EQ( sorted.next( 0 ), 3u );

        const auto s120 = add_wing( maker, 120, true );
        bound( maker, line, { s120 } );
        sorted = surface_radial_sort( maker.model, model_line );
        EXPECT_EQ( sorted_ids( sorted ),
                   ( std::vector< uuid >{ s240, s0, s120 } ) );
        expect_sides_face_their_sectors( maker.model, sorted );
        // 0 -> 120 degrees: the reversed wing's side 1, the other's side 1.
        EXPECT_EQ( sorted.surfaces[3], SidedSurface( s0, true ) );
        EXPECT_EQ( sorted.surfaces[sorted.next( 3 )],
                   SidedSurface( s120, true ) );
        EXPECT_EQ( sorted.next( 5 ), 0u );
    }

    TEST( SurfaceRadialSort, SurfaceWithTheLineInsideHasTwoWings )
    {
        BRepMaker maker;
        const auto line = maker.add_line( z_axis );
        const auto s90 = add_wing( maker, 90, true );
        const auto s270 = add_wing( maker, 270, false );
        // A sheet in the plane y = 0 with normals along -y: quad 0 over
        // x > 0 (reversed along the line), quad 1 over x < 0 (along it).
        const auto sheet =
            maker.add_surface( { Point3D{ { 0, 0, 0 } },
                                 Point3D{ { 0, 0, 1 } },
                                 Point3D{ { 1, 0, 1 } },
                                 Point3D{ { 1, 0, 0 } },
                                 Point3D{ { -1, 0, 1 } },
                                 Point3D{ { -1, 0, 0 } } },
                               { { 0, 3, 2, 1 }, { 0, 1, 4, 5 } } );
        const auto& model_line = maker.model.line( line );
        maker.builder.add_line_surface_internal_relationship(
            model_line, maker.model.surface( sheet ) );
        bound( maker, line, { s90, s270 } );
        auto sorted = surface_radial_sort( maker.model, model_line );
        // Incidences first: the 90 degree wing leads.
        EXPECT_EQ( sorted_ids( sorted ),
                   ( std::vector< uuid >{ s90, sheet, s270, sheet } ) );
        expect_sides_face_their_sectors( maker.model, sorted );
        EXPECT_EQ( sorted.surfaces[2].polygon_edge, PolygonEdge( 1, 0 ) );
        EXPECT_EQ( sorted.surfaces[6].polygon_edge, PolygonEdge( 0, 3 ) );
        EXPECT_EQ( sorted.find( SidedSurface( sheet, false ) ),
                   ( absl::InlinedVector< index_t, 1 >{ 3, 6 } ) );
        EXPECT_EQ( sorted.find( SidedSurface( sheet, true ) ),
                   ( absl::InlinedVector< index_t, 1 >{ 2, 7 } ) );
        EXPECT_EQ( sorted.next( 7 ), 0u );

        // Also listed as bounded by the line: still taken once.
        bound( maker, line, { sheet } );
        sorted = surface_radial_sort( maker.model, model_line );
        EXPECT_EQ( sorted.surfaces.size(), 8u );
        expect_sides_face_their_sectors( maker.model, sorted );
    }

    TEST( SurfaceRadialSort, CoincidentWingsStackByCreationRank )
    {
        // Two copies at 0 degrees (one reversed) and two at 180 degrees,
        // related to the line in the reverse of their creation order. Each
        // pair stacks along the plane's canonical normal +y, later surfaces
        // higher: ascending rank where t x w = +y (wings along +x), descending
        // where t x w = -y.
        BRepMaker maker;
        const auto line = maker.add_line( z_axis );
        const auto first0 = add_wing( maker, 0, true );
        const auto second0 = add_wing( maker, 0, false );
        const auto first180 = add_wing( maker, 180, true );
        const auto second180 = add_wing( maker, 180, true );
        const auto& model_line = maker.model.line( line );
        bound( maker, line, { second180, first180, second0, first0 } );
        const auto sorted = surface_radial_sort( maker.model, model_line );
        EXPECT_EQ(
            sorted_ids( sorted ),
            ( std::vector< uuid >{ second180, first180, first0, second0 } ) );
        expect_sides_face_their_sectors( maker.model, sorted );
    }

    TEST( SurfaceRadialSort, CopyRoundedJustBelowAFullTurnTiesWithTheFirst )
    {
        // A copy of the 5 degree wing reaching 2.7 times as far: in the same
        // half-plane, but its direction rounds to an angle a hair below a
        // full turn from the first wing's. It still ties with the first
        // wing (stacked by rank, later higher along +y), not after the
        // 95 degree wing.
        BRepMaker maker;
        const auto line = maker.add_line( z_axis );
        const auto first = add_wing( maker, 5, true );
        auto points = wing_points( 5, true );
        for( const index_t far : { 2u, 3u } )
        {
            points[far] = Point3D{ { 2.7 * points[far].value( 0 ),
                                     2.7 * points[far].value( 1 ),
                                     points[far].value( 2 ) } };
        }
        const auto copy = maker.add_surface( points, { { 0, 1, 2, 3 } } );
        const auto other = add_wing( maker, 95, true );
        bound( maker, line, { first, copy, other } );
        const auto sorted =
            surface_radial_sort( maker.model, maker.model.line( line ) );
        EXPECT_EQ( sorted_ids( sorted ),
                   ( std::vector< uuid >{ first, copy, other } ) );
        expect_sides_face_their_sectors( maker.model, sorted );
    }

    TEST( SurfaceRadialSort, DegenerateLinesGiveAnEmptySort )
    {
        BRepMaker maker;
        const auto empty = maker.model.line( maker.builder.add_line() ).id();
        EXPECT_TRUE(
            surface_radial_sort( maker.model, maker.model.line( empty ) )
                .surfaces.empty() );
        const auto flat = maker.add_line(
            { Point3D{ { 0, 0, 0 } }, Point3D{ { 0, 0, 0 } } } );
        const auto sorted =
            surface_radial_sort( maker.model, maker.model.line( flat ) );
        EXPECT_TRUE( sorted.surfaces.empty() );
        EXPECT_THROW( sorted.next( 0 ), CorvaneException );
    }

    TEST( SurfaceRadialSort, AtCubeEdgesInsidePairsWithInside )
    {
        const auto cube = test::build_cube_model();
        for( const auto& line : cube.brep.lines() )
        {
            const auto sorted = surface_radial_sort( cube.brep, line );
            ASSERT_EQ( sorted.surfaces.size(), 4u );
            for( index_t p = 0; p < 4; p++ )
            {
                const auto& paired = sorted.surfaces[sorted.next( p )];
                // Normals point outwards: side 1 is inside.
                EXPECT_EQ( paired.side, sorted.surfaces[p].side );
                EXPECT_NE( paired.id, sorted.surfaces[p].id );
            }
        }
    }

    // ----------------------------------------------------- intersections

    using Crossings =
        absl::flat_hash_map< uuid,
                             std::vector< RayTracing3D::PolygonDistance > >;

    Crossings cube_crossings( const test::CubeModel& cube,
                              const Vector3D& direction,
                              const Point3D& origin )
    {
        return find_intersections_with_boundaries(
            { direction, origin }, cube.brep, cube.brep.block( cube.block ) );
    }

    // Face order of the fixture: -z, +z, -y, +y, -x, +x.
    enum Face : index_t
    {
        minus_z,
        plus_z,
        minus_y,
        plus_y,
        minus_x,
        plus_x
    };

    void expect_sorted( const Crossings& crossings )
    {
        for( const auto& entry : crossings )
        {
            EXPECT_FALSE( entry.second.empty() );
            EXPECT_TRUE( std::is_sorted( entry.second.begin(),
                                         entry.second.end(),
                                         []( const auto& a, const auto& b )
                                         {
                                             return a.distance != b.distance
                                                        ? a.distance <
                                                              b.distance
                                                        : a.polygon < b.polygon;
                                         } ) );
        }
    }

    TEST( FindIntersectionsWithBoundaries, ThroughFaces )
    {
        const auto cube = test::build_cube_model();
        const auto crossings = cube_crossings(
            cube, Vector3D{ { 2, 0, 0 } }, Point3D{ { 0.5, 0.3, 0.6 } } );
        ASSERT_EQ( crossings.size(), 2u );
        const auto& back = crossings.at( cube.surfaces[minus_x] );
        const auto& front = crossings.at( cube.surfaces[plus_x] );
        ASSERT_EQ( back.size(), 1u );
        ASSERT_EQ( front.size(), 1u );
        EXPECT_NEAR( back[0].distance, -0.5, 1e-12 );
        EXPECT_NEAR( front[0].distance, 0.5, 1e-12 );
        EXPECT_EQ( back[0].position, Position::inside );
        EXPECT_NEAR( front[0].point.value( 1 ), 0.3, 1e-12 );

        EXPECT_TRUE( cube_crossings( cube,
                                     Vector3D{ { 1, 0, 0 } },
                                     Point3D{ { 0.5, 2, 0.5 } } )
                         .empty() );
    }

    TEST( FindIntersectionsWithBoundaries, ThroughSharedEdgesAndVertices )
    {
        const auto cube = test::build_cube_model();
        // y = z: the diagonals splitting the x faces into two triangles.
        const auto on_edges = cube_crossings(
            cube, Vector3D{ { 1, 0, 0 } }, Point3D{ { 0.5, 0.25, 0.25 } } );
        ASSERT_EQ( on_edges.size(), 2u );
        for( const auto face : { minus_x, plus_x } )
        {
            const auto& list = on_edges.at( cube.surfaces[face] );
            ASSERT_EQ( list.size(), 2u );
            EXPECT_EQ( list[0].polygon, 0u );
            EXPECT_EQ( list[1].polygon, 1u );
            for( const auto& crossing : list )
            {
                EXPECT_EQ( crossing.position, Position::edge0 );
                EXPECT_EQ( crossing.point, list[0].point );
            }
        }
        expect_sorted( on_edges );

        // The main diagonal meets corners 0 and 7, each on three faces.
        const auto on_vertices = cube_crossings(
            cube, Vector3D{ { 1, 1, 1 } }, Point3D{ { 0.5, 0.5, 0.5 } } );
        EXPECT_EQ( on_vertices.size(), 6u );
        expect_sorted( on_vertices );
        for( const auto& entry : on_vertices )
        {
            for( const auto& crossing : entry.second )
            {
                EXPECT_EQ( crossing.position, Position::vertex0 );
                const auto corner = crossing.distance < 0
                                        ? Point3D{ { 0, 0, 0 } }
                                        : Point3D{ { 1, 1, 1 } };
                EXPECT_EQ( crossing.point, corner );
                EXPECT_NEAR(
                    std::fabs( crossing.distance ), std::sqrt( 0.75 ), 1e-12 );
            }
        }
    }

    TEST( FindIntersectionsWithBoundaries, LineInAFacePlaneIsParallel )
    {
        const auto cube = test::build_cube_model();
        const auto crossings = cube_crossings(
            cube, Vector3D{ { 1, 0, 0 } }, Point3D{ { 0.5, 0.7, 0 } } );
        const auto& bottom = crossings.at( cube.surfaces[minus_z] );
        ASSERT_FALSE( bottom.empty() );
        for( const auto& crossing : bottom )
        {
            EXPECT_EQ( static_cast< int >( crossing.position ), 19 );
        }
        expect_sorted( crossings );
    }

    // ---------------------------------------------------------------- cut

    using Pairs =
        std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >;

    // The points (0, 2) to (4, 2): across the middle of make_grid( 4 ).
    std::vector< Point< 3 > > line_across_the_grid()
    {
        std::vector< Point< 3 > > points;
        for( index_t i = 0; i <= 4; i++ )
        {
            points.push_back( make_point< 3 >( i, 2 ) );
        }
        return points;
    }

    TEST( CutAlongInternalLines, LineAcrossASurface )
    {
        BRepMaker maker;
        const auto id = add_grid( maker, 4 );
        const auto untouched = add_grid( maker, 4 );
        maker.add_internal_line( id, line_across_the_grid() );
        const auto& surface = maker.model.surface( id );
        const auto& mesh = surface.mesh();
        auto attribute = std::make_shared< test::IndexAttribute >();
        mesh.vertex_attribute_manager().register_attribute( attribute, "tag" );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            attribute->set_value( v, 100 + v );
        }
        const auto nb_borders = test::nb_border_edges( mesh );

        const auto pairs =
            detail::CutAlongInternalLines< BRep, BRepBuilder, 3 >{ maker.model }
                .cut_all_surfaces();

        ASSERT_EQ( pairs.size(), 5u );
        for( index_t k = 0; k < 5; k++ )
        {
            EXPECT_EQ( pairs[k].first,
                       ComponentMeshVertex( surface.component_id(), 10 + k ) );
            EXPECT_EQ( pairs[k].second,
                       ComponentMeshVertex( surface.component_id(), 25 + k ) );
            EXPECT_EQ( attribute->value( 25 + k ), 110 + k );
            EXPECT_EQ( maker.model.unique_vertex( pairs[k].first ),
                       maker.model.unique_vertex( pairs[k].second ) );
            const auto uses = maker.model.component_mesh_vertices(
                maker.model.unique_vertex( pairs[k].first ), "Surface" );
            EXPECT_EQ( uses.size(), 3u ); // two sides + untouched surface
        }
        EXPECT_EQ( mesh.nb_vertices(), 30u );
        EXPECT_EQ( mesh.nb_polygons(), 32u );
        // The lower rows keep the original vertices, the upper ones the
        // copies, and the eight edges along the line became borders.
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const auto v : mesh.polygon_vertices( p ) )
            {
                const bool upper = p >= 16;
                EXPECT_FALSE( upper && v >= 10 && v < 15 ) << p;
                EXPECT_FALSE( !upper && v >= 25 ) << p;
            }
        }
        EXPECT_EQ( test::nb_border_edges( mesh ), nb_borders + 8 );
        expect_adjacency_consistent( mesh );
        expect_unique_vertices_consistent( maker.model, surface );
        EXPECT_EQ( maker.model.surface( untouched ).mesh().nb_vertices(), 25u );
    }

    TEST( CutAlongInternalLines, MixedOrientationSplitsEachVertexOnce )
    {
        // Every other triangle of the grid reversed: neighbours meet along
        // edges running the same way, so a fan around a vertex joins
        // through the edges that start at the vertex and those that end
        // there alike. Each of the line's five vertices gets one copy.
        BRepMaker maker;
        auto grid = test::make_grid< 3 >( 4 );
        for( index_t t = 1; t < grid.second.size(); t += 2 )
        {
            std::reverse( grid.second[t].begin(), grid.second[t].end() );
        }
        const auto id = maker.add_surface( grid.first, grid.second );
        maker.add_internal_line( id, line_across_the_grid() );
        const auto& mesh = maker.model.surface( id ).mesh();
        const auto nb_borders = test::nb_border_edges( mesh );

        const auto pairs =
            detail::CutAlongInternalLines< BRep, BRepBuilder, 3 >{ maker.model }
                .cut_all_surfaces();

        EXPECT_EQ( pairs.size(), 5u );
        EXPECT_EQ( mesh.nb_vertices(), 30u );
        EXPECT_EQ( test::nb_border_edges( mesh ), nb_borders + 8 );
        expect_unique_vertices_consistent( maker.model,
                                           maker.model.surface( id ) );
    }

    TEST( CutAlongInternalLines, LineEndingInsideASurfaceKeepsItsTip )
    {
        BRepMaker maker;
        const auto id = add_grid( maker, 4 );
        maker.add_internal_line( id,
                                 { make_point< 3 >( 0, 2 ),
                                   make_point< 3 >( 1, 2 ),
                                   make_point< 3 >( 2, 2 ) } );
        const auto& surface = maker.model.surface( id );

        const auto pairs =
            detail::CutAlongInternalLines< BRep, BRepBuilder, 3 >{ maker.model }
                .cut_all_surfaces();

        const auto sid = surface.component_id();
        EXPECT_EQ( pairs,
                   ( Pairs{ { { sid, 10 }, { sid, 25 } },
                            { { sid, 11 }, { sid, 26 } } } ) );
        const auto& mesh = surface.mesh();
        EXPECT_EQ( mesh.nb_vertices(), 27u );
        // The tip is still shared by the polygons on both sides.
        const auto tip = make_point< 3 >( 2, 2 );
        EXPECT_EQ(
            maker.model
                .component_mesh_vertices( maker.uniques.at( tip ), "Surface" )
                .size(),
            1u );
        EXPECT_EQ( mesh.polygons_around_vertex( 12 ).size(), 6u );
        expect_adjacency_consistent( mesh );
        expect_unique_vertices_consistent( maker.model, surface );

        // Nothing left to cut the second time.
        EXPECT_TRUE( (
            detail::CutAlongInternalLines< BRep, BRepBuilder, 3 >{ maker.model }
                .cut_all_surfaces()
                .empty() ) );
    }

    TEST( CutAlongInternalLines, SectionSlitThenComponentMeshEdges )
    {
        SectionMaker maker;
        const auto id = add_grid( maker, 2 );
        const auto line =
            maker.add_internal_line( id,
                                     { make_point< 2 >( 0, 1 ),
                                       make_point< 2 >( 1, 1 ),
                                       make_point< 2 >( 2, 1 ) } );
        const auto& surface = maker.model.surface( id );

        const auto pairs =
            detail::CutAlongInternalLines< Section, SectionBuilder, 2 >{
                maker.model }
                .cut_all_surfaces();
        ASSERT_EQ( pairs.size(), 3u );
        expect_unique_vertices_consistent( maker.model, surface );
        expect_adjacency_consistent( surface.mesh() );

        // Triangle 1 = (0, 4, 3): edge 2 runs from (0, 1) to (0, 0).
        const auto outer =
            component_mesh_edges( maker.model, surface, PolygonEdge{ 1, 2 } );
        EXPECT_TRUE( outer.line_edges.empty() );
        EXPECT_EQ( outer.surface_edges.at( id ),
                   std::vector< PolygonEdge >{ PolygonEdge( 1, 2 ) } );

        // Triangle 1's edge 1 runs along the line, from (1, 1) to (0, 1).
        const auto slit =
            component_mesh_edges( maker.model, surface, PolygonEdge{ 1, 1 } );
        EXPECT_EQ( slit.line_edges.at( line ), std::vector< index_t >{ 0 } );
        ASSERT_EQ( slit.surface_edges.size(), 1u );
        const auto& sides = slit.surface_edges.at( id );
        ASSERT_EQ( sides.size(), 2u );
        EXPECT_EQ( sides[0], PolygonEdge( 1, 1 ) );
        // Triangle 4 = (3, 4, 7) above the slit, on the copies.
        EXPECT_EQ( sides[1], PolygonEdge( 4, 0 ) );
    }

    TEST( ComponentMeshEdges, SharedEdgeAndUnlinkedVertices )
    {
        BRepMaker maker;
        const auto a = add_wing( maker, 0, true );
        const auto b = add_wing( maker, 90, false );
        const auto line = maker.add_line( z_axis );
        const auto& surface = maker.model.surface( a );
        const auto edges =
            component_mesh_edges( maker.model, surface, PolygonEdge{ 0, 0 } );
        EXPECT_EQ( edges.line_edges.at( line ), std::vector< index_t >{ 0 } );
        EXPECT_EQ( edges.surface_edges.at( a ),
                   std::vector< PolygonEdge >{ PolygonEdge( 0, 0 ) } );
        EXPECT_EQ( edges.surface_edges.at( b ),
                   std::vector< PolygonEdge >{ PolygonEdge( 0, 0 ) } );
        EXPECT_THROW(
            component_mesh_edges( maker.model, surface, PolygonEdge{ 0, 4 } ),
            CorvaneException );

        maker.builder.unset_unique_vertex( { surface.component_id(), 1 } );
        const auto none =
            component_mesh_edges( maker.model, surface, PolygonEdge{ 0, 0 } );
        EXPECT_TRUE( none.line_edges.empty() );
        EXPECT_TRUE( none.surface_edges.empty() );
    }
} // namespace
