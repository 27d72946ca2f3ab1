#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>

#include <conversion/common/tasks.h>

namespace
{
    using vorna::index_t;

    using vorna::test::expect_error;

    TEST( ConcurrentTasks, ForkPassesExceptionsCallerHalfFirst )
    {
        EXPECT_GE( vorna::detail::hardware_concurrency(), 1u );
        int left{ 0 };
        int right{ 0 };
        vorna::detail::fork( [&] { left = 1; }, [&] { right = 2; } );
        EXPECT_EQ( left + right, 3 );

        expect_error< std::exception >(
            [] {
                vorna::detail::fork(
                    [] {}, [] { throw std::runtime_error{ "right" }; } );
            },
            "right" );

        std::atomic< bool > right_done{ false };
        expect_error< std::exception >(
            [&]
            {
                vorna::detail::fork( [] { throw std::runtime_error{ "left" }; },
                                     [&]
                                     {
                                         right_done = true;
                                         throw std::logic_error{ "right" };
                                     } );
            },
            "left" );
        EXPECT_TRUE( right_done ); // waited for before rethrowing
    }

    TEST( ConcurrentTasks, ParallelForVisitsEachIndexOnceAndPassesExceptions )
    {
        std::vector< std::atomic< int > > visits( 1000 );
        vorna::detail::parallel_for(
            10, 1000, 7, [&]( index_t i ) { visits[i]++; } );
        for( index_t i = 0; i < 1000; i++ )
        {
            ASSERT_EQ( visits[i], i < 10 ? 0 : 1 ) << i;
        }
        expect_error< std::exception >(
            []
            {
                vorna::detail::parallel_for( 0,
                                             100,
                                             0,
                                             []( index_t i )
                                             {
                                                 if( i == 42 )
                                                 {
                                                     throw std::runtime_error{
                                                         "body" };
                                                 }
                                             } );
            },
            "body" );
    }

    TEST( ConcurrentTasks, ThreadLimitBoundsTheConcurrency )
    {
        const auto all = vorna::detail::hardware_concurrency();
        // A limit of 0 means one thread, as 1 does.
        for( const unsigned int nb_threads : { 0u, 1u } )
        {
            const vorna::detail::ThreadLimit limit{ nb_threads };
            EXPECT_EQ( vorna::detail::hardware_concurrency(), 1u )
                << nb_threads;
            // Everything runs on the calling thread, forks included.
            const auto caller = std::this_thread::get_id();
            std::atomic< int > elsewhere{ 0 };
            vorna::detail::fork(
                [&] { elsewhere += std::this_thread::get_id() != caller; },
                [&] { elsewhere += std::this_thread::get_id() != caller; } );
            vorna::detail::parallel_for(
                0,
                1000,
                1,
                [&]( index_t )
                { elsewhere += std::this_thread::get_id() != caller; } );
            EXPECT_EQ( elsewhere, 0 ) << nb_threads;
        }
        EXPECT_EQ( vorna::detail::hardware_concurrency(), all );
    }

    TEST( ConcurrentTasks, GroupAppliesInSpawnOrder )
    {
        std::vector< index_t > applied;
        vorna::detail::run_group_and_apply(
            20,
            []( index_t k ) { return std::to_string( k ); },
            [&]( index_t k, std::string text )
            {
                EXPECT_EQ( text, std::to_string( k ) );
                applied.push_back( k );
            } );
        ASSERT_EQ( applied.size(), 20u );
        for( index_t k = 0; k < applied.size(); k++ )
        {
            EXPECT_EQ( applied[k], k );
        }
    }

    TEST( ConcurrentTasks, GroupPassesTheFirstFailureAfterAllTasksEnded )
    {
        std::atomic< int > made{ 0 };
        index_t nb_applied{ 0 };
        const auto make = [&]( index_t k )
        {
            made++;
            if( k == 14 || k == 17 )
            {
                throw std::runtime_error{ "task " + std::to_string( k ) };
            }
            return k;
        };
        expect_error< std::exception >(
            [&]
            {
                vorna::detail::run_group_and_apply(
                    20, make, [&]( index_t, index_t ) { nb_applied++; } );
            },
            "task 14" );
        EXPECT_EQ( made, 20 );
        // Nothing applied: the caller never sees part of the results.
        EXPECT_EQ( nb_applied, 0u );

        expect_error< std::exception >(
            [&]
            {
                vorna::detail::run_group_and_apply(
                    3,
                    []( index_t k ) { return k; },
                    [&]( index_t k, index_t )
                    {
                        if( k == 1 )
                        {
                            throw std::runtime_error{ "apply" };
                        }
                        nb_applied++;
                    } );
            },
            "apply" );
        EXPECT_EQ( nb_applied, 1u );
    }
} // namespace
