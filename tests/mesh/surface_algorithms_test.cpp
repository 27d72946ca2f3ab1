#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/repair_polygon_orientations.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/mesh/surface_mesh_merger.h>

#include "mesh/index_attribute.h"

namespace vorna
{
    namespace
    {
        using Points = std::vector< std::array< double, 3 > >;
        using Polygons = std::vector< std::vector< index_t > >;

        std::unique_ptr< SurfaceMesh< 3 > >
        make_surface( const Points& points,
                      const Polygons& polygons,
                      bool triangulated = false,
                      bool adjacency = true )
        {
            auto mesh =
                triangulated
                    ? SurfaceMesh< 3 >::create( "DefaultTriangulatedSurface3D" )
                    : SurfaceMesh< 3 >::create();
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            for( const auto& xyz : points )
            {
                builder->create_point( Point< 3 >{ xyz } );
            }
            for( const auto& polygon : polygons )
            {
                builder->create_polygon( polygon );
            }
            if( adjacency )
            {
                builder->compute_polygon_adjacencies();
            }
            return mesh;
        }

        // Every stored adjacency is mutual and across an edge running the
        // other way.
        void expect_consistent( const SurfaceMesh< 3 >& mesh )
        {
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    const auto other = mesh.polygon_adjacent_edge( { p, e } );
                    if( !other )
                    {
                        continue;
                    }
                    const auto mine = mesh.polygon_edge_vertices( { p, e } );
                    const auto theirs = mesh.polygon_edge_vertices( *other );
                    EXPECT_EQ( mine[0], theirs[1] ) << p << " " << int( e );
                    EXPECT_EQ( mine[1], theirs[0] ) << p << " " << int( e );
                    EXPECT_EQ( mesh.polygon_adjacent( *other ), p );
                }
            }
        }
    } // namespace

    TEST( RepairPolygonOrientations, FlipsAgainstSmallestPolygon )
    {
        // Chain 0-1-2 of triangles where 1 is reversed and 2 agrees with
        // 1, plus a separate triangle 3 with its own orientation.
        const Points points{ { 0, 0, 0 },
                             { 1, 0, 0 },
                             { 0, 1, 0 },
                             { 1, 1, 0 },
                             { 2, 1, 0 },
                             { 5, 5, 0 },
                             { 6, 5, 0 },
                             { 5, 6, 0 } };
        auto mesh = make_surface(
            points, { { 0, 1, 2 }, { 1, 2, 3 }, { 1, 3, 4 }, { 5, 7, 6 } } );
        auto attribute = std::make_shared< test::IndexAttribute >();
        mesh->polygon_attribute_manager().register_attribute( attribute,
                                                              "tag" );
        for( index_t p = 0; p < 4; p++ )
        {
            attribute->set_value( p, 10 + p );
        }

        repair_polygon_orientations( *mesh );

        EXPECT_EQ( mesh->polygon_vertices( 0 ),
                   ( std::vector< index_t >{ 0, 1, 2 } ) );
        EXPECT_EQ( mesh->polygon_vertices( 1 ),
                   ( std::vector< index_t >{ 1, 3, 2 } ) );
        EXPECT_EQ( mesh->polygon_vertices( 2 ),
                   ( std::vector< index_t >{ 1, 4, 3 } ) );
        EXPECT_EQ( mesh->polygon_vertices( 3 ),
                   ( std::vector< index_t >{ 5, 7, 6 } ) );
        expect_consistent( *mesh );
        // Adjacency moved with the edges: edge k goes to edge n-1-k.
        EXPECT_EQ( mesh->polygon_adjacent( { 1, 2 } ), 0u );
        EXPECT_EQ( mesh->polygon_adjacent( { 1, 0 } ), 2u );
        for( index_t p = 0; p < 3; p++ )
        {
            EXPECT_DOUBLE_EQ( mesh->polygon_normal( p ).value( 2 ), 1. );
        }
        for( index_t p = 0; p < 4; p++ )
        {
            EXPECT_EQ( attribute->value( p ), 10 + p );
        }
        const PolygonsAroundVertex around_3{ { 1, 1 }, { 2, 2 } };
        EXPECT_EQ( mesh->polygons_around_vertex( 3 ), around_3 );
    }

    TEST( RepairPolygonOrientations, NonOrientableDoesNotThrow )
    {
        // Moebius strip: four quads, the last one joined with a twist.
        const Points points{ { 0, 0, 0 },
                             { 0, 1, 0 },
                             { 1, 0, 0 },
                             { 1, 1, 0 },
                             { 2, 0, 0 },
                             { 2, 1, 0 },
                             { 3, 0, 1 },
                             { 3, 1, 1 } };
        auto mesh = make_surface( points,
                                  { { 0, 2, 3, 1 },
                                    { 2, 4, 5, 3 },
                                    { 4, 6, 7, 5 },
                                    { 6, 1, 0, 7 } } );
        EXPECT_NO_THROW( repair_polygon_orientations( *mesh ) );
        EXPECT_EQ( mesh->polygon_vertices( 0 ),
                   ( std::vector< index_t >{ 0, 2, 3, 1 } ) );
    }

    TEST( RepairPolygonOrientations, KeepsVertexUsesAroundAHighValenceVertex )
    {
        // A closed fan of alternately reversed triangles around vertex 0,
        // and a pentagon using vertex z twice hung on the first triangle's
        // edge (1, 2), which it runs the same way.
        constexpr index_t nb_rim = 2000;
        Points points{ { 0, 0, 0 } };
        Polygons polygons;
        for( index_t i = 0; i < nb_rim; i++ )
        {
            const auto angle = 6.283185307179586 * i / nb_rim;
            points.push_back( { std::cos( angle ), std::sin( angle ), 0 } );
            const index_t a = 1 + i;
            const index_t b = 1 + ( i + 1 ) % nb_rim;
            polygons.push_back( i % 2 == 0
                                    ? std::vector< index_t >{ 0, a, b }
                                    : std::vector< index_t >{ a, 0, b } );
        }
        const index_t z = nb_rim + 1;
        const index_t w = nb_rim + 2;
        points.push_back( { 2, 0, 0 } );
        points.push_back( { 2, 1, 0 } );
        polygons.push_back( { 1, 2, z, w, z } );
        auto mesh = make_surface( points, polygons );

        repair_polygon_orientations( *mesh );

        for( index_t p = 0; p < nb_rim; p++ )
        {
            EXPECT_DOUBLE_EQ( mesh->polygon_normal( p ).value( 2 ), 1. ) << p;
        }
        EXPECT_EQ( mesh->polygon_vertices( nb_rim ),
                   ( std::vector< index_t >{ 1, z, w, z, 2 } ) );
        EXPECT_EQ( mesh->polygon_adjacent( { nb_rim, 4 } ), 0u );
        expect_consistent( *mesh );
        // Each vertex lists exactly its uses, ascending.
        std::vector< PolygonsAroundVertex > uses( mesh->nb_vertices() );
        for( index_t p = 0; p < mesh->nb_polygons(); p++ )
        {
            for( local_index_t k = 0; k < mesh->nb_polygon_vertices( p ); k++ )
            {
                uses[mesh->polygon_vertex( { p, k } )].emplace_back( p, k );
            }
        }
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            EXPECT_EQ( mesh->polygons_around_vertex( v ), uses[v] ) << v;
        }
    }

    TEST( SurfaceMeshMerger, TouchingMeshesMeetAlongBorders )
    {
        // Two squares of two triangles each, sharing the edge x = 1.
        const auto left = make_surface(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 } },
            true );
        const auto right = make_surface(
            { { 1, 1e-9, 0 }, { 2, 0, 0 }, { 2, 1, 0 }, { 1, 1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 } },
            true );
        const std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > >
            inputs{ *left, *right };
        detail::SurfaceMeshMerger< 3 > merger{ inputs, 1e-6 };
        EXPECT_EQ( merger.merged().nb_polygons(), 0u );
        EXPECT_EQ( merger.merged().type_name().get(), "TriangulatedSurface3D" );
        auto attribute = std::make_shared< test::IndexAttribute >( 3 );
        merger.merged().polygon_attribute_manager().register_attribute(
            attribute, "kept" );
        EXPECT_THROW( merger.polygon_in_merged( 0, 0 ), CorvaneException );

        merger.create_surface_step();
        const auto& merged = merger.merged();
        ASSERT_EQ( merged.nb_vertices(), 6u );
        ASSERT_EQ( merged.nb_polygons(), 4u );
        EXPECT_EQ( attribute->size(), 4u );
        EXPECT_NE( merged.id(), left->id() );
        EXPECT_TRUE( merged.name().empty() );
        // Colocated vertices take the first occurrence's number and point.
        EXPECT_EQ( merger.vertex_in_merged( 1, 0 ), 1u );
        EXPECT_EQ( merger.vertex_in_merged( 1, 3 ), 2u );
        EXPECT_EQ( merger.vertex_in_merged( 1, 1 ), 4u );
        EXPECT_EQ( merged.point( 1 ), left->point( 1 ) );
        EXPECT_EQ( merger.polygon_in_merged( 1, 1 ), 3u );
        // Inputs keep their own adjacency; the shared border stays a border.
        EXPECT_EQ( merged.polygon_adjacent( { 0, 2 } ), 1u );
        EXPECT_EQ( merged.polygon_adjacent( { 2, 2 } ), 3u );
        EXPECT_TRUE( merged.is_edge_on_border( { 0, 1 } ) );
        EXPECT_TRUE( merged.is_edge_on_border( { 3, 2 } ) );
        expect_consistent( merged );
        EXPECT_THROW( merger.create_surface_step(), CorvaneException );
        EXPECT_THROW( merger.vertex_in_merged( 2, 0 ), CorvaneException );
        EXPECT_THROW( merger.polygon_in_merged( 0, 2 ), CorvaneException );
    }

    TEST( SurfaceMeshMerger, StoredAdjacencyJoinsOnlyTheNeighbourItNames )
    {
        // The left square's triangle 0 claims, on its border edge x = 1,
        // its own other triangle as neighbour. After merging, that edge is
        // used by triangle 0 and by the right square: a neighbour it does
        // not name, so the edge stays a border.
        auto left = make_surface(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 } },
            true );
        SurfaceMeshBuilder< 3 >::create( *left )->set_polygon_adjacent(
            { 0, 1 }, 1 );
        const auto right = make_surface(
            { { 1, 0, 0 }, { 2, 0, 0 }, { 2, 1, 0 }, { 1, 1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 } },
            true );
        const std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > >
            inputs{ *left, *right };
        detail::SurfaceMeshMerger< 3 > merger{ inputs, 1e-6 };
        merger.create_surface_step();
        const auto& merged = merger.merged();
        ASSERT_EQ( merged.nb_polygons(), 4u );
        EXPECT_TRUE( merged.is_edge_on_border( { 0, 1 } ) );
        EXPECT_TRUE( merged.is_edge_on_border( { 3, 2 } ) );
        EXPECT_EQ( merged.polygon_adjacent( { 0, 2 } ), 1u );
        expect_consistent( merged );
    }

    TEST( SurfaceMeshMerger, SharedPolygonsAndCuts )
    {
        // A: quad 0 next to triangle 1; B: the same triangle, rotated and
        // reversed, next to triangle 1 of B on its other edge.
        const auto a = make_surface(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 }, { 2, 0, 0 } },
            { { 0, 1, 2, 3 }, { 1, 4, 2 } } );
        const auto b = make_surface(
            { { 2, 0, 0 }, { 1, 1, 0 }, { 1, 0, 0 }, { 2, 1, 0 } },
            { { 1, 0, 2 }, { 0, 3, 1 } } );
        const std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > >
            inputs{ *a, *b };
        detail::SurfaceMeshMerger< 3 > merger{ inputs, 1e-6 };
        merger.create_surface_step();
        const auto& merged = merger.merged();
        EXPECT_EQ( merged.type_name().get(), "PolygonalSurface3D" );
        ASSERT_EQ( merged.nb_polygons(), 3u );
        EXPECT_EQ( merger.polygon_in_merged( 1, 0 ), 1u );
        EXPECT_EQ( merger.polygon_in_merged( 1, 1 ), 2u );
        // The shared triangle keeps A's vertex order.
        EXPECT_EQ( merged.polygon_vertices( 1 ),
                   ( std::vector< index_t >{ 1, 4, 2 } ) );
        // Both inputs' adjacencies survive through the shared polygon.
        EXPECT_EQ( merged.polygon_adjacent( { 0, 1 } ), 1u );
        EXPECT_EQ( merged.polygon_adjacent( { 1, 1 } ), 2u );
        expect_consistent( merged );

        // Kept apart, B's copy of the triangle is a polygon of its own.
        detail::SurfaceMeshMerger< 3 > apart{ inputs, 1e-6, false };
        apart.create_surface_step();
        EXPECT_EQ( apart.polygon_in_merged( 1, 0 ), 2u );
    }

    TEST( SurfaceMeshMerger, OverusedPairAndCollapsedPolygon )
    {
        // Three triangles on edge (0,1): A stores 0-1, B adds a third.
        const auto a = make_surface(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 0, -1, 0 } },
            { { 0, 1, 2 }, { 1, 0, 3 } } );
        EXPECT_EQ( a->polygon_adjacent( { 0, 0 } ), 1u );
        const auto b = make_surface( { { 0, 0, 0 },
                                       { 1, 0, 0 },
                                       { 0, 0, 1 },
                                       { 3, 3, 3 },
                                       { 3, 3, 3.0000001 },
                                       { 4, 4, 4 } },
                                     { { 0, 1, 2 }, { 3, 4, 5 } } );
        const std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > >
            inputs{ *a, *b };
        detail::SurfaceMeshMerger< 3 > merger{ inputs, 1e-3 };
        merger.create_surface_step();
        const auto& merged = merger.merged();
        ASSERT_EQ( merged.nb_polygons(), 4u );
        EXPECT_TRUE( merged.is_edge_on_border( { 0, 0 } ) );
        EXPECT_TRUE( merged.is_edge_on_border( { 1, 0 } ) );
        // Collapsed polygon is kept, degenerate.
        const auto collapsed = merger.polygon_in_merged( 1, 1 );
        EXPECT_EQ( collapsed, 3u );
        EXPECT_EQ( merged.polygon_vertex( { collapsed, 0 } ),
                   merged.polygon_vertex( { collapsed, 1 } ) );
        EXPECT_FALSE( merged.new_polygon_normal( collapsed ) );
    }

    TEST( SurfaceMeshMerger, EmptyInputsAndBadEpsilon )
    {
        detail::SurfaceMeshMerger< 2 > merger{ {}, 0. };
        merger.create_surface_step();
        EXPECT_EQ( merger.merged().nb_vertices(), 0u );
        EXPECT_EQ( merger.merged().type_name().get(), "PolygonalSurface2D" );
        test::expect_error(
            [] {
                detail::SurfaceMeshMerger< 2 >{ {}, -1. };
            },
            "[SurfaceMeshMerger::SurfaceMeshMerger] " );
    }
} // namespace vorna
