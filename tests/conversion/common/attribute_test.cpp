#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <gtest/gtest.h>

#include <support/expect_error.h>

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
    using Indices = std::vector< index_t >;

    using vorna::test::expect_error;

    template < typename Attribute >
    std::shared_ptr< Attribute >
    extracted( const Attribute& attribute, const Indices& old2new, index_t nb )
    {
        return std::dynamic_pointer_cast< Attribute >(
            attribute.extract( old2new, nb ) );
    }

    // Dense attribute holding 10, 11, ... on nb elements.
    VariableAttribute< index_t > counting( index_t nb )
    {
        VariableAttribute< index_t > attribute{ INVALID_INDEX };
        attribute.resize( nb );
        for( index_t i = 0; i < nb; i++ )
        {
            attribute.set_value( i, 10 + i );
        }
        return attribute;
    }

    constexpr char extract_message[] =
        "[VariableAttribute::extract] The given mapping contains values that "
        "go beyond the given number of elements.";

    TEST( VariableAttribute, CapacityGrowth )
    {
        VariableAttribute< index_t > attribute{ INVALID_INDEX };
        EXPECT_EQ( attribute.capacity(), 10u );
        attribute.resize( 11 );
        EXPECT_EQ( attribute.capacity(), 20u );
        EXPECT_EQ( attribute.value( 10 ), INVALID_INDEX );
        attribute.resize( 3 );
        EXPECT_EQ( attribute.nb_values(), 3u );
        EXPECT_EQ( attribute.capacity(), 20u );

        VariableAttribute< index_t > jump{ 0 };
        jump.resize( 25 );
        EXPECT_EQ( jump.capacity(), 25u );
        jump.reserve( 30 );
        EXPECT_EQ( jump.capacity(), 30u );
    }

    TEST( VariableAttribute, ExtractValueInitialisesAndChecksEveryTarget )
    {
        auto attribute = counting( 3 );
        const auto empty = extracted( attribute, {}, 2 );
        EXPECT_EQ( empty->nb_values(), 2u );
        EXPECT_EQ( empty->value( 0 ), 0u ); // not the default
        EXPECT_EQ( empty->default_value(), INVALID_INDEX );

        // Both go to 0: the higher old index wins.
        EXPECT_EQ(
            extracted( attribute, { 0, INVALID_INDEX, 0 }, 1 )->value( 0 ),
            12u );
        VariableAttribute< index_t > defaults{ 7,
                                               AttributeFlags{ false, true } };
        defaults.resize( 2 );
        EXPECT_TRUE( extracted( defaults, {}, 0 )->flags().second_flag );
        expect_error(
            [&] {
                defaults.extract( Indices{ 0, 5 }, 2 );
            },
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

        const auto moved = extracted( attribute, { 9, 0 }, 1 );
        EXPECT_EQ( moved->value( 0 ), set );
        EXPECT_EQ( moved->nb_entries(), 1u );
        expect_error(
            [&] {
                attribute.extract( Indices{ 0, 1 }, 1 );
            },
            extract_message );
    }

    TEST( Attributes, CopyFromAndClone )
    {
        auto source = counting( 2 );
        VariableAttribute< index_t > target{ 0 };
        target.resize( 4 );
        target.copy_from( source, 0 );
        EXPECT_EQ( target.default_value(), INVALID_INDEX );
        EXPECT_EQ( target.nb_values(), 4u );
        EXPECT_EQ( target.value( 0 ), 0u );
        target.copy_from( source, 2 );
        EXPECT_EQ( target.nb_values(), 2u );
        EXPECT_EQ( target.value( 1 ), 11u );

        VariableAttribute< int > other_type{ 0 };
        SparseAttribute< index_t > sparse{ 1 };
        EXPECT_THROW( target.copy_from( other_type, 1 ), std::bad_cast );
        EXPECT_THROW( target.copy_from( sparse, 1 ), std::bad_cast );
        EXPECT_THROW( sparse.copy_from( target, 1 ), std::bad_cast );

        // Sparse: entries are added, never cleared.
        SparseAttribute< index_t > sparse_target{ 0 };
        sparse_target.set_value( 0, 5 );
        sparse.set_value( 2, 7 );
        sparse_target.copy_from( sparse, 3 );
        EXPECT_EQ( sparse_target.value( 0 ), 5u );
        EXPECT_EQ( sparse_target.value( 1 ), 1u );
        EXPECT_EQ( sparse_target.value( 2 ), 7u );
        const auto clone =
            std::dynamic_pointer_cast< SparseAttribute< index_t > >(
                sparse_target.clone() );
        EXPECT_EQ( clone->nb_entries(), 2u );
        EXPECT_EQ( clone->default_value(), 1u );
    }

    TEST( Attributes, DeleteElements )
    {
        auto dense = counting( 3 );
        dense.delete_elements( { false, false, false } );
        EXPECT_EQ( dense.nb_values(), 3u );
        dense.delete_elements( { false, true, false } );
        ASSERT_EQ( dense.nb_values(), 2u );
        EXPECT_EQ( dense.value( 1 ), 12u );

        SparseAttribute< index_t > sparse{ 0 };
        for( index_t i = 0; i < 4; i++ )
        {
            sparse.set_value( i, i == 2 ? 0 : 5 + i ); // 2: explicit default
        }
        sparse.delete_elements( { false, true, false, false } );
        EXPECT_EQ( sparse.nb_entries(), 2u );
        EXPECT_EQ( sparse.value( 0 ), 5u );
        EXPECT_EQ( sparse.value( 2 ), 8u );
    }

    TEST( Attributes, PermuteGathersDenseAndScattersSparse )
    {
        using List = absl::InlinedVector< index_t, 3 >;
        const Indices permutation{ 1, 2, 0 };
        VariableAttribute< List > dense{ List{} };
        SparseAttribute< index_t > sparse{ 9 };
        dense.resize( 3 );
        for( index_t i = 0; i < 3; i++ )
        {
            dense.modify_value( i, [i]( List& list ) { list.push_back( i ); } );
            sparse.set_value( i, i );
        }
        dense.permute_elements( permutation );
        sparse.permute_elements( permutation );
        for( index_t i = 0; i < 3; i++ )
        {
            EXPECT_EQ( dense.value( i ), List{ permutation[i] } );
            EXPECT_EQ( sparse.value( permutation[i] ), i );
        }
        EXPECT_THROW( dense.permute_elements( Indices{ 1, 1, 0 } ),
                      vorna::CorvaneException );
    }

    TEST( Attributes, FloatReadingAndSingleValueCopies )
    {
        auto indices = counting( 2 );
        indices.set_value( 0, INVALID_INDEX );
        EXPECT_TRUE( indices.has_float_value() );
        EXPECT_FLOAT_EQ( indices.value_as_float( 0 ), 4294967296.f );
        EXPECT_FLOAT_EQ( indices.secondary_value_as_float( 1, 3 ), 11.f );
        EXPECT_EQ( indices.type(), typeid( index_t ).name() );
        VariableAttribute< vorna::uuid > ids{ vorna::uuid{} };
        ids.resize( 1 );
        EXPECT_FALSE( ids.has_float_value() );
        EXPECT_EQ( ids.value_as_float( 0 ), 0.f );

        indices.copy_value( 1, 0 );
        EXPECT_EQ( indices.value( 0 ), 11u );
        indices.assign_default_value( 1, 0 );
        EXPECT_EQ( indices.value( 0 ), INVALID_INDEX );
        SparseAttribute< index_t > sparse{ 4 };
        sparse.copy_value( 7, 2 ); // no entry: stored as an explicit default
        EXPECT_EQ( sparse.nb_entries(), 1u );
    }

    // Flags are stored as bools, not as bits behind proxies: every operation
    // keeps each element's own value.
    TEST( Attributes, BoolValuesKeepTheirElements )
    {
        using Flags = std::vector< bool >;
        VariableAttribute< bool > dense{ false };
        dense.resize( 4 );
        dense.set_value( 1, true );
        dense.set_value( 3, true );
        const auto values_of =
            []( const vorna::ReadOnlyAttribute< bool >& a, index_t nb )
        {
            Flags values;
            for( index_t i = 0; i < nb; i++ )
            {
                values.push_back( a.value( i ) );
            }
            return values;
        };
        EXPECT_EQ( values_of( dense, 4 ),
                   ( Flags{ false, true, false, true } ) );
        dense.permute_elements( Indices{ 1, 2, 3, 0 } );
        dense.delete_elements( { false, false, true, false } );
        EXPECT_EQ( values_of( dense, 3 ), ( Flags{ true, false, false } ) );
        dense.copy_value( 0, 2 );
        EXPECT_EQ(
            values_of( *extracted( dense, { 2, INVALID_INDEX, 0 }, 3 ), 3 ),
            ( Flags{ true, false, true } ) );
        const auto gathered =
            std::dynamic_pointer_cast< VariableAttribute< bool > >(
                dense.gather( Indices{ 2, 1 }, 2 ) );
        EXPECT_EQ( values_of( *gathered, 2 ), ( Flags{ true, false } ) );
        dense.modify_value( 1, []( bool& value ) { value = !value; } );
        EXPECT_EQ( values_of( dense, 3 ), ( Flags{ true, true, true } ) );

        SparseAttribute< bool > sparse{ false };
        sparse.set_value( 5, true );
        sparse.copy_value( 5, 7 );
        EXPECT_EQ(
            values_of( sparse, 8 ),
            ( Flags{ false, false, false, false, false, true, false, true } ) );
        VariableAttribute< bool > copied{ true };
        copied.resize( 8 );
        EXPECT_TRUE( copied.copy_values_from( sparse, Indices{ 6, 7 } ) );
        EXPECT_EQ(
            values_of( copied, 8 ),
            ( Flags{ true, true, true, true, true, true, false, true } ) );
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
        EXPECT_NE(
            first,
            ( manager.find_or_create_attribute< VariableAttribute, index_t >(
                "solid_vertex", 0 ) ) );
    }

    TEST( AttributeLookup, FailuresAndEitherStorageForReading )
    {
        vorna::AttributeManager manager;
        using vorna::uuid;
        manager.find_or_create_attribute< VariableAttribute, uuid >( "dense",
                                                                     uuid{} );
        manager.find_or_create_attribute< SparseAttribute, uuid >( "sparse",
                                                                   uuid{} );
        EXPECT_TRUE( manager.find_attribute< uuid >( "dense" ) );
        EXPECT_TRUE( manager.find_attribute< uuid >( "sparse" ) );
        expect_error( [&] { manager.find_attribute< index_t >( "dense" ); },
                      find_message );
        expect_error( [&] { manager.find_attribute< uuid >( "missing" ); },
                      find_message );
        expect_error(
            [&]
            {
                manager.find_or_create_attribute< VariableAttribute, uuid >(
                    "sparse", uuid{} );
            },
            create_message );
        expect_error(
            [&]
            {
                manager.find_or_create_attribute< VariableAttribute, index_t >(
                    "dense", 0 );
            },
            create_message );
        EXPECT_EQ( manager.attribute_names().size(), 2u );
    }
} // namespace
