#pragma once

#include <memory>

#include <vorna/mesh/graph.h>
#include <vorna/mesh/vertex_set_builder.h>

namespace vorna
{
    /// Builder of a Graph.
    class GraphBuilder : public VertexSetBuilder
    {
      public:
        /// \throw CorvaneException when the mesh is not a Graph.
        GraphBuilder( VertexSet& mesh, MeshBuilderFactoryKey key );

        /// The registered builder of the graph's implementation.
        /// \throw CorvaneException when there is none.
        static std::unique_ptr< GraphBuilder > create( Graph& mesh );

        /// A new edge whose ends are INVALID_INDEX and listed nowhere.
        index_t create_edge();

        /// A new edge from v0 to v1.
        /// \throw CorvaneException on an out-of-range vertex.
        index_t create_edge( index_t v0, index_t v1 );

        /// Re-attaches one end of an edge to `vertex` (INVALID_INDEX
        /// detaches it).
        /// \throw CorvaneException on an out-of-range edge, end or vertex.
        void set_edge_vertex( const EdgeVertex& edge_vertex, index_t vertex );

      private:
        Graph& graph_;
    };
} // namespace vorna
