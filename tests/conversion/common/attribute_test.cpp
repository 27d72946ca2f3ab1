#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <gtest/gtest.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/uuid.h>
#include <vorna/conversion/common/attribute.h>

namespace
{
    using vorna::AttributeFlags;
    using vorna::index_t;
    using vorna::INVALID_INDEX;
    using vorna::SparseAttribute;
    using vorna::VariableAttribute;
    using List = absl::InlinedVector< index_t, 3 >;

    constexpr char extract_message[] =
        "[VariableAttribute::extract] The given mapping contains values that "
        "go beyond the given number of elements.";

    template < typename Call >
    std::string message_of( Call&& call )
    {
        try
        {
            call();
        }
        catch ( const vorna::CorvaneException& error )
        {
            return error.what();
        }
        return "no exception";
    }

    TEST( VariableAttribute, CapacityGrowth )
    {
        VariableAttribute< index_t > attribute{ INVALID_INDEX };
        EXPECT_EQ( attribute.nb_values(), 0u );
        EXPECT_EQ( attribute.capacity(), 10u );
        attribute.resize( 10 );
        EXPECT_EQ( attribute.capacity(), 10u );
        attribute.resize( 11 );
        EXPECT_EQ( attribute.capacity(), 20u );
        EXPECT_EQ( attribute.value( 10 ), INVALID_INDEX );
        attribute.set_value( 1, 5 );
        attribute.resize( 3 );
        EXPECT_EQ( attribute.capacity(), 20u );
        EXPECT_EQ( attribute.value( 1 ), 5u );

        VariableAttribute< index_t > jump{ 0 };
        jump.resize( 25 );
        EXPECT_EQ( jump.capacity(), 25u );
        jump.reserve( 12 );
        EXPECT_EQ( jump.capacity(), 25u );
        jump.reserve( 30 );
        EXPECT_EQ( jump.capacity(), 30u );
    }

    TEST( VariableAttribute, ExtractValueInitialisesAndChecksEveryTarget )
    {
        VariableAttribute< index_t > attribute{ INVALID_INDEX,
                                                AttributeFlags{ false, true } };
        attribute.resize( 3 );
        attribute.set_value( 0, 4 );
        attribute.set_value( 2, 6 );

        const auto empty =
            std::dynamic_pointer_cast< VariableAttribute< index_t > >(
                attribute.extract( {}, 2 ) );
        ASSERT_TRUE( empty );
        EXPECT_EQ( empty->nb_values(), 2u );
        EXPECT_EQ( empty->value( 0 ), 0u );
        EXPECT_EQ( empty->default_value(), INVALID_INDEX );
        EXPECT_FALSE( empty->flags().first_flag );
        EXPECT_TRUE( empty->flags().second_flag );

        // Elements 0 and 2 both go to 0: the higher old index wins.
        const std::vector< index_t > merge{ 0, INVALID_INDEX, 0 };
        const auto merged =
            std::dynamic_pointer_cast< VariableAttribute< index_t > >(
                attribute.extract( merge, 1 ) );
        EXPECT_EQ( merged->value( 0 ), 6u );

        // Element 1 holds the default and still fails the range test.
        const std::vector< index_t > beyond{ 0, 5 };
        EXPECT_EQ( message_of( [&] { attribute.extract( beyond, 2 ); } ),
                   extract_message );
    }

    TEST( SparseAttribute, ExtractChecksOnlyNonDefaultValues )
    {
        SparseAttribute< vorna::uuid > attribute{ vorna::uuid{} };
        const vorna::uuid set;
        attribute.set_value( 1, set );
        attribute.resize( 100 );
        EXPECT_EQ( attribute.nb_entries(), 1u );
        EXPECT_EQ( attribute.value( 50 ), attribute.default_value() );

        const std::vector< index_t > default_beyond{ 9, 0 };
        const auto moved =
            std::dynamic_pointer_cast< SparseAttribute< vorna::uuid > >(
                attribute.extract( default_beyond, 1 ) );
        EXPECT_EQ( moved->value( 0 ), set );
        EXPECT_EQ( moved->nb_entries(), 1u );

        const std::vector< index_t > value_beyond{ 0, 1 };
        EXPECT_EQ( message_of( [&] { attribute.extract( value_beyond, 1 ); } ),
                   extract_message );
    }

