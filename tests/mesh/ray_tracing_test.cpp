#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/detail/aabb_impl.h>
#include <vorna/mesh/aabb_surface_helpers.h>
#include <vorna/mesh/ray_tracing.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace
    {
        // Unit square at z = 0 split along its diagonal (polygons 0 and 1),
        // and a triangle at z = 2 above it (polygon 2).
        std::unique_ptr< SurfaceMesh3D > stacked_surfaces()
        {
            auto mesh = SurfaceMesh3D::create();
            auto builder = SurfaceMeshBuilder3D::create( *mesh );
            for( const auto& point : { Point3D{ { 0, 0, 0 } },
                                       Point3D{ { 1, 0, 0 } },
                                       Point3D{ { 1, 1, 0 } },
                                       Point3D{ { 0, 1, 0 } },
                                       Point3D{ { 0, 0, 2 } },
                                       Point3D{ { 2, 0, 2 } },
                                       Point3D{ { 0, 2, 2 } } } )
            {
                builder->create_point( point );
            }
            builder->create_polygon( std::vector< index_t >{ 0, 1, 2 } );
            builder->create_polygon( std::vector< index_t >{ 0, 2, 3 } );
            builder->create_polygon( std::vector< index_t >{ 4, 5, 6 } );
            return mesh;
        }
    } // namespace

    TEST( RayTracing3D, SharedEdgeTieGoesToTheFirstFed )
    {
        const auto mesh = stacked_surfaces();
        RayTracing3D tracer{ *mesh,
                             Ray3D{ Vector3D{ { 0.1, -0.2, 1 } },
                                    Point3D{ { 0.4, 0.7, -1 } } } };
        EXPECT_FALSE( tracer( 2 ) );
        tracer( 1 );
        tracer( 0 );
        const auto closest = tracer.closest_polygon();
        ASSERT_TRUE( closest );
        EXPECT_EQ( closest->polygon, 1u );
        EXPECT_EQ( closest->position, Position::edge0 );
        const auto all = tracer.all_intersections();
        ASSERT_EQ( all.size(), 3u );
        EXPECT_EQ( all[0].polygon, 0u );
        EXPECT_EQ( all[1].polygon, 1u );
        EXPECT_EQ( all[0].point, all[1].point );
        EXPECT_EQ( all[2].polygon, 2u );
        EXPECT_GT( all[2].distance, all[0].distance );
    }

    TEST( RayTracing3D, LinesKeepSignedDistances )
    {
        const auto mesh = stacked_surfaces();
        const Point3D between{ { 0.2, 0.7, 1 } };
        RayTracing3D line_tracer{
            *mesh, InfiniteLine3D{ Vector3D{ { 0, 0, 1 } }, between } };
        RayTracing3D ray_tracer{ *mesh,
                                 Ray3D{ Vector3D{ { 0, 0, 1 } }, between } };
        for( index_t p = 0; p < 3; p++ )
        {
            line_tracer( p );
            ray_tracer( p );
        }
        const auto all = line_tracer.all_intersections();
        ASSERT_EQ( all.size(), 2u );
        EXPECT_DOUBLE_EQ( all[0].distance, -1 );
        EXPECT_EQ( all[0].polygon, 1u );
        EXPECT_EQ( all[0].position, Position::inside );
        EXPECT_DOUBLE_EQ( all[1].distance, 1 );
        ASSERT_TRUE( ray_tracer.closest_polygon() );
        EXPECT_EQ( ray_tracer.closest_polygon()->polygon, 2u );
        test::expect_exact_error( [&ray_tracer] { ray_tracer( 3 ); },
                                  "[RayTracing3D::operator()] Polygon 3 is "
                                  "out of range [0, 3)" );

        RayTracing3D missing{
            *mesh, Ray3D{ Vector3D{ { 0, 0, -1 } }, Point3D{ { 5, 5, 1 } } } };
        missing( 0 );
        EXPECT_FALSE( missing.closest_polygon() );
    }

    TEST( RayTracing3D, TreeBoxesPolygonsOnTheirVertices )
    {
        const auto mesh = stacked_surfaces();
        const auto tree = create_aabb_tree( *mesh );
        ASSERT_EQ( tree.nb_bboxes(), 3u );
        EXPECT_EQ( tree.bounding_box().min(), Point3D( { 0, 0, 0 } ) );
        EXPECT_EQ( tree.bounding_box().max(), Point3D( { 2, 2, 2 } ) );
        const auto empty = SurfaceMesh3D::create();
        EXPECT_EQ( create_aabb_tree( *empty ).nb_bboxes(), 0u );
    }
} // namespace vorna
