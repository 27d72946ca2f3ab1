#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <numeric>
#include <thread>
#include <vector>

#include <absl/container/flat_hash_set.h>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/cut_along_internal_lines.h>
#include <vorna/model/surface_radial_sort.h>

#include "model/cube_model.h"
#include "model/model_maker.h"

namespace
{
    using namespace vorna;

    using test::add_grid;
    using test::BRepMaker;

    Point3D point( double x, double y, double z = 0 )
    {
        return Point3D{ { x, y, z } };
    }

    // ------------------------------------------------------------ cube sort

    // Unit cube whose face f is reversed (normal pointing inwards) when bit
    // f of `reversed` is set; each face is two triangles.
    struct MixedCube
    {
        BRepMaker maker;
        std::array< uuid, 6 > faces;
        std::array< bool, 6 > inwards{};
    };

    std::unique_ptr< MixedCube > make_cube( unsigned reversed )
    {
        auto cube = std::make_unique< MixedCube >();
        const auto& quads = test::CUBE_QUADS;
        for( index_t f = 0; f < 6; f++ )
        {
            auto quad = quads[f];
            cube->inwards[f] = ( reversed >> f ) & 1;
            if( cube->inwards[f] )
            {
                std::reverse( quad.begin(), quad.end() );
            }
            std::vector< Point3D > points;
            for( const auto v : quad )
            {
                points.push_back( test::cube_point( v ) );
            }
            cube->faces[f] =
                cube->maker.add_surface( points, { { 0, 1, 2 }, { 0, 2, 3 } } );
        }
        // The 12 edges, oriented low -> high, bounding their two faces.
        for( const auto& edge : test::cube_edges() )
        {
            const auto line = cube->maker.add_line(
                { test::cube_point( edge[0] ), test::cube_point( edge[1] ) } );
            for( index_t f = 0; f < 6; f++ )
            {
                const auto& quad = quads[f];
                if( std::find( quad.begin(), quad.end(), edge[0] ) !=
                        quad.end() &&
                    std::find( quad.begin(), quad.end(), edge[1] ) !=
                        quad.end() )
                {
                    cube->maker.builder.add_line_surface_boundary_relationship(
                        cube->maker.model.line( line ),
                        cube->maker.model.surface( cube->faces[f] ) );
                }
            }
        }
        return cube;
    }

    TEST( RadialSortEdgeCases, CubeInsidePairsWithInsideForAnyOrientation )
    {
        for( unsigned reversed : { 0u, 63u, 5u, 42u, 17u } )
        {
            const auto cube = make_cube( reversed );
            const auto& brep = cube->maker.model;
            for( const auto& line : brep.lines() )
            {
                const auto sorted = surface_radial_sort( brep, line );
                ASSERT_EQ( sorted.surfaces.size(), 4u );
                for( index_t p = 0; p < 4; p++ )
                {
                    const auto inside = [&]( const SidedSurface& s )
                    {
                        const auto f = static_cast< index_t >(
                            std::find(
                                cube->faces.begin(), cube->faces.end(), s.id ) -
                            cube->faces.begin() );
                        // Outward normals: side 1 is inside.
                        return s.side != cube->inwards[f];
                    };
                    const auto& a = sorted.surfaces[p];
                    const auto& b = sorted.surfaces[sorted.next( p )];
                    EXPECT_NE( a.id, b.id );
                    EXPECT_EQ( inside( a ), inside( b ) )
                        << "reversed " << reversed << " position " << p;
                }
            }
        }
    }

    TEST( RadialSortEdgeCases, LineEdgeWithAnUnsetEndGivesAnEmptySort )
    {
        BRepMaker maker;
        const auto line = maker.builder.add_line();
        auto mesh = maker.builder.line_mesh_builder( line );
        mesh->create_point( point( 0, 0 ) );
        const auto edge = mesh->create_edge();
        mesh->set_edge_vertex( { edge, 0 }, 0 );
        const auto sorted =
            surface_radial_sort( maker.model, maker.model.line( line ) );
        EXPECT_TRUE( sorted.surfaces.empty() );
    }

    // ----------------------------------------------------------------- cut

