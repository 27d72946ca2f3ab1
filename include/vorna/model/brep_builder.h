#pragma once

#include <memory>

#include <vorna/basic/identifier_builder.h>
#include <vorna/basic/named_type.h>
#include <vorna/model/blocks_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/corners_builder.h>
#include <vorna/model/lines_builder.h>
#include <vorna/model/model_boundaries_builder.h>
#include <vorna/model/model_mapping.h>
#include <vorna/model/relationships_builder.h>
#include <vorna/model/surfaces_builder.h>
#include <vorna/model/vertex_identifier_builder.h>

namespace vorna
{
    namespace detail
    {
        template < typename Builder, typename Model >
        class ModelCopier;
    } // namespace detail

    /// Writes a BRep. A stateless view: several builders may work on one
    /// model at once and each sees every change. Relationship setters check
    /// that both components belong to the model (else CorvaneException and
    /// no change) and are idempotent.
    class BRepBuilder : public CornersBuilder< 3 >,
                        public LinesBuilder< 3 >,
                        public SurfacesBuilder< 3 >,
                        public BlocksBuilder< 3 >,
                        public ModelBoundariesBuilder< 3 >,
                        public RelationshipsBuilder,
                        public VertexIdentifierBuilder,
                        public IdentifierBuilder
    {
      public:
        explicit BRepBuilder( BRep& brep );

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
        const uuid& add_block();
        const uuid& add_block( const MeshImpl& impl );
        const uuid& add_model_boundary();

        /// Removes the block with its mesh, relationships and unique-vertex
        /// links. \throw CorvaneException when the model does not hold it.
        void remove_block( const Block< 3 >& block );

        /// Installs `mesh` as the surface's mesh, as is, after unlinking the
        /// old mesh's vertices from their unique vertices.
        /// \throw CorvaneException when the model does not hold the surface
        /// or the mesh is null.
        void update_surface_mesh( const Surface< 3 >& surface,
                                  std::unique_ptr< SurfaceMesh< 3 > > mesh );

        void add_corner_line_boundary_relationship( const Corner< 3 >& corner,
                                                    const Line< 3 >& line );
        void
        add_line_surface_boundary_relationship( const Line< 3 >& line,
                                                const Surface< 3 >& surface );
        void
        add_surface_block_boundary_relationship( const Surface< 3 >& surface,
                                                 const Block< 3 >& block );
        void
        add_corner_surface_internal_relationship( const Corner< 3 >& corner,
                                                  const Surface< 3 >& surface );
        void
        add_line_surface_internal_relationship( const Line< 3 >& line,
                                                const Surface< 3 >& surface );
        void
        add_surface_block_internal_relationship( const Surface< 3 >& surface,
                                                 const Block< 3 >& block );
        void add_line_block_internal_relationship( const Line< 3 >& line,
                                                   const Block< 3 >& block );
        void add_corner_block_internal_relationship( const Corner< 3 >& corner,
                                                     const Block< 3 >& block );
        void
        add_surface_in_model_boundary( const Surface< 3 >& surface,
                                       const ModelBoundary< 3 >& boundary );

        /// Fills this empty model with a copy of `from`: components kind by
        /// kind in input order with fresh uuids and the same names, cloned
        /// meshes (element numbering kept), relationships and unique vertices
        /// in input order. Returns, per component type, input id -> copy id.
        /// \throw CorvaneException when this model is not empty.
        ModelMapping copy( const BRep& from );

      private:
        template < typename Builder, typename Model >
        friend class detail::ModelCopier;

        BRep& brep_;
    };
} // namespace vorna
