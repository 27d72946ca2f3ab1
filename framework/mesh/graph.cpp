#include <vorna/mesh/graph.h>

#include <algorithm>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/graph_builder.h>

namespace vorna
{
    Graph::Graph() = default;
    Graph::~Graph() = default;
    Graph::Graph( Graph&& ) noexcept = default;
    Graph& Graph::operator=( Graph&& ) noexcept = default;

    index_t Graph::edge_vertex( const EdgeVertex& edge_vertex ) const
    {
        if( edge_vertex.edge_id >= nb_edges() || edge_vertex.vertex_id > 1 )
        {
            throw CorvaneException( "[Graph::edge_vertex] Invalid edge vertex ",
                                    edge_vertex.string(),
                                    " (",
                                    nb_edges(),
                                    " edges)" );
        }
        return edges_[edge_vertex.edge_id][edge_vertex.vertex_id];
    }

    const std::array< index_t, 2 >& Graph::edge_vertices( index_t edge ) const
    {
        if( edge >= nb_edges() )
        {
            throw CorvaneException( "[Graph::edge_vertices] Invalid edge ",
                                    edge,
                                    " (",
                                    nb_edges(),
                                    " edges)" );
        }
        return edges_[edge];
    }

    const EdgesAroundVertex& Graph::edges_around_vertex( index_t vertex ) const
    {
        if( vertex >= nb_vertices() )
        {
            throw CorvaneException(
                "[Graph::edges_around_vertex] Invalid vertex ",
                vertex,
                " (",
                nb_vertices(),
                " vertices)" );
        }
        return edges_around_vertex_[vertex];
    }

    void Graph::resize_vertices( index_t nb_vertices )
    {
        edges_around_vertex_.resize( nb_vertices );
        VertexSet::resize_vertices( nb_vertices );
    }

    void Graph::copy_graph( const Graph& from )
    {
        copy_vertex_set( from );
        edges_ = from.edges_;
        edges_around_vertex_ = from.edges_around_vertex_;
        edge_attributes_.copy( from.edge_attributes_ );
    }

    GraphBuilder::GraphBuilder( VertexSet& mesh, MeshBuilderFactoryKey key )
        : VertexSetBuilder( mesh, key ),
          graph_(
              [&mesh]() -> Graph&
              {
                  auto* graph = dynamic_cast< Graph* >( &mesh );
                  if( graph == nullptr )
                  {
                      throw CorvaneException(
                          "[GraphBuilder::GraphBuilder] Mesh "
                          "is not a graph: ",
                          mesh.impl_name().get() );
                  }
                  return *graph;
              }() )
    {
    }

    std::unique_ptr< GraphBuilder > GraphBuilder::create( Graph& mesh )
    {
        return detail::create_mesh_builder< GraphBuilder >(
            mesh, "GraphBuilder::create" );
    }

    index_t GraphBuilder::create_edge()
    {
        const auto edge = graph_.nb_edges();
        graph_.edges_.push_back( { INVALID_INDEX, INVALID_INDEX } );
        graph_.edge_attributes_.resize( edge + 1 );
        return edge;
    }

    index_t GraphBuilder::create_edge( index_t v0, index_t v1 )
    {
        if( v0 >= graph_.nb_vertices() || v1 >= graph_.nb_vertices() )
        {
            throw CorvaneException( "[GraphBuilder::create_edge] Invalid "
                                    "vertex in (",
                                    v0,
                                    ", ",
                                    v1,
                                    "), ",
                                    graph_.nb_vertices(),
                                    " vertices" );
        }
        const auto edge = create_edge();
        set_edge_vertex( { edge, 0 }, v0 );
        set_edge_vertex( { edge, 1 }, v1 );
        return edge;
    }

    void GraphBuilder::set_edge_vertex( const EdgeVertex& edge_vertex,
                                        index_t vertex )
    {
        if( edge_vertex.edge_id >= graph_.nb_edges() ||
            edge_vertex.vertex_id > 1 )
        {
            throw CorvaneException( "[GraphBuilder::set_edge_vertex] Invalid "
                                    "edge vertex ",
                                    edge_vertex.string(),
                                    " (",
                                    graph_.nb_edges(),
                                    " edges)" );
        }
        if( vertex != INVALID_INDEX && vertex >= graph_.nb_vertices() )
        {
            throw CorvaneException( "[GraphBuilder::set_edge_vertex] Invalid "
                                    "vertex ",
                                    vertex,
                                    " (",
                                    graph_.nb_vertices(),
                                    " vertices)" );
        }
        auto& slot = graph_.edges_[edge_vertex.edge_id][edge_vertex.vertex_id];
        if( slot != INVALID_INDEX )
        {
            auto& around = graph_.edges_around_vertex_[slot];
            around.erase(
                std::remove( around.begin(), around.end(), edge_vertex ),
                around.end() );
        }
        slot = vertex;
        if( vertex != INVALID_INDEX )
        {
            graph_.edges_around_vertex_[vertex].push_back( edge_vertex );
        }
    }
} // namespace vorna
