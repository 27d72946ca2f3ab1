#pragma once

#include <algorithm>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/gathering_attribute.h>
#include <vorna/conversion/common/read_only_attribute.h>

namespace vorna
{
    namespace detail
    {
        /// One stored value of a dense attribute. The wrapper keeps
        /// std::vector from packing bools into bits, which no reference can
        /// reach: every value type is stored as itself.
        template < typename T >
        struct AttributeSlot
        {
            T value;
        };

        /// Removes the flagged values in one pass, keeping the order of the
        /// others; returns how many were removed.
        /// \pre one flag per value.
        template < typename T >
        index_t delete_vector_elements( const std::vector< bool >& to_delete,
                                        std::vector< T >& values )
        {
            if( std::find( to_delete.begin(), to_delete.end(), true ) ==
                to_delete.end() )
            {
                return 0;
            }
            index_t removed{ 0 };
            for( index_t i = 0; i < to_delete.size(); i++ )
            {
                if( to_delete[i] )
                {
                    removed++;
                }
                else if( removed > 0 )
                {
                    values[i - removed] = std::move( values[i] );
                }
            }
            values.erase( values.end() - removed, values.end() );
            return removed;
        }

        /// values[i] becomes the former values[permutation[i]], in place,
        /// cycle by cycle.
        /// \throw CorvaneException when permutation is not a permutation of
        /// its own indices or is longer than values (values are then left
        /// partly permuted).
        template < typename T >
        void permute( std::vector< T >& values,
                      absl::Span< const index_t > permutation )
        {
            if( permutation.size() > values.size() )
            {
                throw CorvaneException( "[VariableAttribute::permute_"
                                        "elements] Permutation larger than "
                                        "the number of elements" );
            }
            // One bit per entry on purpose: this runs on one thread.
            std::vector< bool > visited( permutation.size(), false );
            for( index_t i = 0; i < permutation.size(); i++ )
            {
                if( visited[i] )
                {
                    continue;
                }
                visited[i] = true;
                T held = std::move( values[i] );
                index_t j = i;
                while( permutation[j] != i )
                {
                    const auto next = permutation[j];
                    if( next >= permutation.size() || visited[next] )
                    {
                        values[j] = std::move( held );
                        throw CorvaneException( "[VariableAttribute::"
                                                "permute_elements] Invalid "
                                                "permutation" );
                    }
                    values[j] = std::move( values[next] );
                    visited[next] = true;
                    j = next;
                }
                values[j] = std::move( held );
            }
        }
    } // namespace detail

