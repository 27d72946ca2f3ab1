#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/vertex_set_builder.h>

namespace vorna
{
    /// Builder of a SolidMesh<3>; a stateless view of the mesh. Every
    /// creation returns the previous count and resizes the matching
    /// attribute managers.
    template < index_t D >
    class SolidMeshBuilder : public VertexSetBuilder
    {
      public:
        /// \throw CorvaneException when the mesh is not a SolidMesh<D>.
        SolidMeshBuilder( VertexSet& mesh, MeshBuilderFactoryKey key );

        /// The registered builder of the mesh's implementation.
        /// \throw CorvaneException when there is none.
        static std::unique_ptr< SolidMeshBuilder< D > >
        create( SolidMesh< D >& mesh );

        /// A new vertex at the point.
        index_t create_point( const Point< D >& point );

        /// \throw CorvaneException on an out-of-range vertex.
        void set_point( index_t vertex, const Point< D >& point );

        /// A new polyhedron; each facet lists local vertices. Facets are
        /// walked in local order to extend the facet and edge tables. All
        /// facets start on the border.
        /// \throw CorvaneException on an out-of-range vertex or local
        /// vertex, a facet with fewer than 3 vertices, or anything but 4
        /// vertices and 4 triangles on a tetrahedral solid.
        index_t create_polyhedron(
            absl::Span< const index_t > vertices,
            absl::Span< const std::vector< local_index_t > > facets );

        /// A new tetrahedron with facets (1,2,3), (0,3,2), (0,1,3), (0,2,1):
        /// facet f is opposite vertex f and faces outwards for a positive
        /// volume.
        /// \throw CorvaneException on an out-of-range vertex.
        index_t create_tetrahedron( const std::array< index_t, 4 >& vertices );

        /// Writes one side: the polyhedron across the facet becomes
        /// `adjacent` (INVALID_INDEX makes a border).
        /// \throw CorvaneException on out-of-range indices.
        void set_polyhedron_adjacent( const PolyhedronFacet& polyhedron_facet,
                                      index_t adjacent );

        /// Makes the facet a border on this side only. Safe to call
        /// concurrently for different polyhedron facets.
        /// \throw CorvaneException on out-of-range indices.
        void
        unset_polyhedron_adjacent( const PolyhedronFacet& polyhedron_facet );

        /// Clears all adjacency, then joins the two polyhedron facets of
        /// every vertex set used by exactly two polyhedron facets.
        void compute_polyhedron_adjacencies();

      private:
        index_t do_create_polyhedron(
            absl::Span< const index_t > vertices,
            absl::Span< const std::vector< local_index_t > > facets,
            const char* operation );

      private:
        SolidMesh< D >& solid_;
    };

    using SolidMeshBuilder3D = SolidMeshBuilder< 3 >;
} // namespace vorna
