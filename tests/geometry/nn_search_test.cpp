#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/nn_search.h>
#include <vorna/geometry/vector.h>

namespace vorna
{
    TEST( NNSearch, DistinctPointsMapToThemselves )
    {
        std::vector< Point3D > points;
        for( int i = 0; i < 50; i++ )
        {
            points.push_back( Point3D{ { i * 1.0, ( i % 7 ) * 1.0, 0 } } );
        }
        const NNSearch3D search{ points };
        const auto info = search.colocated_index_mapping( 0.1 );
        ASSERT_EQ( info.colocated_mapping.size(), 50u );
        EXPECT_EQ( info.nb_colocated_points(), 0u );
        for( index_t i = 0; i < 50; i++ )
        {
            EXPECT_EQ( info.colocated_mapping[i], i );
            EXPECT_EQ( info.unique_points[i], points[i] );
        }
        EXPECT_EQ( search.closest_neighbor( Point3D{ { 10.2, 3.1, 0 } } ),
                   10u );
    }

    TEST( NNSearch, FirstOccurrenceNumbersAndPlaces )
    {
        const NNSearch2D search{ { Point2D{ { 5, 5 } },
                                   Point2D{ { 0, 0 } },
                                   Point2D{ { 5, 5 + 1e-9 } },
                                   Point2D{ { 1e-9, 0 } },
                                   Point2D{ { 5, 5 } } } };
        const auto info = search.colocated_index_mapping( 1e-8 );
        EXPECT_EQ( info.colocated_mapping,
                   ( std::vector< index_t >{ 0, 1, 0, 1, 0 } ) );
        ASSERT_EQ( info.unique_points.size(), 2u );
        EXPECT_EQ( info.unique_points[0], Point2D( { 5, 5 } ) );
        EXPECT_EQ( info.unique_points[1], Point2D( { 0, 0 } ) );
        EXPECT_EQ( info.nb_colocated_points(), 3u );
    }

    TEST( NNSearch, ClaimingIsByOpeningPointOnly )
    {
        // A chain 0 - 0.6 - 1.2 with epsilon 1: point 0 claims 0.6 but not
        // 1.2, which opens its own point even though 0.6 is within reach.
        const NNSearch3D search{ { Point3D{ { 0, 0, 0 } },
                                   Point3D{ { 0.6, 0, 0 } },
                                   Point3D{ { 1.2, 0, 0 } } } };
        auto info = search.colocated_index_mapping( 1.0 );
        EXPECT_EQ( info.colocated_mapping,
                   ( std::vector< index_t >{ 0, 0, 1 } ) );

        // A later point within epsilon of two opened points stays with the
        // one that opened first; an already claimed point is not stolen.
        const NNSearch3D search2{ { Point3D{ { 0, 0, 0 } },
                                    Point3D{ { 2, 0, 0 } },
                                    Point3D{ { 1, 0, 0 } },
                                    Point3D{ { 1.5, 0, 0 } } } };
        info = search2.colocated_index_mapping( 1.0 );
        EXPECT_EQ( info.colocated_mapping,
                   ( std::vector< index_t >{ 0, 1, 0, 1 } ) );
        EXPECT_EQ( info.unique_points[1], Point3D( { 2, 0, 0 } ) );
    }

    TEST( NNSearch, DistanceExactlyEpsilonIsClaimed )
    {
        const NNSearch3D search{ { Point3D{ { 0, 0, 0 } },
                                   Point3D{ { 0.5, 0, 0 } },
                                   Point3D{ { 0, 0.5 + 1e-12, 0 } } } };
        const auto info = search.colocated_index_mapping( 0.5 );
        EXPECT_EQ( info.colocated_mapping,
                   ( std::vector< index_t >{ 0, 0, 1 } ) );
        EXPECT_EQ( search.colocated_index_mapping( 0 ).nb_colocated_points(),
                   0u );
    }

    TEST( NNSearch, NonFinitePointsStandAlone )
    {
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        const NNSearch3D search{ { Point3D{ { nan, 0, 0 } },
                                   Point3D{ { 1, 1, 1 } },
                                   Point3D{ { nan, 0, 0 } },
                                   Point3D{ { 1, 1, 1 } } } };
        const auto info = search.colocated_index_mapping( 0.1 );
        EXPECT_EQ( info.colocated_mapping,
                   ( std::vector< index_t >{ 0, 1, 2, 1 } ) );
        EXPECT_EQ( search.closest_neighbor( Point3D{} ), 1u );
        EXPECT_EQ( search.radius_neighbors( Point3D{ { 1, 1, 1 } }, 0 ),
                   ( std::vector< index_t >{ 1, 3 } ) );
    }

    TEST( NNSearch, EmptyAndBadInput )
    {
        const NNSearch3D search{ {} };
        EXPECT_TRUE(
            search.colocated_index_mapping( 1 ).unique_points.empty() );
        EXPECT_EQ( search.closest_neighbor( Point3D{} ), INVALID_INDEX );
        EXPECT_THROW( search.colocated_index_mapping( -1 ), CorvaneException );
        EXPECT_THROW( search.colocated_index_mapping(
                          std::numeric_limits< double >::quiet_NaN() ),
                      CorvaneException );
    }

    TEST( NNSearch, ManyDuplicatesAgreeWithBruteForce )
    {
        std::vector< Point3D > points;
        unsigned seed = 12345;
        const auto next = [&seed]
        {
            seed = seed * 1103515245u + 12345u;
            return ( seed >> 8 ) % 20;
        };
        for( int i = 0; i < 3000; i++ )
        {
            points.push_back( Point3D{ { next() * 0.1, next() * 0.1, 0.0 } } );
        }
        const NNSearch3D search{ points };
        const auto info = search.colocated_index_mapping( 0.15 );
        // Brute-force rule.
        std::vector< index_t > expected( points.size(), INVALID_INDEX );
        index_t nb_unique{ 0 };
        for( size_t p = 0; p < points.size(); p++ )
        {
            if( expected[p] != INVALID_INDEX )
            {
                continue;
            }
            for( size_t q = p; q < points.size(); q++ )
            {
                if( expected[q] == INVALID_INDEX &&
                    Vector3D{ points[p], points[q] }.length() <= 0.15 )
                {
                    expected[q] = nb_unique;
                }
            }
            nb_unique++;
        }
        EXPECT_EQ( info.colocated_mapping, expected );
        EXPECT_EQ( info.unique_points.size(), nb_unique );
    }
} // namespace vorna
