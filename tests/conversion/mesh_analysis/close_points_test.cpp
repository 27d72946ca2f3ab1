// The colocation check of a single input, against comparing every pair.

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <conversion/mesh_analysis/from_meshes/close_points.h>
#include <vorna/geometry/vector.h>

namespace
{
    using namespace vorna;
    using detail::from_meshes::has_points_within;

    constexpr double EPSILON = 1e-6;

    template < index_t D >
    bool any_pair_within( const std::vector< Point< D > >& points )
    {
        for( index_t i = 0; i < points.size(); i++ )
        {
            for( auto j = i + 1; j < points.size(); j++ )
            {
                if( Vector< D >{ points[i], points[j] }.length() <= EPSILON )
                {
                    return true;
                }
            }
        }
        return false;
    }

    // Points a little more than the tolerance apart in a box a dozen
    // tolerances wide: every cell of the check holds several, in no order
    // along any direction.
    std::vector< Point< 3 > > sparse_cluster( std::mt19937& random )
    {
        std::uniform_real_distribution< double > coordinate{ 0, 12 * EPSILON };
        std::vector< Point< 3 > > points;
        while( points.size() < 200 )
        {
            const Point< 3 > candidate{ { coordinate( random ),
                                          coordinate( random ),
                                          coordinate( random ) } };
            bool apart{ true };
            for( const auto& point : points )
            {
                apart = apart && Vector< 3 >{ point, candidate }.length() >
                                     1.05 * EPSILON;
            }
            if( apart )
            {
                points.push_back( candidate );
            }
        }
        return points;
    }

    // Points of one of several kinds: spread in a box, on the faces of a
    // grid, a sparse cluster, or along an axis; at a scale of millimetres
    // to kilometres, far from the origin or not. Half the sets get a point
    // at a random distance around the tolerance from one of them.
    std::vector< Point< 3 > > random_points( unsigned seed )
    {
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > unit{ 0, 1 };
        const auto kind = seed % 4;
        const double scale =
            std::pow( 10., -3 + static_cast< int >( seed % 7 ) );
        const double offset = seed % 3 == 0 ? 1e6 : 0;
        std::vector< Point< 3 > > points;
        if( kind == 2 )
        {
            points = sparse_cluster( random );
        }
        const auto nb = kind == 2 ? 0 : 50 + random() % 400;
        for( index_t k = 0; k < nb; k++ )
        {
            std::array< double, 3 > xyz{
                unit( random ), unit( random ), unit( random ) };
            if( kind == 1 )
            {
                xyz[random() % 3] = random() % 2;
                for( auto& value : xyz )
                {
                    value = std::round( value * 20 ) / 20;
                }
            }
            else if( kind == 3 )
            {
                xyz[1] = xyz[2] = 0.5;
            }
            for( auto& value : xyz )
            {
                value = offset + scale * value;
            }
            points.emplace_back( xyz );
        }
        if( seed % 2 == 0 )
        {
            const auto& near = points[random() % points.size()];
            Vector< 3 > direction{ { unit( random ) - 0.5,
                                     unit( random ) - 0.5,
                                     unit( random ) - 0.5 } };
            const auto distance = EPSILON * ( 0.5 + unit( random ) );
            points.push_back( near + direction.normalize() * distance );
        }
        return points;
    }

    TEST( ClosePoints, agree_with_comparing_every_pair )
    {
        index_t nb_found{ 0 };
        for( unsigned seed = 0; seed < 300; seed++ )
        {
            const auto points = random_points( seed );
            const auto expected = any_pair_within( points );
            nb_found += expected ? 1 : 0;
            EXPECT_EQ( has_points_within< 3 >( points, EPSILON ), expected )
                << "seed " << seed;
        }
        // Both answers are exercised.
        EXPECT_GT( nb_found, 50u );
        EXPECT_LT( nb_found, 250u );
    }

    TEST( ClosePoints, tolerance_counts_and_non_finite_points_do_not )
    {
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        const auto infinity = std::numeric_limits< double >::infinity();
        // Exactly the tolerance apart: close.
        EXPECT_TRUE( has_points_within< 3 >(
            std::vector< Point< 3 > >{ Point< 3 >{ { 0, 0, 0 } },
                                       Point< 3 >{ { 5, 5, 5 } },
                                       Point< 3 >{ { EPSILON, 0, 0 } } },
            EPSILON ) );
        // Non-finite points are left aside, even when equal.
        EXPECT_FALSE( has_points_within< 3 >(
            std::vector< Point< 3 > >{ Point< 3 >{ { nan, 0, 0 } },
                                       Point< 3 >{ { nan, 0, 0 } },
                                       Point< 3 >{ { infinity, 0, 0 } },
                                       Point< 3 >{ { infinity, 0, 0 } },
                                       Point< 3 >{ { 0, 0, 0 } },
                                       Point< 3 >{ { 1, 0, 0 } } },
            EPSILON ) );
        // In 2D, on a grid whose cells hold many points, one pair close.
        std::vector< Point< 2 > > grid;
        for( index_t i = 0; i < 40; i++ )
        {
            for( index_t j = 0; j < 40; j++ )
            {
                grid.push_back( Point< 2 >{ { 2.5 * EPSILON * i, 1e3 * j } } );
            }
        }
        EXPECT_FALSE( has_points_within< 2 >( grid, EPSILON ) );
        grid.push_back(
            Point< 2 >{ { 2.5 * EPSILON * 7 + 0.9 * EPSILON, 1e3 * 39 } } );
        EXPECT_TRUE( has_points_within< 2 >( grid, EPSILON ) );
    }

    TEST( ClosePoints, pair_deep_in_a_crowded_cell )
    {
        // A far point makes the cells much wider than a cluster of 17^3
        // points twice the tolerance apart: the cluster fills one cell of
        // more points than a piece of the parallel work takes.
        std::vector< Point< 3 > > points{ Point< 3 >{ { 1, 1, 1 } } };
        for( index_t i = 0; i < 17; i++ )
        {
            for( index_t j = 0; j < 17; j++ )
            {
                for( index_t k = 0; k < 17; k++ )
                {
                    points.push_back( Point< 3 >{ { 2 * EPSILON * i,
                                                    2 * EPSILON * j,
                                                    2 * EPSILON * k } } );
                }
            }
        }
        EXPECT_FALSE( has_points_within< 3 >( points, EPSILON ) );
        // Close to the last point of the cluster, listed last.
        points.push_back(
            Point< 3 >{ { 32.5 * EPSILON, 32 * EPSILON, 32 * EPSILON } } );
        EXPECT_TRUE( has_points_within< 3 >( points, EPSILON ) );
    }
} // namespace
