#pragma once

#include <gtest/gtest.h>

#include <vorna/conversion/conversion_model.h>

namespace vorna
{
    namespace test
    {
        /// A test fixture whose suite starts the conversion library first.
        template < typename Base = ::testing::Test >
        class WithConversion : public Base
        {
          protected:
            static void SetUpTestSuite()
            {
                ConversionModel::initialize();
            }
        };

        using ConversionTest = WithConversion<>;
    } // namespace test
} // namespace vorna
