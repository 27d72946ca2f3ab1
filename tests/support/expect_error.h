#pragma once

#include <string>

#include <gtest/gtest.h>

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
    } // namespace test
} // namespace vorna
