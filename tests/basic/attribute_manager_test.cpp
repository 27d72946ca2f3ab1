#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>

namespace
{
    using vorna::AttributeManager;
    using vorna::INVALID_INDEX;
    using vorna::SparseAttribute;
    using vorna::VariableAttribute;

    std::shared_ptr< VariableAttribute< unsigned int > > filled(
        AttributeManager& manager, const std::string& name, unsigned int base )
    {
        auto attribute =
            manager.find_or_create_attribute< VariableAttribute, unsigned int >(
                name, INVALID_INDEX );
        for ( unsigned int i = 0; i < manager.nb_elements(); i++ )
        {
            attribute->set_value( i, base + i );
        }
        return attribute;
    }

    TEST( AttributeManager, RegisterFindDeleteResize )
    {
        AttributeManager manager;
        manager.resize( 3 );
        auto attribute =
            std::make_shared< VariableAttribute< unsigned int > >( 7u );
        manager.register_attribute( attribute, "a" );
        EXPECT_EQ( attribute->nb_values(), 3u );
        EXPECT_EQ( attribute->value( 2 ), 7u );
        EXPECT_EQ( manager.find_attribute_base( "a" ), attribute );
        EXPECT_EQ( manager.find_attribute_base( "a" ).use_count(), 3 );
        EXPECT_EQ( manager.find_attribute_base( "missing" ), nullptr );
        EXPECT_THROW( manager.register_attribute( nullptr, "b" ),
                      vorna::CorvaneException );

        manager.resize( 5 );
        EXPECT_EQ( attribute->nb_values(), 5u );
        EXPECT_EQ( attribute->value( 4 ), 7u );

        manager.register_attribute(
            std::make_shared< SparseAttribute< unsigned int > >( 1u ), "b" );
        EXPECT_EQ( manager.attribute_names(),
                   ( std::vector< std::string >{ "a", "b" } ) );
        manager.delete_attribute( "a" );
        manager.delete_attribute( "missing" );
        EXPECT_FALSE( manager.attribute_exists( "a" ) );
        EXPECT_EQ( attribute.use_count(), 1 );
        EXPECT_NE( manager.find_generic_attribute( "b" ), nullptr );
    }

    TEST( AttributeManager, ImportSkipsUnmappedElements )
    {
        AttributeManager from;
        from.resize( 4 );
        filled( from, "a", 10 );
        auto sparse =
            from.find_or_create_attribute< SparseAttribute, unsigned int >( "s",
                                                                            0 );
        sparse->set_value( 3, 99 );

        AttributeManager to;
        to.resize( 3 );
        filled( to, "a", 100 );
        filled( to, "kept", 5 );
        const std::vector< vorna::index_t > old2new{ 2, INVALID_INDEX, 0, 1 };
        to.import( from, old2new );

        const auto a = to.find_attribute< unsigned int >( "a" );
        EXPECT_EQ( a->value( 0 ), 12u );
        EXPECT_EQ( a->value( 1 ), 13u );
        EXPECT_EQ( a->value( 2 ), 10u );
        EXPECT_EQ( to.find_attribute< unsigned int >( "s" )->value( 1 ), 99u );
        EXPECT_EQ( to.find_attribute< unsigned int >( "kept" )->value( 2 ),
                   7u );
        // The source is only read.
        EXPECT_EQ( from.find_attribute< unsigned int >( "a" )->value( 1 ),
                   11u );

        const std::vector< vorna::index_t > too_far{ 0, 5, 1, 2 };
        EXPECT_THROW( to.import( from, too_far ), vorna::CorvaneException );
        EXPECT_EQ( to.find_attribute< unsigned int >( "a" )->value( 0 ), 12u );
    }

    TEST( AttributeManager, CopyClonesEveryAttribute )
    {
        AttributeManager from;
        from.resize( 2 );
        auto original = filled( from, "a", 1 );
        AttributeManager to;
        to.copy( from );
        EXPECT_EQ( to.nb_elements(), 2u );
        auto copied = to.find_attribute< unsigned int >( "a" );
        EXPECT_NE( copied.get(), original.get() );
        EXPECT_EQ( copied->value( 1 ), 2u );
        original->set_value( 1, 50 );
        EXPECT_EQ( copied->value( 1 ), 2u );
    }

    TEST( AttributeManager, DeleteAndPermuteKeepAttributesInStep )
    {
        AttributeManager manager;
        manager.resize( 4 );
        auto dense = filled( manager, "a", 0 );
        auto sparse =
            manager.find_or_create_attribute< SparseAttribute, unsigned int >(
                "s", 0 );
        sparse->set_value( 3, 30 );

        EXPECT_THROW( manager.delete_elements( { true } ),
                      vorna::CorvaneException );
        manager.delete_elements( { false, true, false, false } );
        EXPECT_EQ( manager.nb_elements(), 3u );
        EXPECT_EQ( dense->nb_values(), 3u );
        EXPECT_EQ( dense->value( 1 ), 2u );
        EXPECT_EQ( sparse->value( 2 ), 30u );

        const std::vector< vorna::index_t > swap{ 2, 1, 0 };
        manager.permute_elements( swap );
        EXPECT_EQ( dense->value( 0 ), 3u );
        EXPECT_EQ( dense->value( 2 ), 0u );
        EXPECT_EQ( sparse->value( 0 ), 30u );
        EXPECT_THROW(
            manager.permute_elements( std::vector< vorna::index_t >{ 0 } ),
            vorna::CorvaneException );

        manager.copy_attribute_value( 0, 1 );
        EXPECT_EQ( dense->value( 1 ), 3u );
        EXPECT_EQ( sparse->value( 1 ), 30u );
    }
} // namespace
