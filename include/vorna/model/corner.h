#pragma once

#include <memory>

#include <vorna/basic/identifier.h>
#include <vorna/basic/named_type.h>
#include <vorna/mesh/point_set.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    template < index_t D >
    class Corners;

    /// A model corner: a point, meshed by a PointSet<D> (usually one vertex).
    /// Created only through the model builder; it owns its mesh, which has
    /// its own uuid.
    template < index_t D >
    class Corner : public Identifier
    {
        friend class Corners< D >;

      public:
        ~Corner() override;
        Corner( const Corner& ) = delete;
        Corner& operator=( const Corner& ) = delete;

        static ComponentType component_type_static()
        {
            return ComponentType{ "Corner" };
        }

        ComponentType component_type() const
        {
            return component_type_static();
        }

        ComponentID component_id() const
        {
            return { component_type_static(), id() };
        }

        const PointSet< D >& mesh() const
        {
            return *mesh_;
        }

        const PointSet< D >& get_mesh() const
        {
            return *mesh_;
        }

        PointSet< D >& get_modifiable_mesh()
        {
            return *mesh_;
        }

      private:
        explicit Corner( std::unique_ptr< PointSet< D > > mesh );

        void set_mesh( std::unique_ptr< PointSet< D > > mesh );

      private:
        std::unique_ptr< PointSet< D > > mesh_;
    };
} // namespace vorna
