#pragma once

#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <conversion/mesh_analysis/from_meshes/groups.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// The vertices of the surfaces made from the polygon groups.
            /// Surface s takes the merged vertices that its group uses,
            /// numbered in the order its polygons first use them (group
            /// polygons in order, then their vertices in local order).
            /// Computed in parallel, with the same result on any number of
            /// threads.
            template < index_t D >
            class SurfaceVertices
            {
              public:
                /// (surface, vertex in that surface's mesh)
                using SurfaceVertex = std::pair< index_t, index_t >;

                SurfaceVertices( const SurfaceMesh< D >& merged,
                                 const PolygonGroups< D >& groups,
                                 const GroupTable& table );

                /// Slots of the polygons in group order: the k-th polygon
                /// of the table (table.polygons[k]) has its vertices at
                /// slot_vertices()[slot_offsets()[k]] to
                /// slot_vertices()[slot_offsets()[k + 1] - 1].
                absl::Span< const index_t > slot_offsets() const
                {
                    return slot_offsets_;
                }

                /// The surface vertex at every slot.
                absl::Span< const index_t > slot_vertices() const
                {
                    return slot_vertices_;
                }

                /// Merged vertex of each vertex of surface s, in order.
                absl::Span< const index_t >
                merged_vertices( index_t surface ) const
                {
                    return absl::MakeConstSpan( merged_vertices_ )
                        .subspan( vertex_begin_[surface],
                                  vertex_begin_[surface + 1] -
                                      vertex_begin_[surface] );
                }

                index_t nb_surface_vertices() const
                {
                    return static_cast< index_t >( merged_vertices_.size() );
                }

                /// The surface vertices at a merged vertex, by ascending
                /// surface.
                absl::Span< const SurfaceVertex >
                at_merged_vertex( index_t vertex ) const
                {
                    return absl::MakeConstSpan( at_merged_ )
                        .subspan( at_merged_begin_[vertex],
                                  at_merged_begin_[vertex + 1] -
                                      at_merged_begin_[vertex] );
                }

              private:
                std::vector< index_t > slot_offsets_;
                std::vector< index_t > slot_vertices_;
                std::vector< index_t > vertex_begin_;
                std::vector< index_t > merged_vertices_;
                std::vector< index_t > at_merged_begin_;
                std::vector< SurfaceVertex > at_merged_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
