#pragma once

#include <memory>

#include <vorna/basic/identifier.h>
#include <vorna/basic/named_type.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    template < index_t D >
    class Lines;

    /// A model line: a curve meshed by an EdgedCurve<D>, bounded by corners.
    /// Created only through the model builder; it owns its mesh, which has
    /// its own uuid.
    template < index_t D >
    class Line : public Identifier
    {
        friend class Lines< D >;

      public:
        ~Line() override;
        Line( const Line& ) = delete;
        Line& operator=( const Line& ) = delete;

        static ComponentType component_type_static()
        {
            return ComponentType{ "Line" };
        }

        ComponentType component_type() const
        {
            return component_type_static();
        }

        ComponentID component_id() const
        {
            return { component_type_static(), id() };
        }

        const EdgedCurve< D >& mesh() const
        {
            return *mesh_;
        }

        const EdgedCurve< D >& get_mesh() const
        {
            return *mesh_;
        }

        EdgedCurve< D >& get_modifiable_mesh()
        {
            return *mesh_;
        }

      private:
        explicit Line( std::unique_ptr< EdgedCurve< D > > mesh );

        void set_mesh( std::unique_ptr< EdgedCurve< D > > mesh );

      private:
        std::unique_ptr< EdgedCurve< D > > mesh_;
    };
} // namespace vorna
