#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/polygon_crossing.h>
#include <vorna/geometry/tolerance.h>

namespace vorna
{
    namespace
    {
        const std::vector< Point3D > unit_square{ Point3D{ { 0, 0, 0 } },
                                                  Point3D{ { 1, 0, 0 } },
                                                  Point3D{ { 1, 1, 0 } },
                                                  Point3D{ { 0, 1, 0 } } };
        const Vector3D up{ { 0, 0, 1 } };
        const Vector3D along_x{ { 1, 0, 0 } };
    } // namespace

    TEST( PolygonCrossing, InsideAndBehind )
    {
        const auto hit = polygon_crossing(
            unit_square, Ray3D{ up, Point3D{ { 0.3, 0.4, -2 } } } );
        ASSERT_TRUE( hit );
        EXPECT_EQ( hit->position, Position::inside );
        EXPECT_DOUBLE_EQ( hit->distance, 2 );
        EXPECT_NEAR( hit->point.value( 0 ), 0.3, 1e-15 );
        EXPECT_NEAR( hit->point.value( 2 ), 0, 1e-15 );

        const Point3D above{ { 0.3, 0.4, 1 } };
        EXPECT_FALSE( polygon_crossing( unit_square, Ray3D{ up, above } ) );
        const auto line_hit =
            polygon_crossing( unit_square, InfiniteLine3D{ up, above } );
        ASSERT_TRUE( line_hit );
        EXPECT_DOUBLE_EQ( line_hit->distance, -1 );

        EXPECT_FALSE( polygon_crossing(
            unit_square, Ray3D{ up, Point3D{ { 1.5, 0.5, -1 } } } ) );
    }

    TEST( PolygonCrossing, RayStartingOnThePolygonCounts )
    {
        const auto hit =
            polygon_crossing( unit_square,
                              Ray3D{ Vector3D{ { 0.3, -0.7, 0.2 } },
                                     Point3D{ { 0.5, 0.5, 0 } } } );
        ASSERT_TRUE( hit );
        EXPECT_EQ( hit->position, Position::inside );
        EXPECT_EQ( hit->distance, 0.0 );
    }

    TEST( PolygonCrossing, RayStartingOnATiltedPolygonCountsAtZero )
    {
        // On a tilted polygon, rounding leaves the origin a hair off the
        // plane, ahead or behind: either way the crossing is at distance 0.
        std::mt19937 random{ 5 };
        std::uniform_real_distribution< double > coordinate{ -10, 10 };
        std::uniform_real_distribution< double > weight{ 0.1, 1 };
        const auto random_point = [&]
        {
            return Point3D{ { coordinate( random ),
                              coordinate( random ),
                              coordinate( random ) } };
        };
        index_t tried{ 0 };
        while( tried < 200 )
        {
            const std::vector< Point3D > triangle{
                random_point(), random_point(), random_point() };
            const Vector3D direction{ Point3D{}, random_point() };
            const auto normal =
                Vector3D{ triangle[0], triangle[1] }
                    .cross( Vector3D{ triangle[0], triangle[2] } )
                    .normalize();
            if( std::fabs( normal.dot( direction.normalize() ) ) < 0.1 )
            {
                continue;
            }
            const double a = weight( random );
            const double b = weight( random );
            const double c = weight( random );
            const auto origin =
                ( triangle[0] * a + triangle[1] * b + triangle[2] * c ) /
                ( a + b + c );
            const auto hit =
                polygon_crossing( triangle, Ray3D{ direction, origin } );
            ASSERT_TRUE( hit ) << tried;
            EXPECT_EQ( hit->distance, 0.0 ) << tried;
            tried++;
        }
    }

    TEST( PolygonCrossing, VertexSnapsToTheExactPoint )
    {
        const auto hit = polygon_crossing(
            unit_square, Ray3D{ up, Point3D{ { 1 + 1e-9, 1, -3 } } } );
        ASSERT_TRUE( hit );
        EXPECT_EQ( hit->position, Position::vertex0 );
        EXPECT_EQ( hit->point, Point3D( { 1, 1, 0 } ) );
        EXPECT_DOUBLE_EQ( hit->distance, 3 );
    }

    TEST( PolygonCrossing, SharedEdgeGivesIdenticalPoints )
    {
        const Point3D a{ { 0.1234567, -0.3456789, 0.0123457 } };
        const Point3D b{ { 1.3579135, 0.1122334, 0.3141593 } };
        const std::vector< Point3D > first{ a, b, Point3D{ { 0.2, 1, 0.1 } } };
        const std::vector< Point3D > second{
            b, a, Point3D{ { 0.9, -1, 0.7 } } };
        // Many rays aimed at the edge, so rounding would show up somewhere
        // if the two polygons computed the point differently.
        for( int i = 1; i < 60; i++ )
        {
            const auto target = a + Vector3D{ a, b } * ( i / 61.3 );
            const Vector3D direction{ { -0.3 + i * 0.011, 0.2, -1 } };
            const Ray3D ray{ direction, target - direction * ( 1.7 + i ) };
            const auto hit1 = polygon_crossing( first, ray );
            const auto hit2 = polygon_crossing( second, ray );
            ASSERT_TRUE( hit1 );
            ASSERT_TRUE( hit2 );
            EXPECT_EQ( hit1->position, Position::edge0 );
            EXPECT_EQ( hit2->position, Position::edge0 );
            EXPECT_EQ( hit1->point, hit2->point ) << i;
            EXPECT_EQ( hit1->distance, hit2->distance );
            EXPECT_NEAR( Vector3D( hit1->point, target ).length(), 0, 1e-12 );
            EXPECT_NEAR(
                hit1->distance, ( 1.7 + i ) * direction.length(), 1e-12 );
        }
    }