    // Connected components of polygons through stored adjacency; checks
    // that no two components share a vertex and returns their count.
    index_t nb_separate_parts( const SurfaceMesh< 3 >& mesh )
    {
        std::vector< index_t > part( mesh.nb_polygons(), INVALID_INDEX );
        index_t nb_parts{ 0 };
        for( index_t start = 0; start < mesh.nb_polygons(); start++ )
        {
            if( part[start] != INVALID_INDEX )
            {
                continue;
            }
            std::vector< index_t > stack{ start };
            part[start] = nb_parts;
            while( !stack.empty() )
            {
                const auto p = stack.back();
                stack.pop_back();
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    const auto adjacent = mesh.polygon_adjacent( { p, e } );
                    if( adjacent && part[*adjacent] == INVALID_INDEX )
                    {
                        part[*adjacent] = nb_parts;
                        stack.push_back( *adjacent );
                    }
                }
            }
            nb_parts++;
        }
        std::vector< index_t > vertex_part( mesh.nb_vertices(), INVALID_INDEX );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const auto v : mesh.polygon_vertices( p ) )
            {
                EXPECT_TRUE( vertex_part[v] == INVALID_INDEX ||
                             vertex_part[v] == part[p] )
                    << "vertex " << v << " shared across the cut";
                vertex_part[v] = part[p];
            }
        }
        return nb_parts;
    }

    void expect_links_consistent( const BRep& brep,
                                  const Surface< 3 >& surface )
    {
        const auto& mesh = surface.mesh();
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const ComponentMeshVertex cmv{ surface.component_id(), v };
            const auto u = brep.unique_vertex( cmv );
            ASSERT_NE( u, INVALID_INDEX );
            const auto& links = brep.component_mesh_vertices( u );
            EXPECT_EQ( std::count( links.begin(), links.end(), cmv ), 1 );
        }
    }

    using CutPairs =
        std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >;

    CutPairs cut( BRep& brep )
    {
        return detail::CutAlongInternalLines< BRep, BRepBuilder, 3 >{ brep }
            .cut_all_surfaces();
    }

    TEST( CutEdgeCases, ThreeLinesMeetingAtAVertex )
    {
        BRepMaker maker;
        const auto id = add_grid( maker, 4 );
        const auto& surface = maker.model.surface( id );
        maker.add_internal_line(
            id, { point( 0, 2 ), point( 1, 2 ), point( 2, 2 ) } );
        maker.add_internal_line(
            id, { point( 2, 2 ), point( 3, 2 ), point( 4, 2 ) } );
        maker.add_internal_line(
            id, { point( 2, 2 ), point( 2, 3 ), point( 2, 4 ) } );
        const auto pairs = cut( maker.model );
        // (0,2), (1,2), (3,2), (4,2), (2,3), (2,4): one copy each; the
        // centre two.
        EXPECT_EQ( pairs.size(), 8u );
        const auto& mesh = surface.mesh();
        EXPECT_EQ( mesh.nb_vertices(), 33u );
        EXPECT_EQ( nb_separate_parts( mesh ), 3u );
        expect_links_consistent( maker.model, surface );
        const auto center = maker.uniques.at( point( 2, 2 ) );
        EXPECT_EQ(
            maker.model.component_mesh_vertices( center, "Surface" ).size(),
            3u );
    }

    TEST( CutEdgeCases, CrossingLinesAndClosedLoop )
    {
        BRepMaker maker;
        const auto cross = add_grid( maker, 4 );
        maker.add_internal_line( cross,
                                 { point( 0, 2 ),
                                   point( 1, 2 ),
                                   point( 2, 2 ),
                                   point( 3, 2 ),
                                   point( 4, 2 ) } );
        maker.add_internal_line( cross,
                                 { point( 2, 0 ),
                                   point( 2, 1 ),
                                   point( 2, 2 ),
                                   point( 2, 3 ),
                                   point( 2, 4 ) } );

        BRepMaker loop_maker;
        const auto ring = add_grid( loop_maker, 4 );
        loop_maker.add_internal_line( ring,
                                      { point( 1, 1 ),
                                        point( 2, 1 ),
                                        point( 3, 1 ),
                                        point( 3, 2 ),
                                        point( 3, 3 ),
                                        point( 2, 3 ),
                                        point( 1, 3 ),
                                        point( 1, 2 ) },
                                      true );

        const auto cross_pairs = cut( maker.model );
        // Eight ends and inner vertices with two fans, the centre with four.
        EXPECT_EQ( cross_pairs.size(), 11u );
        EXPECT_EQ( nb_separate_parts( maker.model.surface( cross ).mesh() ),
                   4u );
        expect_links_consistent( maker.model, maker.model.surface( cross ) );

        const auto loop_pairs = cut( loop_maker.model );
        EXPECT_EQ( loop_pairs.size(), 8u );
        EXPECT_EQ( nb_separate_parts( loop_maker.model.surface( ring ).mesh() ),
                   2u );
        expect_links_consistent( loop_maker.model,
                                 loop_maker.model.surface( ring ) );
    }

    TEST( MessyModelInput, RepeatedVerticesDegeneratePolygonsAndEmptyMeshes )
    {
        BRepMaker maker;
        auto& brep = maker.model;
        // Polygon 0 repeats vertex 0; polygon 1 is flat (no normal); both
        // use the edge (0, 1) that the line runs along.
        const auto surface = maker.add_surface(
            { point( 0, 0 ), point( 1, 0 ), point( 0, 1 ), point( 2, 0 ) },
            { { 0, 1, 0, 2 }, { 1, 0, 3 }, { 0, 1, 2 } } );
        const auto empty = maker.builder.add_surface();
        const auto line = maker.add_line( { point( 0, 0 ), point( 1, 0 ) } );
        maker.builder.add_line_surface_boundary_relationship(
            brep.line( line ), brep.surface( surface ) );
        maker.builder.add_line_surface_internal_relationship(
            brep.line( line ), brep.surface( empty ) );
        const auto sorted = surface_radial_sort( brep, brep.line( line ) );
        // Four wings, two sides each: both edges of polygon 0 along the
        // line, and the edge of each other polygon; the empty surface has
        // none.
        ASSERT_EQ( sorted.surfaces.size(), 8u );
        std::vector< PolygonEdge > wings;
        for( index_t p = 0; p < sorted.surfaces.size(); p++ )
        {
            EXPECT_LT( sorted.next( p ), sorted.surfaces.size() );
            EXPECT_EQ( sorted.surfaces[p].id, surface );
            if( p % 2 == 0 )
            {
                wings.push_back( sorted.surfaces[p].polygon_edge );
            }
        }
        std::sort( wings.begin(), wings.end() );
        EXPECT_EQ( wings,
                   ( std::vector< PolygonEdge >{
                       { 0, 0 }, { 0, 1 }, { 1, 0 }, { 2, 0 } } ) );
        maker.builder.add_line_surface_internal_relationship(
            brep.line( line ), brep.surface( surface ) );
        const auto pairs = cut( brep );
        expect_links_consistent( brep, brep.surface( surface ) );
        for( const auto& pair : pairs )
        {
            EXPECT_EQ( brep.unique_vertex( pair.first ),
                       brep.unique_vertex( pair.second ) );
        }
        EXPECT_EQ( brep.surface( empty ).mesh().nb_vertices(), 0u );
    }

    // ------------------------------------------------------ unique vertices

    TEST( VertexIdentifierEdgeCases, RelinkAppendsAndCopyKeepsOrder )
    {
        BRepMaker maker;
        auto& builder = maker.builder;
        builder.create_unique_vertices( 2 );
        const auto surface = builder.add_surface();
        const ComponentID sid{ "Surface", surface };
        for( index_t v = 0; v < 3; v++ )
        {
            builder.set_unique_vertex( { sid, v }, 0 );
        }
        builder.set_unique_vertex( { sid, 1 }, 1 );
        builder.set_unique_vertex( { sid, 1 }, 0 );
        EXPECT_EQ( maker.model.component_mesh_vertices( 0 ),
                   ( std::vector< ComponentMeshVertex >{
                       { sid, 0 }, { sid, 2 }, { sid, 1 } } ) );
        BRep copy;
        const auto mapping = BRepBuilder{ copy }.copy( maker.model );
        const ComponentID cid{ "Surface",
                               mapping.at( "Surface" ).in2out( surface ) };
        EXPECT_EQ( copy.component_mesh_vertices( 0 ),
                   ( std::vector< ComponentMeshVertex >{
                       { cid, 0 }, { cid, 2 }, { cid, 1 } } ) );
        EXPECT_EQ( copy.unique_vertex( { cid, 1 } ), 0u );
    }

    TEST( RemoveBlockCleanup, DropsInternalsAndCopiesWithoutIt )
    {
        BRepMaker maker;
        auto& builder = maker.builder;
        auto& brep = maker.model;
        const auto surface = add_grid( maker, 1 );
        const auto line = maker.add_line( { point( 0, 0 ), point( 1, 0 ) } );
        const auto corner = builder.add_corner();
        const auto first = builder.add_block();
        const auto doomed = builder.add_block();
        const auto last = builder.add_block();
        builder.add_surface_block_internal_relationship(
            brep.surface( surface ), brep.block( doomed ) );
        builder.add_line_block_internal_relationship( brep.line( line ),
                                                      brep.block( doomed ) );
        builder.add_corner_block_internal_relationship( brep.corner( corner ),
                                                        brep.block( doomed ) );
        builder.add_surface_block_boundary_relationship(
            brep.surface( surface ), brep.block( last ) );
        builder.set_unique_vertex( { { "Block", doomed }, 0 }, 0 );
        builder.remove_block( brep.block( doomed ) );

        EXPECT_EQ( brep.nb_embeddings( surface ), 0u );
        EXPECT_EQ( brep.nb_embeddings( line ), 0u );
        EXPECT_EQ( brep.nb_embeddings( corner ), 0u );
        EXPECT_FALSE( brep.is_internal( surface, doomed ) );
        EXPECT_EQ( brep.nb_incidences( surface ), 1u );
        // Adding the relationship again works as on a fresh pair.
        builder.add_surface_block_internal_relationship(
            brep.surface( surface ), brep.block( first ) );
        EXPECT_TRUE( brep.is_internal( surface, first ) );

        BRep copy;
        const auto mapping = BRepBuilder{ copy }.copy( brep );
        EXPECT_EQ( copy.nb_blocks(), 2u );
        EXPECT_EQ( mapping.at( "Block" ).size(), 2u );
        const auto& blocks = mapping.at( "Block" );
        EXPECT_TRUE(
            copy.is_internal( mapping.at( "Surface" ).in2out( surface ),
                              blocks.in2out( first ) ) );
        EXPECT_TRUE(
            copy.is_boundary( mapping.at( "Surface" ).in2out( surface ),
                              blocks.in2out( last ) ) );
        EXPECT_EQ( copy.component_mesh_vertices( 0, "Block" ).size(), 0u );
    }

    // ---------------------------------------------------------- concurrency

    TEST( ModelConcurrency, ConcurrentComponentAndMeshAccess )
    {
        BRepMaker maker;
        std::vector< uuid > surfaces;
        std::vector< uuid > blocks;
        for( index_t s = 0; s < 16; s++ )
        {
            surfaces.push_back( add_grid( maker, 2 ) );
            blocks.push_back( maker.builder.add_block() );
        }
        std::atomic< index_t > total{ 0 };
        std::vector< std::thread > threads;
        for( index_t t = 0; t < 4; t++ )
        {
            threads.emplace_back(
                [&]
                {
                    for( index_t round = 0; round < 200; round++ )
                    {
                        for( index_t s = 0; s < surfaces.size(); s++ )
                        {
                            auto& surface =
                                maker.model.modifiable_surface( surfaces[s] );
                            auto& mesh = surface.get_modifiable_mesh();
                            const auto& same =
                                maker.model.surface( surfaces[s] );
                            auto& block =
                                maker.model.modifiable_block( blocks[s] );
                            total +=
                                mesh.nb_polygons() +
                                ( same.id() == surface.id() ? 1 : 0 ) +
                                block.get_modifiable_mesh().nb_polyhedra() +
                                ( mesh.impl_name().get().empty() ? 0 : 1 );
                        }
                    }
                } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        EXPECT_EQ( total.load(), 4u * 200u * 16u * ( 8u + 2u ) );
    }
} // namespace
