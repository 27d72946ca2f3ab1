#pragma once

#include <absl/types/span.h>

#include <vorna/basic/attribute_base.h>
#include <vorna/basic/common.h>

namespace vorna
{
    namespace detail
    {
        /// Copies values of chosen elements from another attribute of the
        /// same value type, whatever its storage: how a surface gathers the
        /// values of several inputs into one attribute.
        class AttributeValuesCopier
        {
          public:
            /// Element e takes the value of element e of `from`, for every
            /// listed e. Returns false, changing nothing, when `from` holds
            /// another value type.
            virtual bool
            copy_values_from( const AttributeBase& from,
                              absl::Span< const index_t > elements ) = 0;

          protected:
            ~AttributeValuesCopier() = default;
        };
    } // namespace detail

    /// Typed read access shared by every storage kind of attribute, so that
    /// readers need not know how the values are stored.
    template < typename T >
    class ReadOnlyAttribute : public AttributeBase,
                              public detail::AttributeValuesCopier
    {
      public:
        /// Value of the element. Dense storage requires
        /// element < number of elements; sparse storage accepts any index.
        virtual const T& value( index_t element ) const = 0;

      protected:
        explicit ReadOnlyAttribute( AttributeFlags flags )
            : AttributeBase( flags )
        {
        }
    };
} // namespace vorna
