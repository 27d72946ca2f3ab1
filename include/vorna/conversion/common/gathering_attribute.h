#pragma once

#include <memory>

#include <absl/types/span.h>

#include <vorna/basic/attribute_base.h>
#include <vorna/basic/common.h>

namespace vorna
{
    /// An attribute that copies the values of a list of its elements in time
    /// proportional to the list, where AttributeBase::extract walks an
    /// old-to-new table over all elements.
    class GatheringAttribute
    {
      public:
        /// A new attribute of the same class, default and flags, with
        /// nb_elements elements: element k < elements.size() holds the value
        /// of elements[k], the others are value-initialised, as
        /// extract(old2new, nb_elements) gives with old2new[elements[k]] = k.
        /// Null when the attribute's class is a derived one, which may
        /// extract in its own way.
        /// \pre elements are distinct existing elements (not tested).
        /// \throw CorvaneException when there are more elements than
        /// nb_elements.
        virtual std::shared_ptr< AttributeBase >
        gather( absl::Span< const index_t > elements,
                index_t nb_elements ) const = 0;

      protected:
        GatheringAttribute() = default;
        ~GatheringAttribute() = default;
    };
} // namespace vorna
