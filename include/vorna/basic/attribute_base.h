#pragma once

#include <memory>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>

namespace vorna
{
    /// Two flags carried by every attribute; the framework hands them on
    /// through clone and extract and never reads them.
    struct AttributeFlags
    {
        bool first_flag{ true };
        bool second_flag{ false };
    };

    /// Type-erased per-element attribute held by an AttributeManager. The
    /// manager keeps every attribute in step with its element set through
    /// these operations.
    class AttributeBase
    {
      public:
        virtual ~AttributeBase() = default;

        /// Value of an element read as a float (0 when not readable so).
        virtual float value_as_float( index_t element ) const = 0;
        virtual float secondary_value_as_float( index_t element,
                                                local_index_t item ) const = 0;
        virtual bool has_float_value() const = 0;
        /// True when the values are readable through value_as_float.
        virtual bool is_supported() const = 0;
        /// A stable name of the value type.
        virtual absl::string_view type() const = 0;
        virtual std::shared_ptr< AttributeBase > clone() const = 0;
        /// Takes the default and the first nb_elements values of another
        /// attribute of the same class and value type.
        virtual void copy_from( const AttributeBase& attribute,
                                index_t nb_elements ) = 0;
        /// New attribute over nb_elements elements where old element i goes
        /// to old2new[i] (INVALID_INDEX: dropped).
        virtual std::shared_ptr< AttributeBase >
        extract( absl::Span< const index_t > old2new,
                 index_t nb_elements ) const = 0;
        virtual void resize( index_t nb_elements ) = 0;
        virtual void reserve( index_t capacity ) = 0;
        virtual void
        delete_elements( const std::vector< bool >& to_delete ) = 0;
        virtual void
        permute_elements( absl::Span< const index_t > permutation ) = 0;
        /// `source` is an unused hint.
        virtual void assign_default_value( index_t source,
                                           index_t element ) = 0;
        virtual void copy_value( index_t from, index_t to ) = 0;

        const AttributeFlags& flags() const
        {
            return flags_;
        }

      protected:
        explicit AttributeBase( AttributeFlags flags ) : flags_( flags ) {}

      private:
        AttributeFlags flags_;
    };
} // namespace vorna
