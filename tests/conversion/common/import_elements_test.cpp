#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <conversion/common/import_elements.h>
#include <support/expect_error.h>
#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/uuid.h>
#include <vorna/conversion/common/attribute.h>

namespace
{
    using namespace vorna;
    using Indices = std::vector< index_t >;

    // Counts the extracts made through it.
    class CountingExtract : public VariableAttribute< index_t >
    {
      public:
        explicit CountingExtract( index_t* count )
            : VariableAttribute< index_t >( 0 ), count_( count )
        {
        }

        std::shared_ptr< AttributeBase >
        extract( absl::Span< const index_t > old2new,
                 index_t nb_elements ) const override
        {
            ( *count_ )++;
            return VariableAttribute< index_t >::extract( old2new,
                                                          nb_elements );
        }

      private:
        index_t* count_;
    };

    /// 6 elements: a dense attribute 10, 11, ..., a sparse one holding 7 on
    /// elements 1 and 4, a dense uuid one, and a derived one.
    class ImportElements : public ::testing::Test
    {
      protected:
        ImportElements()
        {
            from.resize( 6 );
            auto dense =
                from.find_or_create_attribute< VariableAttribute, index_t >(
                    "dense", 99 );
            auto sparse =
                from.find_or_create_attribute< SparseAttribute, index_t >(
                    "sparse", 0 );
            auto ids = from.find_or_create_attribute< VariableAttribute, uuid >(
                "ids", uuid{} );
            auto derived = std::make_shared< CountingExtract >( &nb_extracts );
            from.register_attribute( derived, "derived" );
            for( index_t e = 0; e < 6; e++ )
            {
                dense->set_value( e, 10 + e );
                ids->set_value( e, uuid{} );
                derived->set_value( e, 20 + e );
            }
            sparse->set_value( 1, 7 );
            sparse->set_value( 4, 7 );
        }

        template < typename T >
        std::vector< T > values( const AttributeManager& manager,
                                 const std::string& name ) const
        {
            const auto attribute = manager.find_attribute< T >( name );
            std::vector< T > result;
            for( index_t e = 0; e < manager.nb_elements(); e++ )
            {
                result.push_back( attribute->value( e ) );
            }
            return result;
        }

        AttributeManager from;
        index_t nb_extracts{ 0 };
    };

    TEST_F( ImportElements, gives_what_import_gives )
    {
        const Indices elements{ 4, 0, 5 };
        AttributeManager gathered;
        gathered.resize( 4 );
        detail::import_elements( gathered, from, elements, 6 );
        EXPECT_EQ( nb_extracts, 1u );
        AttributeManager imported;
        imported.resize( 4 );
        imported.import(
            from, { 1, INVALID_INDEX, INVALID_INDEX, INVALID_INDEX, 0, 2 } );
        EXPECT_EQ( gathered.attribute_names(), imported.attribute_names() );
        for( const auto* name : { "dense", "sparse", "derived" } )
        {
            EXPECT_EQ( values< index_t >( gathered, name ),
                       values< index_t >( imported, name ) )
                << name;
        }
        EXPECT_EQ( values< index_t >( gathered, "dense" ),
                   ( Indices{ 14, 10, 15, 0 } ) );
        EXPECT_EQ( values< index_t >( gathered, "sparse" ),
                   ( Indices{ 7, 0, 0, 0 } ) );
        const auto ids = values< uuid >( gathered, "ids" );
        const auto source = values< uuid >( from, "ids" );
        EXPECT_EQ( ( std::vector< uuid >( ids.begin(), ids.begin() + 3 ) ),
                   ( std::vector< uuid >{ source[4], source[0], source[5] } ) );
        // Defaults and storage kinds come over.
        EXPECT_EQ( std::dynamic_pointer_cast< VariableAttribute< index_t > >(
                       gathered.find_attribute_base( "dense" ) )
                       ->default_value(),
                   99u );
        EXPECT_TRUE( std::dynamic_pointer_cast< SparseAttribute< index_t > >(
            gathered.find_attribute_base( "sparse" ) ) );
    }

    TEST_F( ImportElements, refuses_more_elements_than_the_target_holds )
    {
        AttributeManager target;
        target.resize( 1 );
        test::expect_error(
            [&] {
                detail::import_elements( target, from, Indices{ 0, 1 }, 6 );
            },
            "[VariableAttribute::gather] More elements than the given number "
            "of elements." );
        EXPECT_TRUE( target.attribute_names().empty() );
    }
} // namespace
