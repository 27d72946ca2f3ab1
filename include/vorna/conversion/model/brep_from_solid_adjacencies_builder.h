#pragma once

#include <memory>

#include <vorna/basic/common.h>

namespace vorna
{
    class BRep;
    template < index_t D >
    class SolidMesh;
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Converts a solid into a BRep whose blocks are the groups of
        /// polyhedra joined by the adjacencies the solid stores. Corners,
        /// lines and surfaces come from the solid's boundary surface (see
        /// SurfaceFromSolidAdjacencies), converted like a surface mesh
        /// without blocks; then each group becomes a block filled with its
        /// polyhedra and the solid's attributes, tied to the model's unique
        /// vertices and bounded by the surfaces on either side of its
        /// border facets. A surface with the same block on both sides is
        /// internal to it (border facets whose nodes lie within 1e-6 of
        /// each other count as one). No model boundary is made.
        ///
        /// The solid is only read: its working tables stay in the builder,
        /// so several builders may convert one solid at once. The solid and
        /// the model (which should be empty) must outlive the builder.
        /// Call the three steps once each, in order: a step out of order
        /// throws CorvaneException "[BRepFromSolidAdjacenciesBuilder::<step>]
        /// The ... is not built: run <step>() first", a second run "... is
        /// built already".
        class BRepFromSolidAdjacenciesBuilder
        {
          public:
            BRepFromSolidAdjacenciesBuilder( BRep& brep,
                                             const SolidMesh< 3 >& solid );
            ~BRepFromSolidAdjacenciesBuilder();
            BRepFromSolidAdjacenciesBuilder(
                const BRepFromSolidAdjacenciesBuilder& ) = delete;
            BRepFromSolidAdjacenciesBuilder&
            operator=( const BRepFromSolidAdjacenciesBuilder& ) = delete;

            /// Checks the solid, then builds the boundary surface.
            /// \throw CorvaneException "[BRepFromSolidAdjacenciesBuilder]
            /// ...", before anything is built, for a polyhedron vertex with
            /// a non-finite coordinate ("Vertex <v> of mesh '<name or
            /// uuid>' has a non-finite coordinate"), then one beyond the
            /// coordinate bound ("Coordinates must lie within [-1e+40,
            /// 1e+40]: vertex <v> of mesh '...' has <value>", the farthest
            /// coordinate of the used vertices), a facet listing a
            /// vertex twice ("Facet <f> of polyhedron <p> of mesh '...'
            /// lists vertex <v> twice"), an adjacency stored to its own
            /// polyhedron ("Facet <f> of polyhedron <p> of mesh '...' is
            /// adjacent to its own polyhedron"), a stored adjacency that the
            /// neighbour does not store back across the same vertices
            /// ("Facet <f> of polyhedron <p> of mesh '...' is adjacent to
            /// polyhedron <q>, which is not adjacent back across it"), or
            /// does across fewer facets than the polyhedron has adjacent to
            /// it on them ("Facets <f0> and <f> of polyhedron <p> of mesh
            /// '...' lie on the same vertices and are both adjacent to
            /// polyhedron <q>, which is adjacent back across them once"), or
            /// a group of polyhedra of no volume ("The polyhedra joined to
            /// polyhedron <p> of mesh '...' enclose no volume"); the first
            /// failure of the parallel collection, once every task has
            /// ended; CorvaneException when called twice.
            void build_surface_step();

            /// Makes the model's corners, lines and surfaces from the
            /// boundary surface and records, in the boundary polygon
            /// attribute "surface_uuid", the model surface of each polygon.
            /// \throw CorvaneException before build_surface_step() or when
            /// called twice; whatever BRepFromMeshesBuilder throws.
            void build_brep_without_block_step();

            /// Makes one block per group of polyhedra, fills the block
            /// meshes in parallel, ties their vertices to unique vertices
            /// (a vertex on no border facet gets a new one) and adds the
            /// surface-block relationships.
            /// \throw CorvaneException before build_brep_without_block_step()
            /// or when called twice; before any block is made, when no
            /// model surface would bound a group, its border facets having
            /// merged within 1e-6 into polygons with the group on both
            /// sides ("[BRepFromSolidAdjacenciesBuilder::build_blocks_step]
            /// No surface bounds the polyhedra joined to polyhedron <p> of
            /// mesh '...': their border facets merge within the merging
            /// distance 1e-6"); the first failure of the block filling,
            /// once every task has ended, before any unique vertex or
            /// relationship is set.
            void build_blocks_step();

            /// The boundary surface, with "polyhedra_exported" and, after
            /// the second step, "surface_uuid" on its polygons.
            /// \throw CorvaneException before build_surface_step().
            SurfaceMesh< 3 >& solid_boundaries();

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
