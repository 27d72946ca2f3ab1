#pragma once

#include <memory>

#include <absl/types/span.h>

#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/vertex_set_builder.h>

namespace vorna
{
    /// Builder of a SurfaceMesh<D>; a stateless view of the mesh. Every
    /// creation returns the previous count and resizes the matching
    /// attribute manager.
    template < index_t D >
    class SurfaceMeshBuilder : public VertexSetBuilder
    {
      public:
        /// \throw CorvaneException when the mesh is not a SurfaceMesh<D>.
        SurfaceMeshBuilder( VertexSet& mesh, MeshBuilderFactoryKey key );

        /// The registered builder of the mesh's implementation.
        /// \throw CorvaneException when there is none.
        static std::unique_ptr< SurfaceMeshBuilder< D > >
        create( SurfaceMesh< D >& mesh );

        /// A new vertex at the point.
        index_t create_point( const Point< D >& point );

        /// \throw CorvaneException on an out-of-range vertex.
        void set_point( index_t vertex, const Point< D >& point );

        /// A new polygon on the vertices, in that order, all its edges on
        /// the border. Repeated vertices are allowed.
        /// \throw CorvaneException with fewer than 3 vertices, more than
        /// 255, an out-of-range vertex, or other than 3 vertices on a
        /// triangulated surface.
        index_t create_polygon( absl::Span< const index_t > vertices );

        /// New polygons, as create_polygon would make them one after the
        /// other: polygon k on vertices[offsets[k]] to
        /// vertices[offsets[k + 1] - 1] (so `offsets` may describe a slice
        /// of a larger table). Returns the first new polygon.
        /// \throw CorvaneException as create_polygon would for some
        /// polygon, or when `offsets` is empty, decreases or runs past
        /// `vertices`; nothing is created then.
        index_t create_polygons( absl::Span< const index_t > offsets,
                                 absl::Span< const index_t > vertices );

        /// Replaces one vertex of a polygon.
        /// \throw CorvaneException on an out-of-range polygon, local vertex
        /// or vertex.
        void set_polygon_vertex( const PolygonVertex& polygon_vertex,
                                 index_t vertex );

        /// Writes one side: the polygon across the edge becomes `adjacent`
        /// (INVALID_INDEX makes a border).
        /// \throw CorvaneException on an out-of-range edge or polygon.
        void set_polygon_adjacent( const PolygonEdge& polygon_edge,
                                   index_t adjacent );

        /// Makes the edge a border on this side only. Safe to call
        /// concurrently for different polygon edges.
        /// \throw CorvaneException on an out-of-range edge.
        void unset_polygon_adjacent( const PolygonEdge& polygon_edge );

        /// Clears all adjacency, then joins the two polygon edges of every
        /// unordered vertex pair used by exactly two polygon edges; other
        /// edges stay borders.
        void compute_polygon_adjacencies();

      private:
        template < index_t T >
        friend void repair_polygon_orientations( SurfaceMesh< T >& mesh );

        void check_new_polygon( absl::Span< const index_t > vertices,
                                const char* operation ) const;
        void check_room( std::size_t nb_polygons,
                         std::size_t nb_vertices,
                         const char* operation ) const;
        // Appends checked polygons.
        index_t append_polygons( absl::Span< const index_t > offsets,
                                 absl::Span< const index_t > vertices );

        // (v0, v1, ..., vn-1) becomes (v0, vn-1, ..., v1) and edge k's
        // adjacency moves to edge n-1-k, in time independent of how many
        // polygons share its vertices.
        void reverse_polygon( index_t polygon );

        SurfaceMesh< D >& surface_;
    };

    using SurfaceMeshBuilder2D = SurfaceMeshBuilder< 2 >;
    using SurfaceMeshBuilder3D = SurfaceMeshBuilder< 3 >;
} // namespace vorna
