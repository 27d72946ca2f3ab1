#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <vorna/basic/named_type.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/surfaces.h>

namespace vorna
{
    /// Adds, names and removes the surfaces of a model and gives builders of
    /// their meshes. A stateless view: several may share one model.
    template < index_t D >
    class SurfacesBuilder
    {
      public:
        /// Renames the surface, not its mesh.
        /// \throw CorvaneException when the model has no such surface.
        void set_surface_name( const uuid& id, absl::string_view name );

        /// An owned builder of the surface's mesh, from the builder factory.
        /// \throw CorvaneException when the model has no such surface or no
        /// builder matches its mesh.
        std::unique_ptr< SurfaceMeshBuilder< D > >
        surface_mesh_builder( const uuid& id );

      protected:
        explicit SurfacesBuilder( Surfaces< D >& surfaces )
            : surfaces_( surfaces )
        {
        }

        /// A new surface with an empty mesh of the default implementation.
        const uuid& create_surface();

        /// \throw CorvaneException when `impl` is not a SurfaceMesh<D>
        /// implementation.
        const uuid& create_surface( const MeshImpl& impl );

        /// A new surface owning `mesh`.
        /// \throw CorvaneException on a null mesh.
        const uuid& create_surface( std::unique_ptr< SurfaceMesh< D > > mesh );

        void delete_surface( const uuid& id );

        /// Installs `mesh` as the surface's mesh, as is.
        /// \throw CorvaneException for an unknown surface or a null mesh.
        void set_surface_mesh( const uuid& id,
                               std::unique_ptr< SurfaceMesh< D > > mesh );

      private:
        Surfaces< D >& surfaces_;
    };
} // namespace vorna
