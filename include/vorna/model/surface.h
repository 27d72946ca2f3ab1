#pragma once

#include <memory>

#include <vorna/basic/identifier.h>
#include <vorna/basic/named_type.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    template < index_t D >
    class Surfaces;

    /// A model surface: meshed by a SurfaceMesh<D>, bounded by lines.
    /// Created only through the model builder; it owns its mesh, which has
    /// its own uuid.
    template < index_t D >
    class Surface : public Identifier
    {
        friend class Surfaces< D >;

      public:
        ~Surface() override;
        Surface( const Surface& ) = delete;
        Surface& operator=( const Surface& ) = delete;

        static ComponentType component_type_static()
        {
            return ComponentType{ "Surface" };
        }

        ComponentType component_type() const
        {
            return component_type_static();
        }

        ComponentID component_id() const
        {
            return { component_type_static(), id() };
        }

        const SurfaceMesh< D >& mesh() const
        {
            return *mesh_;
        }

        const SurfaceMesh< D >& get_mesh() const
        {
            return *mesh_;
        }

        SurfaceMesh< D >& get_modifiable_mesh()
        {
            return *mesh_;
        }

      private:
        explicit Surface( std::unique_ptr< SurfaceMesh< D > > mesh );

        void set_mesh( std::unique_ptr< SurfaceMesh< D > > mesh );

      private:
        std::unique_ptr< SurfaceMesh< D > > mesh_;
    };
} // namespace vorna
