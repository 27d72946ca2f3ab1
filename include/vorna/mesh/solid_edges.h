#pragma once

#include <array>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/optional.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SolidMeshBuilder;

    /// Edges of a solid mesh, numbered as the polyhedra create them (each
    /// unseen consecutive pair of a facet takes the next index, its vertices
    /// stored in facet order). Kept current by SolidMeshBuilder.
    template < index_t D >
    class SolidEdges
    {
        friend class SolidMeshBuilder< D >;

      public:
        SolidEdges();
        ~SolidEdges();
        SolidEdges( SolidEdges&& ) noexcept;
        SolidEdges& operator=( SolidEdges&& ) noexcept;

        index_t nb_edges() const
        {
            return static_cast< index_t >( edges_.size() );
        }

        /// \throw CorvaneException on an out-of-range edge.
        const std::array< index_t, 2 >& edge_vertices( index_t edge ) const;

        /// The edge joining the two vertices, in either order; empty when
        /// there is none.
        absl::optional< index_t >
        edge_from_vertices( const std::array< index_t, 2 >& vertices ) const;

        /// Writable through a const mesh.
        AttributeManager& edge_attribute_manager() const
        {
            return edge_attributes_;
        }

        /// Copies everything of `from`.
        void copy( const SolidEdges& from );

      private:
        /// The edge on the two vertices, created at the end when unseen.
        index_t find_or_create_edge( index_t from, index_t to );

      private:
        std::vector< std::array< index_t, 2 > > edges_;
        // Keyed by the sorted vertex pair.
        absl::flat_hash_map< std::array< index_t, 2 >, index_t > edge_ids_;
        mutable AttributeManager edge_attributes_;
    };
} // namespace vorna
