#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <conversion/common/tasks.h>

namespace
{
    using vorna::index_t;

    TEST( Tasks, HardwareConcurrencyIsPositive )
    {
        EXPECT_GE( vorna::detail::hardware_concurrency(), 1u );
    }

    TEST( Tasks, ForkRunsBothHalves )
    {
        int left{ 0 };
        int right{ 0 };
        vorna::detail::fork( [&] { left = 1; }, [&] { right = 2; } );
        EXPECT_EQ( left, 1 );
        EXPECT_EQ( right, 2 );
    }

    TEST( Tasks, ForkPassesTheTaskException )
    {
        bool left_done{ false };
        try
        {
            vorna::detail::fork( [&] { left_done = true; },
                                 [] { throw std::runtime_error{ "right" }; } );
            FAIL() << "expected an exception";
        }
        catch ( const std::runtime_error& error )
        {
            EXPECT_STREQ( error.what(), "right" );
        }
        EXPECT_TRUE( left_done );
    }

    TEST( Tasks, ForkPrefersTheCallerExceptionAndWaits )
    {
        std::atomic< bool > right_done{ false };
        try
        {
            vorna::detail::fork( [] { throw std::runtime_error{ "left" }; },
                                 [&]
                                 {
                                     right_done = true;
                                     throw std::logic_error{ "right" };
                                 } );
            FAIL() << "expected an exception";
        }
        catch ( const std::runtime_error& error )
        {
            EXPECT_STREQ( error.what(), "left" );
        }
        EXPECT_TRUE( right_done );
    }

    TEST( Tasks, ParallelForVisitsEveryIndexOnce )
    {
        std::vector< std::atomic< int > > visits( 1000 );
        vorna::detail::parallel_for(
            10, 1000, 7, [&]( index_t i ) { visits[i]++; } );
        for ( index_t i = 0; i < 1000; i++ )
        {
            EXPECT_EQ( visits[i], i < 10 ? 0 : 1 ) << i;
        }
        vorna::detail::parallel_for(
            5, 5, 0, []( index_t ) { FAIL() << "empty range"; } );
    }

    TEST( Tasks, ParallelForPassesABodyException )
    {
        EXPECT_THROW( vorna::detail::parallel_for(
                          0,
                          100,
                          1,
                          []( index_t i )
                          {
                              if ( i == 42 )
                              {
                                  throw std::runtime_error{ "body" };
                              }
                          } ),
                      std::runtime_error );
    }

    TEST( Tasks, GroupAppliesResultsInSpawnOrder )
    {
        std::vector< index_t > applied;
        const auto nb_applied = vorna::detail::run_group_and_apply(
            20,
            []( index_t k ) { return std::to_string( k ); },
            [&]( index_t k, std::string text )
            {
                EXPECT_EQ( text, std::to_string( k ) );
                applied.push_back( k );
            } );
        EXPECT_EQ( nb_applied, 20u );
        ASSERT_EQ( applied.size(), 20u );
        for ( index_t k = 0; k < 20; k++ )
        {
            EXPECT_EQ( applied[k], k );
        }
    }

    TEST( Tasks, GroupStopsAtFirstFailureWithoutThrowing )
    {
        std::atomic< int > made{ 0 };
        std::vector< index_t > applied;
        const auto nb_applied = vorna::detail::run_group_and_apply(
            10,
            [&]( index_t k )
            {
                made++;
                if ( k == 4 || k == 7 )
                {
                    throw std::runtime_error{ "task" };
                }
                return k;
            },
            [&]( index_t, index_t value ) { applied.push_back( value ); } );
        EXPECT_EQ( nb_applied, 4u );
        EXPECT_EQ( made, 10 ); // every task ran before applying
        EXPECT_EQ( applied, ( std::vector< index_t >{ 0, 1, 2, 3 } ) );

        const auto stopped_in_apply = vorna::detail::run_group_and_apply(
            3,
            []( index_t k ) { return k; },
            []( index_t k, index_t )
            {
                if ( k == 1 )
                {
                    throw std::runtime_error{ "apply" };
                }
            } );
        EXPECT_EQ( stopped_in_apply, 1u );
    }
} // namespace
