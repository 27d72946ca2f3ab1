#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/mesh_element.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

#include "mesh/index_attribute.h"

namespace vorna
{
    TEST( MeshElement, RecordsAreInvalidByDefaultAndPrint )
    {
        EXPECT_EQ( PolygonEdge{}.polygon_id, INVALID_INDEX );
        EXPECT_EQ( PolygonEdge{}.edge_id, INVALID_LOCAL_INDEX );
        EXPECT_EQ( ( PolygonVertex{ 12, 2 } ).string(), "(12, 2)" );
        EXPECT_EQ( ( PolyhedronFacetVertex{ { 4, 1 }, 2 } ).string(),
                   "((4, 1), 2)" );
        EXPECT_NE( ( EdgeVertex{ 1, 0 } ), ( EdgeVertex{ 1, 1 } ) );
    }

    TEST( MeshFactory, TypesDefaultsAndCreation )
    {
        for( const auto* type : { "PointSet2D",
                                  "PointSet3D",
                                  "EdgedCurve2D",
                                  "EdgedCurve3D",
                                  "PolygonalSurface2D",
                                  "PolygonalSurface3D",
                                  "TriangulatedSurface2D",
                                  "TriangulatedSurface3D",
                                  "PolyhedralSolid3D",
                                  "TetrahedralSolid3D" } )
        {
            const auto impl = MeshFactory::default_impl( type );
            EXPECT_EQ( impl.get(), absl::StrCat( "Default", type ) );
            EXPECT_EQ( MeshFactory::type( impl ).get(), type );
            const auto mesh = MeshFactory::create_mesh( impl );
            EXPECT_EQ( mesh->impl_name(), impl );
            EXPECT_EQ( mesh->type_name().get(), type );
        }
        EXPECT_THROW( MeshFactory::default_impl( "NoSuchType" ),
                      CorvaneException );
        EXPECT_THROW( MeshFactory::create_mesh( "NoSuchImpl" ),
                      CorvaneException );
    }

    TEST( MeshFactory, TypedCreateChecksInterface )
    {
        EXPECT_EQ( SurfaceMesh< 3 >::create()->type_name().get(),
                   "PolygonalSurface3D" );
        const auto triangulated =
            SurfaceMesh< 2 >::create( "DefaultTriangulatedSurface2D" );
        EXPECT_TRUE( triangulated->is_triangulated() );
        EXPECT_THROW(
            SurfaceMesh< 3 >::create( "DefaultTriangulatedSurface2D" ),
            CorvaneException );
        EXPECT_THROW( PointSet< 3 >::create( "DefaultEdgedCurve3D" ),
                      CorvaneException );
        EXPECT_THROW( EdgedCurve< 3 >::create( "Nope" ), CorvaneException );
    }

    TEST( MeshBuilder, LookupReturnsTypedBuilderOrThrows )
    {
        auto curve = EdgedCurve< 3 >::create();
        EXPECT_NE( GraphBuilder::create( *curve ), nullptr );
        EXPECT_NE( VertexSetBuilder::create( *curve ), nullptr );
        auto base = MeshBuilderFactory::create(
            curve->impl_name(), *curve, MeshBuilderFactoryKey{} );
        EXPECT_NE( dynamic_cast< EdgedCurveBuilder< 3 >* >( base.get() ),
                   nullptr );
        // A builder constructed on a mesh of another interface refuses it.
        auto points = PointSet< 3 >::create();
        EXPECT_THROW(
            ( SurfaceMeshBuilder< 3 >{ *points, MeshBuilderFactoryKey{} } ),
            CorvaneException );
    }

    TEST( PointSet, PointsAttributesAndClone )
    {
        auto mesh = PointSet< 2 >::create();
        auto builder = PointSetBuilder< 2 >::create( *mesh );
        auto attribute = std::make_shared< test::IndexAttribute >( 7 );
        mesh->vertex_attribute_manager().register_attribute( attribute, "id" );
        EXPECT_EQ( builder->create_point( Point< 2 >{ { 1, 2 } } ), 0u );
        EXPECT_EQ( builder->create_vertices( 2 ), 1u );
        builder->set_point( 2, Point< 2 >{ { 5, 6 } } );
        builder->set_name( "cloud" );
        ASSERT_EQ( mesh->nb_vertices(), 3u );
        EXPECT_EQ( mesh->point( 1 ), ( Point< 2 >{ { 0, 0 } } ) );
        EXPECT_EQ( mesh->point( 2 ), ( Point< 2 >{ { 5, 6 } } ) );
        EXPECT_EQ( attribute->size(), 3u );
        EXPECT_EQ( attribute->value( 2 ), 7u );
        attribute->set_value( 1, 42 );

        const auto copy = mesh->clone();
        EXPECT_NE( copy->id(), mesh->id() );
        EXPECT_EQ( copy->name(), "cloud" );
        EXPECT_EQ( copy->point( 2 ), mesh->point( 2 ) );
        const auto copied = std::dynamic_pointer_cast< test::IndexAttribute >(
            copy->vertex_attribute_manager().find_attribute_base( "id" ) );
        ASSERT_NE( copied, nullptr );
        EXPECT_NE( copied, attribute );
        EXPECT_EQ( copied->value( 1 ), 42u );
        EXPECT_THROW( mesh->point( 3 ), CorvaneException );
        EXPECT_THROW( builder->set_point( 3, Point< 2 >{} ), CorvaneException );
    }