    TEST( PolygonCrossing, ParallelInThePlane )
    {
        const auto hit = polygon_crossing(
            unit_square, Ray3D{ along_x, Point3D{ { -1, 0.5, 0 } } } );
        ASSERT_TRUE( hit );
        EXPECT_EQ( static_cast< int >( hit->position ), 19 );
        EXPECT_DOUBLE_EQ( hit->distance, 1 );
        EXPECT_EQ( hit->point, Point3D( { 0, 0.5, 0 } ) );

        // Starting inside: at the origin.
        const Point3D inside{ { 0.5, 0.5, 1e-9 } };
        const auto at_origin =
            polygon_crossing( unit_square, Ray3D{ along_x, inside } );
        ASSERT_TRUE( at_origin );
        EXPECT_EQ( at_origin->position, Position::parallel );
        EXPECT_EQ( at_origin->distance, 0 );
        EXPECT_EQ( at_origin->point, inside );

        // All of it behind: the line reports its nearest end, the ray nothing.
        const Point3D past{ { 3, 0.5, 0 } };
        EXPECT_FALSE( polygon_crossing( unit_square, Ray3D{ along_x, past } ) );
        const auto behind =
            polygon_crossing( unit_square, InfiniteLine3D{ along_x, past } );
        ASSERT_TRUE( behind );
        EXPECT_EQ( behind->position, Position::parallel );
        EXPECT_DOUBLE_EQ( behind->distance, -2 );

        // Along an edge of the polygon.
        const auto on_edge = polygon_crossing(
            unit_square, Ray3D{ along_x, Point3D{ { -2, 0, 0 } } } );
        ASSERT_TRUE( on_edge );
        EXPECT_EQ( on_edge->position, Position::parallel );
        EXPECT_DOUBLE_EQ( on_edge->distance, 2 );

        // Parallel off the plane, or in the plane but beside the polygon.
        EXPECT_FALSE( polygon_crossing(
            unit_square, Ray3D{ along_x, Point3D{ { -1, 0.5, 1e-3 } } } ) );
        EXPECT_FALSE( polygon_crossing(
            unit_square, Ray3D{ along_x, Point3D{ { -1, 1.5, 0 } } } ) );
    }

    TEST( PolygonCrossing, NonConvexPolygon )
    {
        // An L: the notch is the square [1,2]x[1,2].
        const std::vector< Point3D > ell{ Point3D{ { 0, 0, 0 } },
                                          Point3D{ { 2, 0, 0 } },
                                          Point3D{ { 2, 1, 0 } },
                                          Point3D{ { 1, 1, 0 } },
                                          Point3D{ { 1, 2, 0 } },
                                          Point3D{ { 0, 2, 0 } } };
        EXPECT_FALSE(
            polygon_crossing( ell, Ray3D{ up, Point3D{ { 1.5, 1.5, -1 } } } ) );
        const auto hit =
            polygon_crossing( ell, Ray3D{ up, Point3D{ { 0.5, 1.5, -1 } } } );
        ASSERT_TRUE( hit );
        EXPECT_EQ( hit->position, Position::inside );
        // A parallel line through the notch meets the L's arm first.
        const auto parallel = polygon_crossing(
            ell,
            Ray3D{ Vector3D{ { -1, 0, 0 } }, Point3D{ { 1.5, 1.5, 0 } } } );
        ASSERT_TRUE( parallel );
        EXPECT_DOUBLE_EQ( parallel->distance, 0.5 );
    }

    TEST( PolygonCrossing, DegeneratePolygonsAreNeverCrossed )
    {
        const Ray3D ray{ up, Point3D{ { 0.5, 0, -1 } } };
        const std::vector< Point3D > collinear{ Point3D{ { 0, 0, 0 } },
                                                Point3D{ { 1, 0, 0 } },
                                                Point3D{ { 2, 0, 0 } } };
        EXPECT_FALSE( polygon_crossing( collinear, ray ) );
        EXPECT_FALSE( polygon_crossing(
            absl::Span< const Point3D >{ unit_square.data(), 2 }, ray ) );
        EXPECT_FALSE( polygon_crossing( absl::Span< const Point3D >{}, ray ) );
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        std::vector< Point3D > broken{ unit_square };
        broken[2].set_value( 1, nan );
        EXPECT_FALSE( polygon_crossing( broken, ray ) );
        EXPECT_FALSE( polygon_line_crossing(
            unit_square, Point3D{ { nan, 0, 0 } }, up, true ) );
        EXPECT_THROW(
            polygon_line_crossing( unit_square, Point3D{}, up * 2., true ),
            CorvaneException );
    }

    TEST( PolygonCrossing, NormalFromTheFanFormula )
    {
        const auto normal = polygon_points_normal( unit_square );
        ASSERT_TRUE( normal );
        EXPECT_EQ( normal.value(), up );
        const std::vector< Point3D > tiny{ Point3D{ { 0, 0, 0 } },
                                           Point3D{ { 1e-9, 0, 0 } },
                                           Point3D{ { 0, 1e-8, 0 } } };
        EXPECT_FALSE( polygon_points_normal( tiny ) );
    }
} // namespace vorna
