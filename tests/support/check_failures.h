#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <absl/strings/str_cat.h>

namespace vorna
{
    namespace test
    {
        /// The failures a check collects, reported together.
        class CheckFailures
        {
          public:
            template < typename... Parts >
            void fail( const Parts&... parts )
            {
                // A broken model tends to break everywhere: a few lines
                // suffice.
                if( failures_.size() < 20 )
                {
                    failures_.push_back( absl::StrCat( parts... ) );
                }
            }

            ::testing::AssertionResult result() const
            {
                if( failures_.empty() )
                {
                    return ::testing::AssertionSuccess();
                }
                auto failure = ::testing::AssertionFailure();
                for( const auto& line : failures_ )
                {
                    failure << line << "\n";
                }
                return failure;
            }

          private:
            std::vector< std::string > failures_;
        };
    } // namespace test
} // namespace vorna
