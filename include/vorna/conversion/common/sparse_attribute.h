#pragma once

#include <memory>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/gathering_attribute.h>
#include <vorna/conversion/common/read_only_attribute.h>

namespace vorna
{
    /// Sparse attribute: only elements given a value have an entry, the
    /// others read the default. Writing may insert, so it must not overlap
    /// any other access.
    template < typename T >
    class SparseAttribute : public ReadOnlyAttribute< T >,
                            public GatheringAttribute
    {
      public:
        explicit SparseAttribute( T default_value,
                                  AttributeFlags flags = AttributeFlags{} )
            : ReadOnlyAttribute< T >( flags ),
              default_value_( std::move( default_value ) )
        {
            values_.reserve( 10 );
        }

        /// Any index is accepted.
        const T& value( index_t element ) const override
        {
            const auto it = values_.find( element );
            return it == values_.end() ? default_value_ : it->second;
        }

        /// Stores an explicit entry, even when value equals the default.
        void set_value( index_t element, T value )
        {
            values_.insert_or_assign( element, std::move( value ) );
        }

        const T& default_value() const
        {
            return default_value_;
        }

        index_t nb_entries() const
        {
            return static_cast< index_t >( values_.size() );
        }

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
            return false;
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
            auto result = std::make_shared< SparseAttribute< T > >(
                default_value_, this->flags() );
            result->values_ = values_;
            return result;
        }

        /// Takes the default of `attribute`, then every value among its first
        /// nb_elements that differs from that default. Entries of this
        /// attribute are never cleared.
        /// \throw std::bad_cast when `attribute` is not a SparseAttribute<T>;
        /// nothing changes then.
        void copy_from( const AttributeBase& attribute,
                        index_t nb_elements ) override
        {
            const auto& other =
                dynamic_cast< const SparseAttribute< T >& >( attribute );
            default_value_ = other.default_value_;
            for( index_t i = 0; i < nb_elements; i++ )
            {
                const auto& other_value = other.value( i );
                if( !( other_value == default_value_ ) )
                {
                    values_.insert_or_assign( i, other_value );
                }
            }
        }

        /// Elements holding the default are skipped without a range test.
        /// \throw CorvaneException when a non-default value maps at or beyond
        /// nb_elements; this attribute is unchanged.
        std::shared_ptr< AttributeBase >
        extract( absl::Span< const index_t > old2new,
                 index_t nb_elements ) const override
        {
            auto result = std::make_shared< SparseAttribute< T > >(
                default_value_, this->flags() );
            for( index_t i = 0; i < old2new.size(); i++ )
            {
                const auto& old_value = value( i );
                const auto target = old2new[i];
                if( old_value == default_value_ || target == INVALID_INDEX )
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
                result->values_.insert_or_assign( target, old_value );
            }
            return result;
        }

        std::shared_ptr< AttributeBase >
        gather( absl::Span< const index_t > elements,
                index_t nb_elements ) const override
        {
            if( typeid( *this ) != typeid( SparseAttribute< T > ) )
            {
                return nullptr;
            }
            if( elements.size() > nb_elements )
            {
                throw CorvaneException(
                    "[SparseAttribute::gather] More elements "
                    "than the given number of elements." );
            }
            auto result = std::make_shared< SparseAttribute< T > >(
                default_value_, this->flags() );
            for( index_t k = 0; k < elements.size(); k++ )
            {
                const auto& old_value = value( elements[k] );
                if( !( old_value == default_value_ ) )
                {
                    result->values_.insert_or_assign( k, old_value );
                }
            }
            return result;
        }

        /// Nothing to do: elements without an entry read the default.
        void resize( index_t /*nb_elements*/ ) override {}

        void reserve( index_t capacity ) override
        {
            values_.reserve( capacity );
        }

        /// Renumbers the surviving entries and drops those holding the
        /// default. Entries beyond the flags (no such element) are dropped.
        void delete_elements( const std::vector< bool >& to_delete ) override
        {
            std::vector< index_t > old2new( to_delete.size(), INVALID_INDEX );
            index_t next{ 0 };
            for( index_t i = 0; i < to_delete.size(); i++ )
            {
                if( !to_delete[i] )
                {
                    old2new[i] = next++;
                }
            }
            auto old_values = values_;
            values_.clear();
            values_.reserve( old_values.size() );
            for( auto& [element, old_value] : old_values )
            {
                if( element < old2new.size() &&
                    old2new[element] != INVALID_INDEX &&
                    !( old_value == default_value_ ) )
                {
                    values_.emplace( old2new[element], std::move( old_value ) );
                }
            }
        }

        /// Scatter: the value formerly at k goes to permutation[k] (the
        /// opposite sense to VariableAttribute). Entries beyond the
        /// permutation stay where they are.
        void
        permute_elements( absl::Span< const index_t > permutation ) override
        {
            auto old_values = values_;
            values_.clear();
            values_.reserve( old_values.size() );
            for( auto& [element, old_value] : old_values )
            {
                const auto target = element < permutation.size()
                                        ? permutation[element]
                                        : element;
                values_.insert_or_assign( target, std::move( old_value ) );
            }
        }

        void assign_default_value( index_t /*source*/,
                                   index_t element ) override
        {
            values_.insert_or_assign( element, default_value_ );
        }

        /// A missing source entry is stored as an explicit default.
        void copy_value( index_t from, index_t to ) override
        {
            T copied = value( from ); // insertion may move the source entry
            values_.insert_or_assign( to, std::move( copied ) );
        }

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
                values_.insert_or_assign( element, typed->value( element ) );
            }
            return true;
        }

      private:
        T default_value_;
        absl::flat_hash_map< index_t, T > values_;
    };
} // namespace vorna
