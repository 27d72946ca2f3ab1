#pragma once

// The module's only parallel forms. Algorithms use these, never threads or
// the task library directly, so the exception rules live in one place.

#include <algorithm>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_group.h>

#include <vorna/basic/common.h>

namespace vorna
{
    namespace detail
    {
        /// Number of threads the pool runs on, within any ThreadLimit in
        /// force; at least 1.
        inline unsigned int hardware_concurrency()
        {
            const auto concurrency = std::min< std::size_t >(
                static_cast< std::size_t >(
                    std::max( tbb::info::default_concurrency(), 1 ) ),
                tbb::global_control::active_value(
                    tbb::global_control::max_allowed_parallelism ) );
            return std::max( static_cast< unsigned int >( concurrency ), 1u );
        }

        /// While alive, every parallel form runs on at most `nb_threads`
        /// threads, the calling thread included (1 runs everything on the
        /// calling thread). For measuring and testing: results must not
        /// depend on it.
        class ThreadLimit
        {
          public:
            explicit ThreadLimit( unsigned int nb_threads )
                : control_( tbb::global_control::max_allowed_parallelism,
                            std::max( nb_threads, 1u ) )
            {
            }

          private:
            tbb::global_control control_;
        };

        /// Runs `right` as a pool task while the calling thread runs `left`,
        /// and returns once both have ended.
        /// \throw whatever `left` threw (the task is still waited for, and
        /// its own exception is dropped); otherwise whatever `right` threw.
        template < typename Left, typename Right >
        void fork( Left&& left, Right&& right )
        {
            std::exception_ptr right_error;
            tbb::task_group group;
            group.run(
                [&right, &right_error]
                {
                    try
                    {
                        right();
                    }
                    catch( ... )
                    {
                        right_error = std::current_exception();
                    }
                } );
            try
            {
                left();
            }
            catch( ... )
            {
                group.wait();
                throw;
            }
            group.wait();
            if( right_error )
            {
                std::rethrow_exception( right_error );
            }
        }

        /// Calls body(i) for every i in [begin, end), in chunks of at least
        /// `grain` indices spread over the pool (a grain of 0 counts as 1).
        /// Bodies must write only their own elements.
        /// \throw the first exception a body threw, once the loop has
        /// stopped; remaining chunks are then cancelled.
        template < typename Body >
        void
        parallel_for( index_t begin, index_t end, index_t grain, Body&& body )
        {
            if( begin >= end )
            {
                return;
            }
            tbb::parallel_for(
                tbb::blocked_range< index_t >(
                    begin, end, std::max< index_t >( grain, 1 ) ),
                [&body]( const tbb::blocked_range< index_t >& range )
                {
                    for( auto i = range.begin(); i != range.end(); ++i )
                    {
                        body( i );
                    }
                } );
        }

        /// Group whose results are applied on one thread: spawns
        /// make(k) for every k in [0, nb_tasks) as pool tasks, waits for all
        /// of them, then calls apply(k, result of k) on the calling thread in
        /// spawn order.
        ///
        /// When a task threw, nothing is applied: once every task has ended,
        /// the exception of the first failed task in spawn order is
        /// rethrown, so the caller never goes on with part of the results.
        /// An exception thrown by apply stops the applying and is passed on.
        template < typename Make, typename Apply >
        void run_group_and_apply( index_t nb_tasks, Make&& make, Apply&& apply )
        {
            using Result =
                std::decay_t< std::invoke_result_t< Make&, index_t > >;
            static_assert( !std::is_void< Result >::value,
                           "Each task of the group must return a result" );
            std::vector< std::optional< Result > > results( nb_tasks );
            std::vector< std::exception_ptr > errors( nb_tasks );
            tbb::task_group group;
            for( index_t k = 0; k < nb_tasks; k++ )
            {
                group.run(
                    [&make, &results, &errors, k]
                    {
                        try
                        {
                            results[k].emplace( make( k ) );
                        }
                        catch( ... )
                        {
                            errors[k] = std::current_exception();
                        }
                    } );
            }
            group.wait();
            for( const auto& error : errors )
            {
                if( error )
                {
                    std::rethrow_exception( error );
                }
            }
            for( index_t k = 0; k < nb_tasks; k++ )
            {
                apply( k, std::move( *results[k] ) );
            }
        }
    } // namespace detail
} // namespace vorna