    /// Dense attribute: one value per element, new elements read the
    /// default value.
    template < typename T >
    class VariableAttribute : public ReadOnlyAttribute< T >,
                              public GatheringAttribute
    {
      public:
        explicit VariableAttribute( T default_value,
                                    AttributeFlags flags = AttributeFlags{} )
            : ReadOnlyAttribute< T >( flags ),
              default_value_( std::move( default_value ) )
        {
            values_.reserve( 10 );
        }

        /// \pre element < number of elements (not tested).
        const T& value( index_t element ) const override
        {
            return values_[element].value;
        }

        /// \pre element < number of elements (not tested).
        void set_value( index_t element, T value )
        {
            values_[element].value = std::move( value );
        }

        /// Hands the stored value to `modifier`, which changes it in place.
        /// \pre element < number of elements (not tested).
        template < typename Modifier >
        void modify_value( index_t element, Modifier&& modifier )
        {
            modifier( values_[element].value );
        }

        const T& default_value() const
        {
            return default_value_;
        }

        index_t nb_values() const
        {
            return static_cast< index_t >( values_.size() );
        }

        index_t capacity() const
        {
            return static_cast< index_t >( values_.capacity() );
        }

        /// Only unsigned int values have a float reading; others give 0.
        float value_as_float( index_t element ) const override
        {
            if constexpr( std::is_same< T, unsigned int >::value )
            {
                return static_cast< float >( value( element ) );
            }
            else
            {
                return 0.f;
            }
        }

        float
        secondary_value_as_float( index_t element,
                                  local_index_t /*unused*/ ) const override
        {
            return value_as_float( element );
        }

        bool has_float_value() const override
        {
            return std::is_same< T, unsigned int >::value;
        }

        bool is_supported() const override
        {
            return true;
        }

        absl::string_view type() const override
        {
            return typeid( T ).name();
        }

        std::shared_ptr< AttributeBase > clone() const override
        {
            auto result = std::make_shared< VariableAttribute< T > >(
                default_value_, this->flags() );
            result->values_ = values_;
            return result;
        }

        /// Takes the default of `attribute` and, unless nb_elements is 0, its
        /// first nb_elements values.
        /// \throw std::bad_cast when `attribute` is not a
        /// VariableAttribute<T>; nothing changes then.
        void copy_from( const AttributeBase& attribute,
                        index_t nb_elements ) override
        {
            const auto& other =
                dynamic_cast< const VariableAttribute< T >& >( attribute );
            default_value_ = other.default_value_;
            if( nb_elements == 0 )
            {
                return;
            }
            values_.resize( nb_elements );
            for( index_t i = 0; i < nb_elements; i++ )
            {
                values_[i].value = other.value( i );
            }
        }

        /// New elements start value-initialised (not at the default): only
        /// mapped elements carry a meaningful value. On equal targets the
        /// higher old index wins.
        /// \throw CorvaneException when a target is >= nb_elements, whatever
        /// the element holds; this attribute is unchanged.
        std::shared_ptr< AttributeBase >
        extract( absl::Span< const index_t > old2new,
                 index_t nb_elements ) const override
        {
            auto result = std::make_shared< VariableAttribute< T > >(
                default_value_, this->flags() );
            result->values_.resize( nb_elements );
            for( index_t i = 0; i < old2new.size(); i++ )
            {
                const auto target = old2new[i];
                if( target == INVALID_INDEX )
                {
                    continue;
                }
                if( target >= nb_elements )
                {
                    throw CorvaneException( "[VariableAttribute::extract] The "
                                            "given mapping contains values "
                                            "that go beyond the given number "
                                            "of elements." );
                }
                result->values_[target].value = value( i );
            }
            return result;
        }

        std::shared_ptr< AttributeBase >
        gather( absl::Span< const index_t > elements,
                index_t nb_elements ) const override
        {
            if( typeid( *this ) != typeid( VariableAttribute< T > ) )
            {
                return nullptr;
            }
            if( elements.size() > nb_elements )
            {
                throw CorvaneException(
                    "[VariableAttribute::gather] More elements "
                    "than the given number of elements." );
            }
            auto result = std::make_shared< VariableAttribute< T > >(
                default_value_, this->flags() );
            // Appended rather than assigned: value-initialising first may
            // cost (a uuid draws a random one).
            result->values_.reserve( nb_elements );
            for( const auto element : elements )
            {
                result->values_.push_back( Slot{ value( element ) } );
            }
            result->values_.resize( nb_elements );
            return result;
        }

        /// Growth at least doubles the capacity (a larger request is met
        /// exactly); shrinking keeps the capacity. New elements get the
        /// default value.
        void resize( index_t nb_elements ) override
        {
            const auto capacity = static_cast< index_t >( values_.capacity() );
            if( nb_elements > capacity )
            {
                const index_t doubled = 2 * capacity; // wraps like the index
                const auto wanted = std::max( nb_elements, doubled );
                if( wanted > capacity )
                {
                    values_.reserve( wanted );
                }
            }
            values_.resize( nb_elements, Slot{ default_value_ } );
        }

        void reserve( index_t capacity ) override
        {
            if( capacity > values_.capacity() )
            {
                values_.reserve( capacity );
            }
        }

        /// \pre one flag per element (not tested).
        void delete_elements( const std::vector< bool >& to_delete ) override
        {
            detail::delete_vector_elements( to_delete, values_ );
        }

        /// Gather: values[i] becomes the former values[permutation[i]].
        /// \throw CorvaneException on an invalid permutation.
        void
        permute_elements( absl::Span< const index_t > permutation ) override
        {
            detail::permute( values_, permutation );
        }

        void assign_default_value( index_t /*source*/,
                                   index_t element ) override
        {
            values_[element].value = default_value_;
        }

        void copy_value( index_t from, index_t to ) override
        {
            values_[to].value = value( from );
        }

        /// \pre every element < number of elements (not tested).
        bool copy_values_from( const AttributeBase& from,
                               absl::Span< const index_t > elements ) override
        {
            const auto* typed =
                dynamic_cast< const ReadOnlyAttribute< T >* >( &from );
            if( typed == nullptr )
            {
                return false;
            }
            for( const auto element : elements )
            {
                values_[element].value = typed->value( element );
            }
            return true;
        }

      private:
        using Slot = detail::AttributeSlot< T >;

        T default_value_;
        std::vector< Slot > values_;
    };
} // namespace vorna