    TEST( Attributes, CopyFrom )
    {
        VariableAttribute< index_t > source{ 3 };
        source.resize( 2 );
        source.set_value( 1, 8 );
        VariableAttribute< index_t > target{ 0 };
        target.resize( 4 );
        target.copy_from( source, 0 );
        EXPECT_EQ( target.default_value(), 3u );
        EXPECT_EQ( target.nb_values(), 4u );
        EXPECT_EQ( target.value( 0 ), 0u );
        target.copy_from( source, 2 );
        EXPECT_EQ( target.nb_values(), 2u );
        EXPECT_EQ( target.value( 1 ), 8u );

        VariableAttribute< int > other_type{ 0 };
        SparseAttribute< index_t > other_kind{ 0 };
        EXPECT_THROW( target.copy_from( other_type, 1 ), std::bad_cast );
        EXPECT_THROW( target.copy_from( other_kind, 1 ), std::bad_cast );
        EXPECT_THROW( other_kind.copy_from( target, 1 ), std::bad_cast );
        EXPECT_EQ( target.default_value(), 3u );

        // Sparse: entries are only added, never cleared.
        SparseAttribute< index_t > sparse_source{ 1 };
        sparse_source.set_value( 2, 7 );
        SparseAttribute< index_t > sparse_target{ 0 };
        sparse_target.set_value( 0, 5 );
        sparse_target.copy_from( sparse_source, 3 );
        EXPECT_EQ( sparse_target.default_value(), 1u );
        EXPECT_EQ( sparse_target.value( 0 ), 5u );
        EXPECT_EQ( sparse_target.value( 1 ), 1u );
        EXPECT_EQ( sparse_target.value( 2 ), 7u );
    }

    TEST( Attributes, DeleteElements )
    {
        VariableAttribute< index_t > dense{ 0 };
        dense.resize( 3 );
        for ( index_t i = 0; i < 3; i++ )
        {
            dense.set_value( i, 10 + i );
        }
        dense.delete_elements( { false, false, false } );
        EXPECT_EQ( dense.nb_values(), 3u );
        dense.delete_elements( { false, true, false } );
        ASSERT_EQ( dense.nb_values(), 2u );
        EXPECT_EQ( dense.value( 0 ), 10u );
        EXPECT_EQ( dense.value( 1 ), 12u );

        SparseAttribute< index_t > sparse{ 0 };
        sparse.set_value( 0, 5 );
        sparse.set_value( 1, 6 );
        sparse.set_value( 2, 0 ); // explicit default: compacted away
        sparse.set_value( 3, 8 );
        sparse.delete_elements( { false, true, false, false } );
        EXPECT_EQ( sparse.nb_entries(), 2u );
        EXPECT_EQ( sparse.value( 0 ), 5u );
        EXPECT_EQ( sparse.value( 1 ), 0u );
        EXPECT_EQ( sparse.value( 2 ), 8u );
    }

    TEST( Attributes, PermuteGathersDenseAndScattersSparse )
    {
        const std::vector< index_t > permutation{ 1, 2, 0 };
        VariableAttribute< List > dense{ List{} };
        dense.resize( 3 );
        for ( index_t i = 0; i < 3; i++ )
        {
            dense.modify_value( i, [i]( List& list ) { list.push_back( i ); } );
        }
        dense.permute_elements( permutation );
        EXPECT_EQ( dense.value( 0 ), List{ 1 } );
        EXPECT_EQ( dense.value( 1 ), List{ 2 } );
        EXPECT_EQ( dense.value( 2 ), List{ 0 } );

        SparseAttribute< index_t > sparse{ 9 };
        for ( index_t i = 0; i < 3; i++ )
        {
            sparse.set_value( i, i );
        }
        sparse.permute_elements( permutation );
        EXPECT_EQ( sparse.value( 1 ), 0u );
        EXPECT_EQ( sparse.value( 2 ), 1u );
        EXPECT_EQ( sparse.value( 0 ), 2u );

        const std::vector< index_t > not_a_permutation{ 1, 1, 0 };
        EXPECT_THROW( dense.permute_elements( not_a_permutation ),
                      vorna::CorvaneException );
    }

