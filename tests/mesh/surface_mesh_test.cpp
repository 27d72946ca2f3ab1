#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>
#include <support/mesh_queries.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/tolerance.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

#include "mesh/index_attribute.h"

namespace vorna
{
    namespace
    {
        // Unit square split into a quad [0,1]x[0,1] and two triangles on
        // [1,2]x[0,1]:
        //   3---4---5
        //   | 0 |1 /|
        //   |   | / |
        //   |   |/ 2|
        //   0---1---2
        std::unique_ptr< SurfaceMesh< 3 > > strip()
        {
            auto mesh = SurfaceMesh< 3 >::create();
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            for( const auto& xyz :
                 std::vector< std::array< double, 3 > >{ { 0, 0, 0 },
                                                         { 1, 0, 0 },
                                                         { 2, 0, 0 },
                                                         { 0, 1, 0 },
                                                         { 1, 1, 0 },
                                                         { 2, 1, 0 } } )
            {
                builder->create_point( Point< 3 >{ xyz } );
            }
            builder->create_polygon( { 0, 1, 4, 3 } );
            builder->create_polygon( { 1, 5, 4 } );
            builder->create_polygon( { 1, 2, 5 } );
            builder->compute_polygon_adjacencies();
            return mesh;
        }
    } // namespace

    TEST( SurfaceMesh, PolygonQueries )
    {
        const auto mesh = strip();
        ASSERT_EQ( mesh->nb_polygons(), 3u );
        EXPECT_EQ( mesh->nb_polygon_vertices( 0 ), 4 );
        EXPECT_EQ( mesh->nb_polygon_edges( 2 ), 3 );
        EXPECT_EQ( mesh->polygon_vertex( { 0, 2 } ), 4u );
        EXPECT_EQ( mesh->polygon_vertices( 1 ),
                   ( std::vector< index_t >{ 1, 5, 4 } ) );
        EXPECT_EQ( mesh->polygon_edge_vertices( { 0, 3 } ),
                   ( std::array< index_t, 2 >{ 3, 0 } ) );
        const PolygonsAroundVertex around{ { 0, 1 }, { 1, 0 }, { 2, 0 } };
        EXPECT_EQ( mesh->polygons_around_vertex( 1 ), around );
        EXPECT_THROW( mesh->polygon_vertex( { 0, 4 } ), CorvaneException );
        EXPECT_THROW( mesh->polygon_vertices( 3 ), CorvaneException );
        EXPECT_THROW( mesh->polygon_edge_vertices( { 2, 3 } ),
                      CorvaneException );
        EXPECT_FALSE( mesh->find_repeated_vertex( 0, 3 ) );
        EXPECT_THROW( mesh->find_repeated_vertex( 0, 4 ), CorvaneException );
        EXPECT_THROW( mesh->find_repeated_vertex( 2, 1 ), CorvaneException );
    }

