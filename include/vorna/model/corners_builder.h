#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <vorna/basic/named_type.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/model/corners.h>

namespace vorna
{
    /// Adds, names and removes the corners of a model and gives builders of
    /// their meshes. A stateless view: several may share one model.
    template < index_t D >
    class CornersBuilder
    {
      public:
        /// Renames the corner, not its mesh.
        /// \throw CorvaneException when the model has no such corner.
        void set_corner_name( const uuid& id, absl::string_view name );

        /// An owned builder of the corner's mesh, from the builder factory.
        /// \throw CorvaneException when the model has no such corner or no
        /// builder matches its mesh.
        std::unique_ptr< PointSetBuilder< D > >
        corner_mesh_builder( const uuid& id );

      protected:
        explicit CornersBuilder( Corners< D >& corners ) : corners_( corners )
        {
        }

        /// A new corner with an empty mesh of the default implementation.
        const uuid& create_corner();

        /// \throw CorvaneException when `impl` is not a PointSet<D>
        /// implementation.
        const uuid& create_corner( const MeshImpl& impl );

        /// A new corner owning `mesh`.
        /// \throw CorvaneException on a null mesh.
        const uuid& create_corner( std::unique_ptr< PointSet< D > > mesh );

        void delete_corner( const uuid& id );

      private:
        Corners< D >& corners_;
    };
} // namespace vorna
