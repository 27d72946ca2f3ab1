#pragma once

#include <memory>
#include <vector>

#include <vorna/basic/attribute_base.h>

namespace vorna
{
    namespace test
    {
        // Minimal per-element attribute storing one index per element,
        // enough to watch attribute managers resize, copy and import.
        class IndexAttribute : public AttributeBase
        {
          public:
            explicit IndexAttribute( index_t default_value = 0 )
                : AttributeBase( AttributeFlags{} ),
                  default_value_( default_value )
            {
            }

            index_t value( index_t element ) const
            {
                return values_.at( element );
            }
            void set_value( index_t element, index_t value )
            {
                values_.at( element ) = value;
            }
            std::size_t size() const
            {
                return values_.size();
            }

            float value_as_float( index_t element ) const override
            {
                return static_cast< float >( values_.at( element ) );
            }
            float secondary_value_as_float( index_t element,
                                            local_index_t ) const override
            {
                return value_as_float( element );
            }
            bool has_float_value() const override
            {
                return true;
            }
            bool is_supported() const override
            {
                return true;
            }
            absl::string_view type() const override
            {
                return "index";
            }
            std::shared_ptr< AttributeBase > clone() const override
            {
                return std::make_shared< IndexAttribute >( *this );
            }
            void copy_from( const AttributeBase& attribute,
                            index_t nb_elements ) override
            {
                const auto& other =
                    dynamic_cast< const IndexAttribute& >( attribute );
                default_value_ = other.default_value_;
                for( index_t i = 0;
                     i < nb_elements && i < other.size() && i < values_.size();
                     i++ )
                {
                    values_[i] = other.values_[i];
                }
            }
            std::shared_ptr< AttributeBase >
            extract( absl::Span< const index_t > old2new,
                     index_t nb_elements ) const override
            {
                auto result =
                    std::make_shared< IndexAttribute >( default_value_ );
                result->resize( nb_elements );
                for( index_t i = 0; i < old2new.size() && i < values_.size();
                     i++ )
                {
                    if( old2new[i] != INVALID_INDEX )
                    {
                        result->values_.at( old2new[i] ) = values_[i];
                    }
                }
                return result;
            }
            void resize( index_t nb_elements ) override
            {
                values_.resize( nb_elements, default_value_ );
            }
            void reserve( index_t capacity ) override
            {
                values_.reserve( capacity );
            }
            void delete_elements( const std::vector< bool >& ) override {}
            void permute_elements( absl::Span< const index_t > ) override {}
            void assign_default_value( index_t, index_t element ) override
            {
                values_.at( element ) = default_value_;
            }
            void copy_value( index_t from, index_t to ) override
            {
                values_.at( to ) = values_.at( from );
            }

          private:
            index_t default_value_;
            std::vector< index_t > values_;
        };
    } // namespace test
} // namespace vorna