    TEST( SurfaceMesh, ComputedAdjacencyAndBorders )
    {
        const auto mesh = strip();
        // Quad edge 1 (1,4) meets triangle 1 edge 2 (4,1).
        EXPECT_EQ( mesh->polygon_adjacent( { 0, 1 } ), 1u );
        EXPECT_EQ( mesh->polygon_adjacent( { 1, 2 } ), 0u );
        EXPECT_EQ( mesh->polygon_adjacent_edge( { 0, 1 } ),
                   ( PolygonEdge{ 1, 2 } ) );
        // Triangles meet along (1,5), running the same way in both: joined
        // whatever the directions.
        EXPECT_EQ( mesh->polygon_adjacent( { 1, 0 } ), 2u );
        EXPECT_EQ( mesh->polygon_adjacent_edge( { 2, 2 } ),
                   ( PolygonEdge{ 1, 0 } ) );
        EXPECT_FALSE( mesh->polygon_adjacent( { 0, 0 } ) );
        EXPECT_FALSE( mesh->polygon_adjacent_edge( { 0, 0 } ) );
        EXPECT_TRUE( mesh->is_edge_on_border( { 2, 1 } ) );
        EXPECT_FALSE( mesh->is_edge_on_border( { 2, 2 } ) );
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            EXPECT_TRUE( mesh->is_vertex_on_border( v ) ) << v;
        }
    }

    TEST( SurfaceMesh, InteriorVertexIsNotOnBorder )
    {
        // Fan of four triangles around vertex 0.
        auto mesh = SurfaceMesh< 2 >::create( "DefaultTriangulatedSurface2D" );
        auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
        builder->create_point( Point< 2 >{ { 0, 0 } } );
        builder->create_point( Point< 2 >{ { 1, 0 } } );
        builder->create_point( Point< 2 >{ { 0, 1 } } );
        builder->create_point( Point< 2 >{ { -1, 0 } } );
        builder->create_point( Point< 2 >{ { 0, -1 } } );
        builder->create_polygon( { 0, 1, 2 } );
        builder->create_polygon( { 0, 2, 3 } );
        builder->create_polygon( { 0, 3, 4 } );
        builder->create_polygon( { 0, 4, 1 } );
        builder->compute_polygon_adjacencies();
        EXPECT_FALSE( mesh->is_vertex_on_border( 0 ) );
        EXPECT_TRUE( mesh->is_vertex_on_border( 1 ) );
        builder->unset_polygon_adjacent( { 3, 2 } );
        EXPECT_TRUE( mesh->is_vertex_on_border( 0 ) );
        // Unset writes one side only.
        EXPECT_EQ( mesh->polygon_adjacent( { 0, 0 } ), 3u );
        builder->set_polygon_adjacent( { 3, 2 }, 0 );
        EXPECT_FALSE( mesh->is_vertex_on_border( 0 ) );
        EXPECT_DOUBLE_EQ( mesh->polygon_area( 1 ), 0.5 );
    }

    TEST( SurfaceMesh, NonManifoldEdgeStaysBorder )
    {
        auto mesh = SurfaceMesh< 3 >::create();
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        builder->create_vertices( 5 );
        builder->create_polygon( { 0, 1, 2 } );
        builder->create_polygon( { 1, 0, 3 } );
        builder->create_polygon( { 0, 1, 4 } );
        builder->set_polygon_adjacent( { 0, 1 }, 2 );
        builder->compute_polygon_adjacencies();
        EXPECT_EQ( test::nb_border_edges( *mesh ), 9u );
    }

    TEST( SurfaceMesh, Geometry )
    {
        const auto mesh = strip();
        EXPECT_DOUBLE_EQ( mesh->polygon_area( 0 ), 1. );
        EXPECT_DOUBLE_EQ( mesh->polygon_area( 2 ), 0.5 );
        EXPECT_EQ( mesh->polygon_barycenter( 0 ),
                   ( Point< 3 >{ { 0.5, 0.5, 0 } } ) );
        EXPECT_EQ( mesh->polygon_normal( 0 ), ( Vector< 3 >{ { 0, 0, 1 } } ) );
        EXPECT_EQ( *mesh->new_polygon_normal( 2 ),
                   ( Vector< 3 >{ { 0, 0, 1 } } ) );

        // Collapsed polygon: no normal.
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        const auto flat = builder->create_polygon( { 0, 1, 2 } );
        const auto repeated = builder->create_polygon( { 0, 0, 4 } );
        for( const auto p : { flat, repeated } )
        {
            EXPECT_FALSE( mesh->new_polygon_normal( p ) );
            EXPECT_THROW( mesh->polygon_normal( p ), CorvaneException );
            EXPECT_DOUBLE_EQ( mesh->polygon_area( p ), 0. );
        }

        // A non-finite point leaves no direction: no normal, not a NaN one.
        const auto lost = builder->create_point( Point< 3 >{
            { std::numeric_limits< double >::quiet_NaN(), 0, 0 } } );
        const auto far = builder->create_point(
            Point< 3 >{ { std::numeric_limits< double >::infinity(), 0, 1 } } );
        for( const auto p : { builder->create_polygon( { 0, 1, lost } ),
                              builder->create_polygon( { 0, 1, far } ) } )
        {
            EXPECT_FALSE( mesh->new_polygon_normal( p ) );
            EXPECT_THROW( mesh->polygon_normal( p ), CorvaneException );
        }

        // Non-convex 2D polygon, clockwise: shoelace area is absolute.
        auto plane = SurfaceMesh< 2 >::create();
        auto plane_builder = SurfaceMeshBuilder< 2 >::create( *plane );
        for( const auto& xy : std::vector< std::array< double, 2 > >{
                 { 0, 0 }, { 0, 2 }, { 1, 1 }, { 2, 2 }, { 2, 0 } } )
        {
            plane_builder->create_point( Point< 2 >{ xy } );
        }
        plane_builder->create_polygon( { 0, 1, 2, 3, 4 } );
        EXPECT_DOUBLE_EQ( plane->polygon_area( 0 ), 3. );
    }

    TEST( SurfaceMeshBuilder, RejectsBadPolygons )
    {
        auto mesh = SurfaceMesh< 3 >::create( "DefaultTriangulatedSurface3D" );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        builder->create_vertices( 4 );
        EXPECT_THROW( builder->create_polygon( { 0, 1 } ), CorvaneException );
        EXPECT_THROW( builder->create_polygon( { 0, 1, 4 } ),
                      CorvaneException );
        EXPECT_THROW( builder->create_polygon( { 0, 1, 2, 3 } ),
                      CorvaneException );
        EXPECT_EQ( mesh->nb_polygons(), 0u );
        EXPECT_EQ( builder->create_polygon( { 0, 1, 1 } ), 0u );
        EXPECT_THROW( builder->set_polygon_vertex( { 0, 3 }, 0 ),
                      CorvaneException );
        EXPECT_THROW( builder->set_polygon_vertex( { 0, 0 }, 9 ),
                      CorvaneException );
        EXPECT_THROW( builder->set_polygon_adjacent( { 0, 0 }, 1 ),
                      CorvaneException );
        EXPECT_THROW( builder->unset_polygon_adjacent( { 1, 0 } ),
                      CorvaneException );
        test::expect_error(
            [&] {
                builder->create_polygon( { 0, 1 } );
            },
            "[SurfaceMeshBuilder::create_polygon] A polygon "
            "needs at least 3 vertices, got 2" );
    }

    TEST( SurfaceMeshBuilder, SetPolygonVertexUpdatesUses )
    {
        auto mesh = strip();
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        const auto extra = builder->create_point( Point< 3 >{ { 1, 0, 0 } } );
        builder->set_polygon_vertex( { 1, 0 }, extra );
        EXPECT_EQ( mesh->polygon_vertex( { 1, 0 } ), extra );
        const PolygonsAroundVertex old_uses{ { 0, 1 }, { 2, 0 } };
        EXPECT_EQ( mesh->polygons_around_vertex( 1 ), old_uses );
        const PolygonsAroundVertex new_uses{ { 1, 0 } };
        EXPECT_EQ( mesh->polygons_around_vertex( extra ), new_uses );
        // Moving it back restores the ascending order.
        builder->set_polygon_vertex( { 1, 0 }, 1 );
        const PolygonsAroundVertex restored{ { 0, 1 }, { 1, 0 }, { 2, 0 } };
        EXPECT_EQ( mesh->polygons_around_vertex( 1 ), restored );
    }

    namespace
    {
        // Polygons of 3 to 6 vertices over 12 vertices, repeats allowed:
        // many edges shared by three polygons or more, some by one polygon
        // twice, some from a vertex to itself.
        std::vector< std::vector< index_t > > random_polygons( unsigned seed )
        {
            std::mt19937 random{ seed };
            std::vector< std::vector< index_t > > polygons( 40 );
            for( auto& polygon : polygons )
            {
                polygon.resize( 3 + random() % 4 );
                for( auto& v : polygon )
                {
                    v = random() % 12;
                }
            }
            return polygons;
        }
    } // namespace

    // Over any range of polygons, the edge found is the first from a vertex
    // to itself, polygon by polygon and each polygon's closing edge first.
    TEST( SurfaceMesh, FindRepeatedVertexTakesClosingEdgeFirst )
    {
        auto polygons = random_polygons( 11 );
        // Edges 3 (closing) and 1 both repeat a vertex.
        polygons.insert( polygons.begin() + 5, { 7, 3, 3, 7 } );
        auto mesh = SurfaceMesh< 3 >::create();
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        builder->create_vertices( 12 );
        for( const auto& polygon : polygons )
        {
            builder->create_polygon( polygon );
        }
        const auto walk =
            [&mesh]( index_t begin,
                     index_t end ) -> absl::optional< PolygonEdge >
        {
            for( auto p = begin; p < end; p++ )
            {
                const auto n = mesh->nb_polygon_edges( p );
                for( local_index_t k = 0; k < n; k++ )
                {
                    const auto e =
                        static_cast< local_index_t >( ( k + n - 1 ) % n );
                    const auto ends = mesh->polygon_edge_vertices( { p, e } );
                    if( ends[0] == ends[1] )
                    {
                        return PolygonEdge{ p, e };
                    }
                }
            }
            return absl::nullopt;
        };
        ASSERT_EQ( walk( 5, 6 ), ( PolygonEdge{ 5, 3 } ) );
        const auto nb = mesh->nb_polygons();
        for( index_t begin = 0; begin <= nb; begin++ )
        {
            for( auto end = begin; end <= nb; end++ )
            {
                EXPECT_EQ( mesh->find_repeated_vertex( begin, end ),
                           walk( begin, end ) )
                    << "over polygons " << begin << " to " << end;
            }
        }
    }

    TEST( SurfaceMeshBuilder, BulkPolygonsMatchOneByOne )
    {
        const auto polygons = random_polygons( 7 );
        // One table holding a polygon before and after those created.
        std::vector< index_t > offsets{ 0, 3 };
        std::vector< index_t > vertices{ 0, 1, 2 };
        for( const auto& polygon : polygons )
        {
            vertices.insert( vertices.end(), polygon.begin(), polygon.end() );
            offsets.push_back( static_cast< index_t >( vertices.size() ) );
        }
        auto single = SurfaceMesh< 3 >::create();
        auto single_builder = SurfaceMeshBuilder< 3 >::create( *single );
        single_builder->create_vertices( 12 );
        auto bulk = SurfaceMesh< 3 >::create();
        auto bulk_builder = SurfaceMeshBuilder< 3 >::create( *bulk );
        bulk_builder->create_vertices( 12 );
        single_builder->create_polygon( { 4, 5, 6 } );
        bulk_builder->create_polygon( { 4, 5, 6 } );
        for( const auto& polygon : polygons )
        {
            single_builder->create_polygon( polygon );
        }
        EXPECT_EQ( bulk_builder->create_polygons(
                       absl::MakeConstSpan( offsets ).subspan(
                           1, polygons.size() + 1 ),
                       vertices ),
                   1u );
        ASSERT_EQ( bulk->nb_polygons(), single->nb_polygons() );
        for( index_t p = 0; p < bulk->nb_polygons(); p++ )
        {
            EXPECT_EQ( bulk->polygon_vertices( p ),
                       single->polygon_vertices( p ) );
            for( local_index_t e = 0; e < bulk->nb_polygon_edges( p ); e++ )
            {
                EXPECT_TRUE( bulk->is_edge_on_border( { p, e } ) );
            }
        }
        for( index_t v = 0; v < 12; v++ )
        {
            EXPECT_EQ( bulk->polygons_around_vertex( v ),
                       single->polygons_around_vertex( v ) );
        }
        EXPECT_EQ( bulk->polygon_attribute_manager().nb_elements(),
                   single->nb_polygons() );

        // A bad polygon among good ones: none is created.
        auto triangles =
            SurfaceMesh< 3 >::create( "DefaultTriangulatedSurface3D" );
        auto triangle_builder = SurfaceMeshBuilder< 3 >::create( *triangles );
        triangle_builder->create_vertices( 4 );
        const std::vector< index_t > mixed{ 0, 1, 2, 0, 1, 2, 3, 1, 2, 3 };
        test::expect_error(
            [&]
            {
                triangle_builder->create_polygons(
                    std::vector< index_t >{ 0, 3, 7, 10 }, mixed );
            },
            "[SurfaceMeshBuilder::create_polygons] A triangulated surface "
            "accepts only triangles, got 4 vertices" );
        test::expect_error(
            [&]
            {
                triangle_builder->create_polygons(
                    std::vector< index_t >{ 0, 3, 2 }, mixed );
            },
            "[SurfaceMeshBuilder::create_polygons] Offsets must not "
            "decrease" );
        EXPECT_EQ( triangles->nb_polygons(), 0u );
    }

    TEST( SurfaceMeshBuilder, AdjacencyJoinsEdgesOfPairsUsedTwice )
    {
        for( unsigned seed = 0; seed < 50; seed++ )
        {
            auto mesh = SurfaceMesh< 3 >::create();
            auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
            builder->create_vertices( 12 );
            for( const auto& polygon : random_polygons( seed ) )
            {
                builder->create_polygon( polygon );
            }
            builder->compute_polygon_adjacencies();
            // Every polygon edge by its unordered vertex pair.
            std::map< std::array< index_t, 2 >, std::vector< PolygonEdge > >
                uses;
            for( index_t p = 0; p < mesh->nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh->nb_polygon_edges( p ); e++ )
                {
                    auto pair = mesh->polygon_edge_vertices( { p, e } );
                    std::sort( pair.begin(), pair.end() );
                    uses[pair].emplace_back( p, e );
                }
            }
            for( const auto& pair : uses )
            {
                const auto& edges = pair.second;
                for( index_t k = 0; k < edges.size(); k++ )
                {
                    const auto expected =
                        edges.size() == 2
                            ? absl::optional< index_t >{ edges[1 - k]
                                                             .polygon_id }
                            : absl::nullopt;
                    EXPECT_EQ( mesh->polygon_adjacent( edges[k] ), expected )
                        << "seed " << seed << " edge " << edges[k].string();
                }
            }
        }
    }

    TEST( SurfaceMesh, AttributesGrowCloneAndImport )
    {
        auto mesh = strip();
        auto attribute = std::make_shared< test::IndexAttribute >( 9 );
        mesh->polygon_attribute_manager().register_attribute( attribute,
                                                              "region" );
        EXPECT_EQ( attribute->size(), 3u );
        attribute->set_value( 2, 5 );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        builder->create_polygon( { 0, 1, 3 } );
        EXPECT_EQ( attribute->size(), 4u );
        EXPECT_EQ( attribute->value( 3 ), 9u );
        builder->create_point( Point< 3 >{} );
        EXPECT_EQ( mesh->vertex_attribute_manager().nb_elements(), 7u );

        builder->set_name( "strip" );
        const auto copy = mesh->clone();
        EXPECT_NE( copy->id(), mesh->id() );
        EXPECT_EQ( copy->name(), "strip" );
        EXPECT_EQ( copy->impl_name(), mesh->impl_name() );
        EXPECT_EQ( copy->nb_polygons(), 4u );
        EXPECT_EQ( copy->polygon_adjacent( { 0, 1 } ), 1u );
        EXPECT_EQ( copy->polygons_around_vertex( 1 ),
                   mesh->polygons_around_vertex( 1 ) );
        const auto cloned = std::dynamic_pointer_cast< test::IndexAttribute >(
            copy->polygon_attribute_manager().find_attribute_base( "region" ) );
        ASSERT_NE( cloned, nullptr );
        EXPECT_EQ( cloned->value( 2 ), 5u );

        // Import into another mesh through an old-to-new mapping.
        auto other = SurfaceMesh< 3 >::create();
        auto other_builder = SurfaceMeshBuilder< 3 >::create( *other );
        other_builder->create_vertices( 3 );
        other_builder->create_polygon( { 0, 1, 2 } );
        other_builder->create_polygon( { 0, 2, 1 } );
        const std::vector< index_t > old2new{
            INVALID_INDEX, INVALID_INDEX, 0, INVALID_INDEX };
        other->polygon_attribute_manager().import(
            mesh->polygon_attribute_manager(), old2new );
        const auto imported = std::dynamic_pointer_cast< test::IndexAttribute >(
            other->polygon_attribute_manager().find_attribute_base(
                "region" ) );
        ASSERT_NE( imported, nullptr );
        EXPECT_EQ( imported->value( 0 ), 5u );
        EXPECT_EQ( imported->value( 1 ), 9u );
        other_builder->create_polygon( { 1, 2, 0 } );
        EXPECT_EQ( imported->size(), 3u );
    }

    TEST( SurfaceMeshBuilder, ConcurrentUnsetOnDifferentPolygons )
    {
        constexpr index_t size = 60;
        auto mesh = SurfaceMesh< 3 >::create( "DefaultTriangulatedSurface3D" );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        for( index_t j = 0; j <= size; j++ )
        {
            for( index_t i = 0; i <= size; i++ )
            {
                builder->create_point( Point< 3 >{ { 1. * i, 1. * j, 0 } } );
            }
        }
        for( index_t j = 0; j < size; j++ )
        {
            for( index_t i = 0; i < size; i++ )
            {
                const auto v = j * ( size + 1 ) + i;
                builder->create_polygon( { v, v + 1, v + size + 2 } );
                builder->create_polygon( { v, v + size + 2, v + size + 1 } );
            }
        }
        builder->compute_polygon_adjacencies();
        const auto nb_polygons = mesh->nb_polygons();
        ASSERT_EQ( test::nb_border_edges( *mesh ), 4 * size );
        constexpr index_t nb_threads = 4;
        std::vector< std::thread > threads;
        for( index_t t = 0; t < nb_threads; t++ )
        {
            threads.emplace_back(
                [&, t]
                {
                    for( auto p = t; p < nb_polygons; p += nb_threads )
                    {
                        for( local_index_t e = 0; e < 3; e++ )
                        {
                            // Read our own adjacency while others write theirs.
                            if( mesh->polygon_adjacent( { p, e } ) )
                            {
                                builder->unset_polygon_adjacent( { p, e } );
                            }
                        }
                    }
                } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        EXPECT_EQ( test::nb_border_edges( *mesh ), 3 * nb_polygons );
    }
} // namespace vorna
