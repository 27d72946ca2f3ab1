#pragma once

#include <vorna/basic/common.h>
#include <vorna/basic/identifier.h>
#include <vorna/basic/named_type.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    template < index_t D >
    class ModelBoundaries;

    /// A named group of boundary components of the model (surfaces in a
    /// BRep, lines in a Section). It has no mesh.
    template < index_t D >
    class ModelBoundary : public Identifier
    {
        friend class ModelBoundaries< D >;

      public:
        ModelBoundary( const ModelBoundary& ) = delete;
        ModelBoundary& operator=( const ModelBoundary& ) = delete;

        static ComponentType component_type_static()
        {
            return ComponentType{ "ModelBoundary" };
        }

        ComponentType component_type() const
        {
            return component_type_static();
        }

        ComponentID component_id() const
        {
            return { component_type_static(), id() };
        }

      private:
        ModelBoundary() = default;
    };
} // namespace vorna
