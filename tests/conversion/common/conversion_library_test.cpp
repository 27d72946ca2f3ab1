#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/unset_uuid.h>
#include <vorna/conversion/conversion_model.h>

namespace
{
    TEST( CorvaneException, MessageFormsJoinWithNothingBetween )
    {
        const char* null_text = nullptr;
        EXPECT_STREQ( vorna::CorvaneException{ null_text }.what(), "" );
        EXPECT_STREQ( vorna::CorvaneException{ "[Op] failed" }.what(),
                      "[Op] failed" );
        const std::string key{ "DefaultPointSet3D" };
        const vorna::CorvaneException two_parts(
            "Cannot create mesh builder with key: ", key );
        EXPECT_STREQ(
            two_parts.what(),
            "Cannot create mesh builder with key: DefaultPointSet3D" );
        const vorna::CorvaneException four_parts(
            "a", std::string{ "b" }, "c", std::string{ "d" } );
        EXPECT_STREQ( four_parts.what(), "abcd" );
        // Callers catch it as a standard error too.
        EXPECT_THROW( throw vorna::CorvaneException{ "x" },
                      std::runtime_error );
    }

    TEST( UnsetUuid, IsAStableDefault )
    {
        const auto copy = vorna::UNSET_UUID;
        EXPECT_EQ( copy, vorna::UNSET_UUID );
        EXPECT_NE( vorna::uuid{}, vorna::UNSET_UUID );

        vorna::AttributeManager manager;
        manager.resize( 3 );
        auto attribute =
            manager.find_or_create_attribute< vorna::VariableAttribute,
                                              vorna::uuid >(
                "surface_uuid", vorna::UNSET_UUID );
        attribute->set_value( 1, vorna::uuid{} );
        EXPECT_EQ( attribute->value( 0 ), vorna::UNSET_UUID );
        EXPECT_NE( attribute->value( 1 ), vorna::UNSET_UUID );
        EXPECT_EQ( attribute->value( 2 ), vorna::UNSET_UUID );
    }

    TEST( ConversionModel, InitialiseRepeatedlyAndConcurrently )
    {
        vorna::ConversionModel::initialize();
        vorna::ConversionModel::initialize();
        std::vector< std::thread > threads;
        for ( int t = 0; t < 4; t++ )
        {
            threads.emplace_back( []
                                  { vorna::ConversionModel::initialize(); } );
        }
        for ( auto& thread : threads )
        {
            thread.join();
        }
    }
} // namespace
