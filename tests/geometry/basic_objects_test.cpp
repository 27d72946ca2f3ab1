#include <limits>

#include <absl/hash/hash.h>
#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/bounding_box.h>
#include <vorna/geometry/mensuration.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/ray.h>
#include <vorna/geometry/tolerance.h>
#include <vorna/geometry/vector.h>

namespace vorna
{
    TEST( PointVector, HashAgreesWithEqualityOnSignedZero )
    {
        const Point3D negative{ { -0.0, 1.0, -0.0 } };
        const Point3D positive{ { 0.0, 1.0, 0.0 } };
        ASSERT_EQ( negative, positive );
        EXPECT_EQ( absl::Hash< Point3D >{}( negative ),
                   absl::Hash< Point3D >{}( positive ) );
        const Point2D negative2{ { -0.0, -0.0 } };
        EXPECT_EQ( absl::Hash< Point2D >{}( negative2 ),
                   absl::Hash< Point2D >{}( Point2D{} ) );
        EXPECT_NE( absl::Hash< Point3D >{}( positive ),
                   absl::Hash< Point3D >{}( Point3D{ { 1.0, 0.0, 0.0 } } ) );
    }

    TEST( PointVector, ArithmeticAndOrder )
    {
        const Point3D a{ { 1, 2, 3 } };
        const Point3D b{ { 1, 3, 0 } };
        EXPECT_TRUE( a < b );
        EXPECT_FALSE( b < a );
        EXPECT_EQ( ( a + b ) / 2., Point3D( { 1, 2.5, 1.5 } ) );
        EXPECT_EQ( a * 2. - b, Point3D( { 1, 1, 6 } ) );
        EXPECT_EQ( Point3D{}, Point3D( { 0, 0, 0 } ) );

        const Vector3D ab{ a, b };
        EXPECT_EQ( ab, Vector3D( { 0, 1, -3 } ) );
        EXPECT_DOUBLE_EQ( ab.length2(), 10. );
        EXPECT_DOUBLE_EQ( ab.normalize().length(), 1. );
        const Vector3D x{ { 1, 0, 0 } };
        const Vector3D y{ { 0, 1, 0 } };
        EXPECT_EQ( x.cross( y ), Vector3D( { 0, 0, 1 } ) );
        EXPECT_EQ( y.cross( x ), Vector3D( { 0, 0, -1 } ) );
        EXPECT_DOUBLE_EQ( x.dot( ab ), 0. );
        EXPECT_EQ( a + ab, b );
    }

    TEST( RayLine, DirectionIsNormalisedAndChecked )
    {
        const Ray3D ray{ Vector3D{ { 0, 0, 5 } }, Point3D{ { 1, 1, 1 } } };
        EXPECT_EQ( ray.direction(), Vector3D( { 0, 0, 1 } ) );
        EXPECT_EQ( ray.origin(), Point3D( { 1, 1, 1 } ) );
        EXPECT_THROW( Ray3D( Vector3D{}, Point3D{} ), CorvaneException );
        EXPECT_THROW(
            InfiniteLine3D(
                Vector3D{
                    { std::numeric_limits< double >::quiet_NaN(), 0, 0 } },
                Point3D{} ),
            CorvaneException );
        EXPECT_THROW( InfiniteLine2D( Vector2D{}, Point2D{} ),
                      CorvaneException );
    }

    class UnitBox : public ::testing::Test
    {
      protected:
        UnitBox()
        {
            box.add_point( Point3D{ { 0, 0, 0 } } );
            box.add_point( Point3D{ { 1, 1, 1 } } );
        }

        BoundingBox3D box;
    };

    TEST_F( UnitBox, ClosedAndWidened )
    {
        EXPECT_TRUE( box.contains( Point3D{ { 1, 1, 1 } } ) );
        EXPECT_TRUE(
            box.contains( Point3D{ { 1 + 0.5 * GLOBAL_EPSILON, 0, 0 } } ) );
        EXPECT_FALSE(
            box.contains( Point3D{ { 1 + 2 * GLOBAL_EPSILON, 0, 0 } } ) );

        BoundingBox3D touching;
        touching.add_point( Point3D{ { 1 + 0.5 * GLOBAL_EPSILON, 0, 0 } } );
        touching.add_point( Point3D{ { 2, 1, 1 } } );
        EXPECT_TRUE( box.intersects( touching ) );
        EXPECT_TRUE( touching.intersects( box ) );
        BoundingBox3D apart;
        apart.add_point( Point3D{ { 1.1, 0, 0 } } );
        EXPECT_FALSE( box.intersects( apart ) );
    }

