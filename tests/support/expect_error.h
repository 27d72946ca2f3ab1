#pragma once

#include <atomic>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>

// Header only: tests that do not link the support library use it too.
namespace vorna
{
    namespace test
    {
        /// Runs `action`, expecting an exception of type `Exception` (a
        /// CorvaneException unless told otherwise) whose message starts with
        /// `prefix`: the whole message when `prefix` is the whole message.
        template < typename Exception = CorvaneException, typename Action >
        void expect_error( Action action, const std::string& prefix )
        {
            try
            {
                action();
                ADD_FAILURE() << "no exception, expected " << prefix;
            }
            catch( const Exception& error )
            {
                EXPECT_EQ( std::string{ error.what() }.rfind( prefix, 0 ), 0u )
                    << error.what();
            }
        }

        /// As expect_error, the message being exactly `message`.
        template < typename Exception = CorvaneException, typename Action >
        void expect_exact_error( Action action, const std::string& message )
        {
            try
            {
                action();
                ADD_FAILURE() << "no exception, expected " << message;
            }
            catch( const Exception& error )
            {
                EXPECT_EQ( std::string{ error.what() }, message );
            }
        }

        /// Runs `run` with a hook taking an index (of a chunk, a block...)
        /// that throws std::runtime_error `message` for `failing`: expects
        /// that error, exactly, to reach the caller, and returns how many
        /// times the hook ran.
        template < typename Run >
        index_t nb_hook_calls_to_failure( Run run,
                                          index_t failing,
                                          const std::string& message )
        {
            std::atomic< index_t > nb_calls{ 0 };
            expect_exact_error< std::runtime_error >(
                [&]
                {
                    run(
                        [&]( index_t index )
                        {
                            nb_calls++;
                            if( index == failing )
                            {
                                throw std::runtime_error{ message };
                            }
                        } );
                },
                message );
            return nb_calls.load();
        }
    } // namespace test
} // namespace vorna
