#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <support/expect_error.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>

namespace
{
    using vorna::AttributeManager;
    using vorna::index_t;
    using vorna::INVALID_INDEX;
    using vorna::SparseAttribute;
    using vorna::VariableAttribute;
    using Indices = std::vector< index_t >;

    // Element i holds base + i.
    std::shared_ptr< VariableAttribute< index_t > >
    filled( AttributeManager& manager, const std::string& name, index_t base )
    {
        auto attribute =
            manager.find_or_create_attribute< VariableAttribute, index_t >(
                name, INVALID_INDEX );
        for( index_t i = 0; i < manager.nb_elements(); i++ )
        {
            attribute->set_value( i, base + i );
        }
        return attribute;
    }

    index_t
    value( const AttributeManager& manager, const char* name, index_t i )
    {
        return manager.find_attribute< index_t >( name )->value( i );
    }

    TEST( AttributeManager, RegisterFindDeleteResizeCopy )
    {
        AttributeManager manager;
        manager.resize( 3 );
        auto attribute = std::make_shared< VariableAttribute< index_t > >( 7u );
        manager.register_attribute( attribute, "a" );
        EXPECT_EQ( attribute->value( 2 ), 7u );
        EXPECT_EQ( manager.find_attribute_base( "a" ).use_count(), 3 );
        EXPECT_EQ( manager.find_attribute_base( "missing" ), nullptr );
        EXPECT_THROW( manager.register_attribute( nullptr, "b" ),
                      vorna::CorvaneException );
        manager.resize( 5 );
        EXPECT_EQ( attribute->value( 4 ), 7u );

        AttributeManager copy;
        copy.copy( manager );
        EXPECT_EQ( copy.nb_elements(), 5u );
        EXPECT_NE( copy.find_attribute_base( "a" ), attribute );
        EXPECT_EQ( value( copy, "a", 4 ), 7u );

        manager.delete_attribute( "a" );
        manager.delete_attribute( "missing" );
        EXPECT_FALSE( manager.attribute_exists( "a" ) );
        EXPECT_EQ( attribute.use_count(), 1 );
    }

    TEST( AttributeManager, ImportSkipsUnmappedElements )
    {
        AttributeManager from;
        from.resize( 4 );
        filled( from, "a", 10 );
        from.find_or_create_attribute< SparseAttribute, index_t >( "s", 0 )
            ->set_value( 3, 99 );
        AttributeManager to;
        to.resize( 3 );
        filled( to, "a", 100 );
        filled( to, "kept", 5 );
        to.import( from, Indices{ 2, INVALID_INDEX, 0, 1 } );
        EXPECT_EQ( value( to, "a", 0 ), 12u );
        EXPECT_EQ( value( to, "a", 2 ), 10u );
        EXPECT_EQ( value( to, "s", 1 ), 99u );
        EXPECT_EQ( value( to, "kept", 2 ), 7u );
        EXPECT_EQ( value( from, "a", 1 ), 11u ); // only read

        EXPECT_THROW( to.import( from, Indices{ 0, 5, 1, 2 } ),
                      vorna::CorvaneException );
        EXPECT_EQ( value( to, "a", 0 ), 12u );
    }

    TEST( AttributeManager, DeleteAndPermuteKeepAttributesInStep )
    {
        AttributeManager manager;
        manager.resize( 4 );
        auto dense = filled( manager, "a", 0 );
        auto sparse =
            manager.find_or_create_attribute< SparseAttribute, index_t >( "s",
                                                                          0 );
        sparse->set_value( 3, 30 );
        EXPECT_THROW( manager.delete_elements( { true } ),
                      vorna::CorvaneException );
        manager.delete_elements( { false, true, false, false } );
        EXPECT_EQ( manager.nb_elements(), 3u );
        EXPECT_EQ( dense->value( 1 ), 2u );
        EXPECT_EQ( sparse->value( 2 ), 30u );

        manager.permute_elements( Indices{ 2, 1, 0 } );
        EXPECT_EQ( dense->value( 0 ), 3u );
        EXPECT_EQ( sparse->value( 0 ), 30u );
        EXPECT_THROW( manager.permute_elements( Indices{ 0 } ),
                      vorna::CorvaneException );
        manager.copy_attribute_value( 0, 1 );
        EXPECT_EQ( dense->value( 1 ), 3u );
        EXPECT_EQ( sparse->value( 1 ), 30u );
        vorna::test::expect_exact_error(
            [&manager] { manager.copy_attribute_value( 3, 0 ); },
            "[AttributeManager::copy_attribute_value] Element 3 is out of "
            "range [0, 3)" );
        vorna::test::expect_exact_error(
            [&manager] { manager.copy_attribute_value( 0, 7 ); },
            "[AttributeManager::copy_attribute_value] Element 7 is out of "
            "range [0, 3)" );
        EXPECT_EQ( dense->value( 0 ), 3u );
    }
} // namespace
