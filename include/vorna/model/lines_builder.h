#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <vorna/basic/named_type.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/model/lines.h>

namespace vorna
{
    /// Adds, names and removes the lines of a model and gives builders of
    /// their meshes. A stateless view: several may share one model.
    template < index_t D >
    class LinesBuilder
    {
      public:
        /// Renames the line, not its mesh.
        /// \throw CorvaneException when the model has no such line.
        void set_line_name( const uuid& id, absl::string_view name );

        /// An owned builder of the line's mesh, from the builder factory.
        /// \throw CorvaneException when the model has no such line or no
        /// builder matches its mesh.
        std::unique_ptr< EdgedCurveBuilder< D > >
        line_mesh_builder( const uuid& id );

      protected:
        explicit LinesBuilder( Lines< D >& lines ) : lines_( lines ) {}

        /// A new line with an empty mesh of the default implementation.
        const uuid& create_line();

        /// \throw CorvaneException when `impl` is not a EdgedCurve<D>
        /// implementation.
        const uuid& create_line( const MeshImpl& impl );

        /// A new line owning `mesh`.
        /// \throw CorvaneException on a null mesh.
        const uuid& create_line( std::unique_ptr< EdgedCurve< D > > mesh );

        void delete_line( const uuid& id );

      private:
        Lines< D >& lines_;
    };
} // namespace vorna