    TEST( EdgedCurve, EdgesAroundVertexKeepAttachmentOrder )
    {
        auto curve = EdgedCurve< 3 >::create();
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        builder->create_point( Point< 3 >{ { 0, 0, 0 } } );
        builder->create_point( Point< 3 >{ { 2, 0, 0 } } );
        builder->create_point( Point< 3 >{ { 2, 2, 0 } } );
        EXPECT_EQ( builder->create_edge( 0, 1 ), 0u );
        EXPECT_EQ( builder->create_edge( 1, 2 ), 1u );
        EXPECT_EQ( builder->create_edge( 2, 0 ), 2u );
        EXPECT_EQ( curve->edge_attribute_manager().nb_elements(), 3u );

        const EdgesAroundVertex expected{ { 0, 1 }, { 1, 0 } };
        EXPECT_EQ( curve->edges_around_vertex( 1 ), expected );
        EXPECT_EQ( curve->edge_barycenter( 0 ), ( Point< 3 >{ { 1, 0, 0 } } ) );
        EXPECT_DOUBLE_EQ( curve->edge_length( 1 ), 2. );

        // Re-attaching an end moves it last at its new vertex.
        builder->set_edge_vertex( { 2, 1 }, 1 );
        const EdgesAroundVertex left{ { 0, 0 } };
        EXPECT_EQ( curve->edges_around_vertex( 0 ), left );
        const EdgesAroundVertex moved{ { 0, 1 }, { 1, 0 }, { 2, 1 } };
        EXPECT_EQ( curve->edges_around_vertex( 1 ), moved );
        EXPECT_EQ( curve->edge_vertex( { 2, 1 } ), 1u );

        // A bare edge is listed nowhere; a loop lists both ends.
        const auto bare = builder->create_edge();
        EXPECT_EQ( curve->edge_vertices( bare )[0], INVALID_INDEX );
        EXPECT_THROW( curve->edge_barycenter( bare ), CorvaneException );
        const auto loop = builder->create_edge( 0, 0 );
        const EdgesAroundVertex loop_ends{ { 0, 0 }, { loop, 0 }, { loop, 1 } };
        EXPECT_EQ( curve->edges_around_vertex( 0 ), loop_ends );

        const auto copy = curve->clone();
        EXPECT_EQ( copy->nb_edges(), curve->nb_edges() );
        EXPECT_EQ( copy->edges_around_vertex( 1 ), moved );
        EXPECT_EQ( copy->point( 2 ), curve->point( 2 ) );

        EXPECT_THROW( builder->create_edge( 0, 3 ), CorvaneException );
        EXPECT_THROW( builder->set_edge_vertex( { 0, 2 }, 0 ),
                      CorvaneException );
        EXPECT_THROW( curve->edge_vertices( 10 ), CorvaneException );
    }

    TEST( Meshes, AreMovable )
    {
        PolygonalSurface< 3 > surface;
        auto builder = SurfaceMeshBuilder< 3 >::create( surface );
        builder->create_vertices( 3 );
        builder->create_polygon( { 0, 1, 2 } );
        PolygonalSurface< 3 > moved{ std::move( surface ) };
        EXPECT_EQ( moved.nb_polygons(), 1u );
        EXPECT_EQ( moved.polygons_around_vertex( 2 ).size(), 1u );

        // The moved-from mesh reads as empty: its queries throw instead of
        // indexing storage that left with the move.
        EXPECT_EQ( surface.nb_vertices(), 0u );
        EXPECT_EQ( surface.nb_polygons(), 0u );
        EXPECT_THROW( surface.point( 0 ), CorvaneException );
        EXPECT_THROW( surface.polygons_around_vertex( 0 ), CorvaneException );

        EdgedCurve< 3 > curve;
        EdgedCurveBuilder< 3 >::create( curve )->create_point(
            Point< 3 >{ { 1, 2, 3 } } );
        EdgedCurve< 3 > assigned;
        assigned = std::move( curve );
        EXPECT_EQ( assigned.point( 0 ), ( Point< 3 >{ { 1, 2, 3 } } ) );
        EXPECT_EQ( curve.nb_vertices(), 0u );
        EXPECT_THROW( curve.point( 0 ), CorvaneException );
    }
} // namespace vorna