    TEST( Attributes, FloatReadingAndTypeName )
    {
        VariableAttribute< index_t > indices{ INVALID_INDEX };
        indices.resize( 2 );
        indices.set_value( 1, 12 );
        EXPECT_TRUE( indices.has_float_value() );
        EXPECT_FLOAT_EQ( indices.value_as_float( 0 ), 4294967296.f );
        EXPECT_FLOAT_EQ( indices.secondary_value_as_float( 1, 3 ), 12.f );
        EXPECT_EQ( indices.type(), typeid( index_t ).name() );

        VariableAttribute< vorna::uuid > ids{ vorna::uuid{} };
        ids.resize( 1 );
        EXPECT_FALSE( ids.has_float_value() );
        EXPECT_TRUE( ids.is_supported() );
        EXPECT_EQ( ids.value_as_float( 0 ), 0.f );
        EXPECT_FALSE( SparseAttribute< index_t >{ 0 }.has_float_value() );
    }

    TEST( Attributes, CloneAndSingleValueCopies )
    {
        SparseAttribute< index_t > sparse{ 4 };
        sparse.set_value( 1, 6 );
        sparse.copy_value( 7, 2 ); // no entry: stored as explicit default
        EXPECT_EQ( sparse.nb_entries(), 2u );
        sparse.assign_default_value( 0, 1 );
        EXPECT_EQ( sparse.value( 1 ), 4u );
        const auto clone =
            std::dynamic_pointer_cast< SparseAttribute< index_t > >(
                sparse.clone() );
        EXPECT_EQ( clone->nb_entries(), 2u );

        VariableAttribute< index_t > dense{ 4 };
        dense.resize( 2 );
        dense.set_value( 0, 1 );
        dense.copy_value( 0, 1 );
        EXPECT_EQ( dense.value( 1 ), 1u );
        dense.assign_default_value( 0, 0 );
        EXPECT_EQ( dense.value( 0 ), 4u );
    }

    constexpr char find_message[] =
        "[AttributeManager::find_attribute] You have to create an attribute "
        "before using it. See find_or_create_attribute method and derived "
        "classes of ReadOnlyAttribute.";
    constexpr char create_message[] =
        "[AttributeManager::find_or_create_attribute] Do not instantiate an "
        "attribute if an instantiated attribute of the same name with "
        "different storage already exists.";

    TEST( AttributeLookup, FindOrCreateReturnsTheSameObject )
    {
        vorna::AttributeManager manager;
        manager.resize( 2 );
        auto first =
            manager.find_or_create_attribute< VariableAttribute, index_t >(
                "solid vertex", INVALID_INDEX );
        EXPECT_EQ( first.use_count(), 2 );
        EXPECT_EQ( first->value( 1 ), INVALID_INDEX );
        auto second =
            manager.find_or_create_attribute< VariableAttribute, index_t >(
                "solid vertex", 0, AttributeFlags{ false, false } );
        EXPECT_EQ( first, second );
        EXPECT_TRUE( second->flags().first_flag );
        auto other =
            manager.find_or_create_attribute< VariableAttribute, index_t >(
                "solid_vertex", 0 );
        EXPECT_NE( first.get(), other.get() );
    }

    TEST( AttributeLookup, FindAcceptsEitherStorage )
    {
        vorna::AttributeManager manager;
        manager.find_or_create_attribute< VariableAttribute, vorna::uuid >(
            "dense", vorna::uuid{} );
        manager.find_or_create_attribute< SparseAttribute, vorna::uuid >(
            "sparse", vorna::uuid{} );
        EXPECT_TRUE( manager.find_attribute< vorna::uuid >( "dense" ) );
        EXPECT_TRUE( manager.find_attribute< vorna::uuid >( "sparse" ) );
        EXPECT_EQ(
            message_of( [&] { manager.find_attribute< index_t >( "dense" ); } ),
            find_message );
        EXPECT_EQ(
            message_of(
                [&] { manager.find_attribute< vorna::uuid >( "missing" ); } ),
            find_message );
    }

    TEST( AttributeLookup, OtherStorageUnderTakenNameThrows )
    {
        vorna::AttributeManager manager;
        manager.find_or_create_attribute< SparseAttribute, vorna::uuid >(
            "corner_uuid", vorna::uuid{} );
        EXPECT_EQ( message_of(
                       [&]
                       {
                           manager.find_or_create_attribute< VariableAttribute,
                                                             vorna::uuid >(
                               "corner_uuid", vorna::uuid{} );
                       } ),
                   create_message );
        EXPECT_EQ(
            message_of(
                [&]
                {
                    manager
                        .find_or_create_attribute< SparseAttribute, index_t >(
                            "corner_uuid", 0 );
                } ),
            create_message );
        EXPECT_EQ( manager.attribute_names().size(), 1u );
    }
} // namespace
