#pragma once

// The module's only parallel forms. Algorithms use these, never threads or
// the task library directly, so the exception rules live in one place.

#include <algorithm>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/task_group.h>

#include <vorna/basic/common.h>

#if defined( __SANITIZE_THREAD__ )
extern "C" void __tsan_acquire( void* address );
extern "C" void __tsan_release( void* address );
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace vorna
{
    namespace detail
    {
        // The task library is not built with the thread checker, which then
        // cannot see the order it sets between spawning a task, running it
        // and waiting for it. These tell it, and nothing more: two tasks are
        // never ordered by them.
        inline void release_to( const void* token )
        {
#if defined( __SANITIZE_THREAD__ )
            __tsan_release( const_cast< void* >( token ) );
#else
            static_cast< void >( token );
#endif
        }

        inline void acquire_from( const void* token )
        {
#if defined( __SANITIZE_THREAD__ )
            __tsan_acquire( const_cast< void* >( token ) );
#else
            static_cast< void >( token );
#endif
        }

        /// The task library builds a task object on the storage of a task
        /// another thread has ended: its own part (base, virtual table
        /// pointer) before our body, its bookkeeping (the group to tell,
        /// the allocator) after it, all ordered by its allocator and its
        /// spawning out of the thread checker's sight, and read back by the
        /// thread that runs the task, in code inlined into ours. While the
        /// task is handed over, the checker skips this thread's memory
        /// accesses: the task library's, and the copy of our body's
        /// captures out of a local that no other thread sees. The body
        /// itself, and all else of ours, is still checked.
        class UnseenTaskLibrary
        {
          public:
            UnseenTaskLibrary()
            {
#if defined( __SANITIZE_THREAD__ )
                __tsan_ignore_thread_begin();
#endif
            }

            UnseenTaskLibrary( const UnseenTaskLibrary& ) = delete;
            UnseenTaskLibrary& operator=( const UnseenTaskLibrary& ) = delete;

            ~UnseenTaskLibrary()
            {
#if defined( __SANITIZE_THREAD__ )
                __tsan_ignore_thread_end();
#endif
            }
        };

        /// The task library recycles the storage of an ended task for the
        /// next tasks, out of the thread checker's sight: a body ending
        /// releases its place, a body made there later acquires it.
        class RecycledPlace
        {
          protected:
            RecycledPlace()
            {
                acquire_from( this );
            }

            RecycledPlace( const RecycledPlace& ) : RecycledPlace() {}

            ~RecycledPlace()
            {
                release_to( this );
            }
        };

        /// A task body that passes on, to the thread checker, the order the
        /// task library gives: all that came before a copy of the body was
        /// made happens before that copy runs, and each run happens before
        /// the waiter acquires from `ended`.
        template < typename Body >
        class OrderedBody : RecycledPlace
        {
          public:
            OrderedBody( Body body, const void* ended )
                : body_( std::move( body ) ), ended_( ended )
            {
                release_to( this );
            }

            OrderedBody( const OrderedBody& other )
                : RecycledPlace(),
                  body_( ( acquire_from( &other ), other.body_ ) ),
                  ended_( other.ended_ )
            {
                release_to( this );
            }

            OrderedBody( OrderedBody&& other )
                : RecycledPlace(),
                  body_( ( acquire_from( &other ), std::move( other.body_ ) ) ),
                  ended_( other.ended_ )
            {
                release_to( this );
            }

            OrderedBody& operator=( const OrderedBody& ) = delete;
            OrderedBody& operator=( OrderedBody&& ) = delete;

            void operator()() const
            {
                acquire_from( this );
                try
                {
                    body_();
                }
                catch( ... )
                {
                    release_to( ended_ );
                    throw;
                }
                release_to( ended_ );
            }

          private:
            Body body_;
            const void* ended_;
        };

        /// Runs `body` as a task of `group`, ordered as OrderedBody says.
        template < typename Body >
        void
        run_ordered( tbb::task_group& group, Body&& body, const void* ended )
        {
            OrderedBody< std::decay_t< Body > > ordered{
                std::forward< Body >( body ), ended };
            const UnseenTaskLibrary unseen;
            group.run( std::move( ordered ) );
        }

        /// Waits for the group, then acquires what its tasks released to
        /// `ended`, also when the wait rethrows a task's exception.
        inline void wait_ordered( tbb::task_group& group, const void* ended )
        {
            try
            {
                group.wait();
            }
            catch( ... )
            {
                acquire_from( ended );
                throw;
            }
            acquire_from( ended );
        }

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
        /// threads, the calling thread included (1, and 0 alike, runs
        /// everything on the calling thread). For measuring and testing:
        /// results must not depend on it.
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
            run_ordered(
                group,
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
                },
                &right_error );
            try
            {
                left();
            }
            catch( ... )
            {
                wait_ordered( group, &right_error );
                throw;
            }
            wait_ordered( group, &right_error );
            if( right_error )
            {
                std::rethrow_exception( right_error );
            }
        }

        /// Calls body(i) for every i in [begin, end), in chunks of at least
        /// `grain` indices spread over the pool (a grain of 0 counts as 1).
        /// Bodies must write only their own elements.
        /// \throw the first exception a body threw, once the loop has
        /// stopped; chunks not started by then are cancelled.
        template < typename Body >
        void
        parallel_for( index_t begin, index_t end, index_t grain, Body&& body )
        {
            if( begin >= end )
            {
                return;
            }
            // A few chunks per thread, so that uneven chunks even out.
            const index_t nb_indices = end - begin;
            const index_t wanted_chunks = 4 * hardware_concurrency();
            const index_t chunk =
                std::max( std::max< index_t >( grain, 1 ),
                          ( nb_indices + wanted_chunks - 1 ) / wanted_chunks );
            if( chunk >= nb_indices )
            {
                // One chunk: no task is worth its hand-off.
                for( auto i = begin; i < end; ++i )
                {
                    body( i );
                }
                return;
            }
            tbb::task_group group;
            for( index_t first = begin; first < end; )
            {
                const index_t last = first + std::min( chunk, end - first );
                run_ordered(
                    group,
                    [&body, first, last]
                    {
                        for( auto i = first; i < last; ++i )
                        {
                            body( i );
                        }
                    },
                    &body );
                first = last;
            }
            wait_ordered( group, &body );
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
                run_ordered(
                    group,
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
                    },
                    &errors );
            }
            wait_ordered( group, &errors );
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
