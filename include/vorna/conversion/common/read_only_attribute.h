#pragma once

#include <vorna/basic/attribute_base.h>
#include <vorna/basic/common.h>

namespace vorna
{
    /// Typed read access shared by every storage kind of attribute, so that
    /// readers need not know how the values are stored.
    template < typename T >
    class ReadOnlyAttribute : public AttributeBase
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
