#pragma once

#include <gtest/gtest.h>

#include <vorna/conversion/conversion_model.h>
#include <vorna/model/corvane_model.h>

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

        /// A test fixture that starts the model library before each test.
        class ModelTest : public ::testing::Test
        {
          protected:
            void SetUp() override
            {
                CorvaneModel::initialize();
            }
        };
    } // namespace test
} // namespace vorna
