#pragma once

#include <array>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <vorna/mesh/mesh_element.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    class GraphBuilder;

    /// Edge ends attached to one vertex, in attachment order.
    using EdgesAroundVertex = absl::InlinedVector< EdgeVertex, 2 >;

    /// Vertices joined by edges. Each vertex lists the edge ends attached to
    /// it, in attachment order; re-attaching an end moves it last, and a loop
    /// edge lists both of its ends.
    class Graph : public VertexSet
    {
        friend class GraphBuilder;

      public:
        ~Graph() override;
        Graph( Graph&& ) noexcept;
        Graph& operator=( Graph&& ) noexcept;

        index_t nb_edges() const
        {
            return static_cast< index_t >( edges_.size() );
        }

        /// The vertex at one end of an edge (INVALID_INDEX when unset).
        /// \throw CorvaneException on an out-of-range edge or end.
        index_t edge_vertex( const EdgeVertex& edge_vertex ) const;

        /// \throw CorvaneException on an out-of-range edge.
        const std::array< index_t, 2 >& edge_vertices( index_t edge ) const;

        /// \throw CorvaneException on an out-of-range vertex.
        const EdgesAroundVertex& edges_around_vertex( index_t vertex ) const;

        /// Writable through a const mesh.
        AttributeManager& edge_attribute_manager() const
        {
            return edge_attributes_;
        }

      protected:
        Graph();

        void resize_vertices( index_t nb_vertices ) override;

        /// Copies everything of `from` except its uuid.
        void copy_graph( const Graph& from );

      private:
        std::vector< std::array< index_t, 2 > > edges_;
        std::vector< EdgesAroundVertex > edges_around_vertex_;
        mutable AttributeManager edge_attributes_;
    };
} // namespace vorna
