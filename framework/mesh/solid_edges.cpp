#include <vorna/mesh/solid_edges.h>

#include <algorithm>

#include <vorna/basic/corvane_exception.h>

namespace vorna
{
    namespace
    {
        std::array< index_t, 2 > sorted_pair( index_t a, index_t b )
        {
            return { std::min( a, b ), std::max( a, b ) };
        }
    } // namespace

    template < index_t D >
    SolidEdges< D >::SolidEdges() = default;
    template < index_t D >
    SolidEdges< D >::~SolidEdges() = default;
    template < index_t D >
    SolidEdges< D >::SolidEdges( SolidEdges&& ) noexcept = default;
    template < index_t D >
    SolidEdges< D >&
    SolidEdges< D >::operator=( SolidEdges&& ) noexcept = default;

    template < index_t D >
    const std::array< index_t, 2 >&
    SolidEdges< D >::edge_vertices( index_t edge ) const
    {
        if( edge >= nb_edges() )
        {
            throw CorvaneException( "[SolidEdges::edge_vertices] Invalid "
                                    "edge ",
                                    edge,
                                    " (",
                                    nb_edges(),
                                    " edges)" );
        }
        return edges_[edge];
    }

    template < index_t D >
    absl::optional< index_t > SolidEdges< D >::edge_from_vertices(
        const std::array< index_t, 2 >& vertices ) const
    {
        const auto it =
            edge_ids_.find( sorted_pair( vertices[0], vertices[1] ) );
        if( it == edge_ids_.end() )
        {
            return absl::nullopt;
        }
        return it->second;
    }

    template < index_t D >
    void SolidEdges< D >::copy( const SolidEdges& from )
    {
        edges_ = from.edges_;
        edge_ids_ = from.edge_ids_;
        edge_attributes_.copy( from.edge_attributes_ );
    }

    template < index_t D >
    index_t SolidEdges< D >::find_or_create_edge( index_t from, index_t to )
    {
        const auto edge = nb_edges();
        const auto inserted =
            edge_ids_.try_emplace( sorted_pair( from, to ), edge );
        if( !inserted.second )
        {
            return inserted.first->second;
        }
        edges_.push_back( { from, to } );
        edge_attributes_.resize( edge + 1 );
        return edge;
    }

    template class SolidEdges< 3 >;
} // namespace vorna
