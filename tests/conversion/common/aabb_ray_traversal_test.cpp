#include <vector>

#include <gtest/gtest.h>

#include <conversion/common/aabb_ray_traversal.h>

namespace vorna
{
    namespace
    {
        struct RecordingVisitor
        {
            bool operator()( index_t element )
            {
                calls.push_back( element );
                return false;
            }

            std::vector< index_t > calls;
        };

        BoundingBox3D unit_box_at( double x )
        {
            BoundingBox3D box;
            box.add_point( Point3D{ { x, 0, 0 } } );
            box.add_point( Point3D{ { x + 1, 1, 1 } } );
            return box;
        }

        std::vector< index_t > walk( const AABBTree3D& tree, const Ray3D& ray )
        {
            RecordingVisitor visitor;
            if( tree.nb_bboxes() != 0 )
            {
                detail::ray_intersect_recursive(
                    tree.impl(), ray, 1, 0, tree.nb_bboxes(), visitor );
            }
            return visitor.calls;
        }

        // Unit boxes at x = 0, 2, 4, ..., 14, given out of order; the
        // centres lie on a line along x, so tree order is x order.
        class BoxRow : public ::testing::Test
        {
          protected:
            BoxRow()
            {
                for( const int slot : { 5, 0, 7, 2, 3, 6, 1, 4 } )
                {
                    boxes.push_back( unit_box_at( 2. * slot ) );
                }
                tree = AABBTree3D{ boxes };
            }

            std::vector< BoundingBox3D > boxes;
            AABBTree3D tree;
        };
    } // namespace

    TEST_F( BoxRow, VisitsEachLeafOnceInTreeOrder )
    {
        // Elements by increasing x: slots 0..7 are elements 1,6,3,4,7,0,5,2.
        const std::vector< index_t > by_x{ 1, 6, 3, 4, 7, 0, 5, 2 };
        EXPECT_EQ( walk( tree,
                         Ray3D{ Vector3D{ { 1, 0, 0 } },
                                Point3D{ { -10, 0.5, 0.5 } } } ),
                   by_x );
        // Depth first, left before right: not the order along the ray.
        EXPECT_EQ( walk( tree,
                         Ray3D{ Vector3D{ { -1, 0, 0 } },
                                Point3D{ { 30, 0.5, 0.5 } } } ),
                   by_x );
    }

    TEST_F( BoxRow, PrunesWhatTheRayMisses )
    {
        // Starting in slot 5 going +x: the left half is behind the ray.
        EXPECT_EQ( walk( tree,
                         Ray3D{ Vector3D{ { 1, 0, 0 } },
                                Point3D{ { 10.5, 0.5, 0.5 } } } ),
                   ( std::vector< index_t >{ 0, 5, 2 } ) );
        // Going -x from slot 2: only the left child's leaves.
        EXPECT_EQ( walk( tree,
                         Ray3D{ Vector3D{ { -1, 0, 0 } },
                                Point3D{ { 4.5, 0.5, 0.5 } } } ),
                   ( std::vector< index_t >{ 1, 6, 3 } ) );
        // Across the row through one box, and through a gap.
        EXPECT_EQ( walk( tree,
                         Ray3D{ Vector3D{ { 0, 1, 0 } },
                                Point3D{ { 8.5, -3, 0.5 } } } ),
                   ( std::vector< index_t >{ 7 } ) );
        EXPECT_TRUE( walk( tree,
                           Ray3D{ Vector3D{ { 0, 1, 0 } },
                                  Point3D{ { 9.5, -3, 0.5 } } } )
                         .empty() );
        // Missing the root box.
        EXPECT_TRUE(
            walk( tree,
                  Ray3D{ Vector3D{ { 1, 0, 0 } }, Point3D{ { -10, 5, 0.5 } } } )
                .empty() );
    }

    TEST( AABBRayTraversal, RootLeafAndEmptyTree )
    {
        const std::vector< BoundingBox3D > one{ unit_box_at( 0 ) };
        const AABBTree3D tree{ one };
        const Ray3D hit{ Vector3D{ { 0, 0, 1 } }, Point3D{ { 0.5, 0.5, -1 } } };
        EXPECT_EQ( walk( tree, hit ), ( std::vector< index_t >{ 0 } ) );
        EXPECT_TRUE( walk( tree,
                           Ray3D{ Vector3D{ { 0, 0, -1 } },
                                  Point3D{ { 0.5, 0.5, -1 } } } )
                         .empty() );
        EXPECT_TRUE( walk( AABBTree3D{}, hit ).empty() );
    }
} // namespace vorna