    TEST_F( UnitBox, EmptyBoxMeetsNothing )
    {
        const BoundingBox3D empty;
        EXPECT_TRUE( empty.is_empty() );
        EXPECT_FALSE( empty.contains( Point3D{} ) );
        EXPECT_FALSE( empty.intersects( box ) );
        EXPECT_FALSE( box.intersects( empty ) );
        EXPECT_FALSE( empty.intersects(
            InfiniteLine3D{ Vector3D{ { 1, 1, 1 } }, Point3D{} } ) );
        BoundingBox3D grown{ box };
        grown.add_box( empty );
        EXPECT_EQ( grown.min(), box.min() );
        EXPECT_EQ( grown.max(), box.max() );
    }

    TEST_F( UnitBox, RaySlabTest )
    {
        const Vector3D x{ { 1, 0, 0 } };
        // Ahead, behind, starting inside.
        EXPECT_TRUE(
            box.intersects( Ray3D{ x, Point3D{ { -5, 0.5, 0.5 } } } ) );
        EXPECT_FALSE(
            box.intersects( Ray3D{ x, Point3D{ { 5, 0.5, 0.5 } } } ) );
        EXPECT_TRUE(
            box.intersects( Ray3D{ x, Point3D{ { 0.5, 0.5, 0.5 } } } ) );
        EXPECT_TRUE(
            box.intersects( InfiniteLine3D{ x, Point3D{ { 5, 0.5, 0.5 } } } ) );
        // Axis-parallel rays on a face, just outside it, and past a corner.
        EXPECT_TRUE( box.intersects( Ray3D{ x, Point3D{ { -5, 1, 0.5 } } } ) );
        EXPECT_FALSE(
            box.intersects( Ray3D{ x, Point3D{ { -5, 1 + 1e-6, 0.5 } } } ) );
        EXPECT_FALSE( box.intersects(
            Ray3D{ Vector3D{ { 1, 1, 0 } }, Point3D{ { -1, 0.5, 0.5 } } } ) );
        EXPECT_TRUE( box.intersects(
            Ray3D{ Vector3D{ { 1, 1, 0 } }, Point3D{ { -0.5, 0, 0.5 } } } ) );
        // A ray leaving the box's corner.
        EXPECT_TRUE( box.intersects(
            Ray3D{ Vector3D{ { 1, 1, 1 } }, Point3D{ { 1, 1, 1 } } } ) );
        EXPECT_FALSE( box.intersects(
            Ray3D{ Vector3D{ { 1, 1, 1 } }, Point3D{ { 1.1, 1, 1 } } } ) );
        // A non-finite origin never passes.
        EXPECT_FALSE( box.intersects(
            Ray3D{ x,
                   Point3D{ { std::numeric_limits< double >::quiet_NaN(),
                              0.5,
                              0.5 } } } ) );
    }

    TEST( Tetrahedron, SignFollowsTheRightHandNormal )
    {
        const Point3D a{ { 0, 0, 0 } };
        const Point3D b{ { 1, 0, 0 } };
        const Point3D c{ { 0, 1, 0 } };
        const Point3D above{ { 0.2, 0.2, 3 } };
        const Point3D below{ { 0.2, 0.2, -3 } };
        // (a, b, c) has normal +z.
        EXPECT_DOUBLE_EQ(
            tetrahedron_signed_volume( Tetrahedron{ a, b, c, above } ), 0.5 );
        EXPECT_DOUBLE_EQ(
            tetrahedron_signed_volume( Tetrahedron{ a, b, c, below } ), -0.5 );
        EXPECT_DOUBLE_EQ(
            tetrahedron_signed_volume( Tetrahedron{ a, c, b, above } ), -0.5 );
        EXPECT_DOUBLE_EQ( tetrahedron_signed_volume(
                              Tetrahedron{ a, b, c, Point3D{ { 5, 5, 0 } } } ),
                          0. );
    }
} // namespace vorna
