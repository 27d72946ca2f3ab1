#pragma once

#include <memory>

#include <vorna/basic/identifier_builder.h>
#include <vorna/basic/named_type.h>
#include <vorna/model/corners_builder.h>
#include <vorna/model/lines_builder.h>
#include <vorna/model/model_boundaries_builder.h>
#include <vorna/model/model_mapping.h>
#include <vorna/model/relationships_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/surfaces_builder.h>
#include <vorna/model/vertex_identifier_builder.h>

namespace vorna
{
    namespace detail
    {
        template < typename Builder, typename Model >
        class ModelCopier;
    } // namespace detail

    /// Writes a Section. A stateless view: several builders may work on one
    /// model at once and each sees every change. Relationship setters check
    /// that both components belong to the model (else CorvaneException and
    /// no change) and are idempotent.
    class SectionBuilder : public CornersBuilder< 2 >,
                           public LinesBuilder< 2 >,
                           public SurfacesBuilder< 2 >,
                           public ModelBoundariesBuilder< 2 >,
                           public RelationshipsBuilder,
                           public VertexIdentifierBuilder,
                           public IdentifierBuilder
    {
      public:
        explicit SectionBuilder( Section& section );

        // Each adds a component with a fresh uuid, an empty name and an
        // empty mesh of the default or given implementation, and returns its
        // id (valid while the component exists).
        // \throw CorvaneException when `impl` is not of the right mesh kind.
        const uuid& add_corner();
        const uuid& add_corner( const MeshImpl& impl );
        const uuid& add_line();
        const uuid& add_line( const MeshImpl& impl );
        const uuid& add_surface();
        const uuid& add_surface( const MeshImpl& impl );
        const uuid& add_model_boundary();

        /// Installs `mesh` as the surface's mesh, as is, after unlinking the
        /// old mesh's vertices from their unique vertices.
        /// \throw CorvaneException when the model does not hold the surface
        /// or the mesh is null.
        void update_surface_mesh( const Surface< 2 >& surface,
                                  std::unique_ptr< SurfaceMesh< 2 > > mesh );

        void add_corner_line_boundary_relationship( const Corner< 2 >& corner,
                                                    const Line< 2 >& line );
        void
        add_line_surface_boundary_relationship( const Line< 2 >& line,
                                                const Surface< 2 >& surface );
        void
        add_corner_surface_internal_relationship( const Corner< 2 >& corner,
                                                  const Surface< 2 >& surface );
        void
        add_line_surface_internal_relationship( const Line< 2 >& line,
                                                const Surface< 2 >& surface );
        void add_line_in_model_boundary( const Line< 2 >& line,
                                         const ModelBoundary< 2 >& boundary );

        /// Fills this empty model with a copy of `from`; see
        /// BRepBuilder::copy.
        /// \throw CorvaneException when this model is not empty.
        ModelMapping copy( const Section& from );

      private:
        template < typename Builder, typename Model >
        friend class detail::ModelCopier;

        Section& section_;
    };
} // namespace vorna
