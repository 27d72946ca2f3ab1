#pragma once

#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <vorna/basic/common.h>

namespace vorna
{
    /// Local vertex `vertex_id` of polygon `polygon_id`. Invalid by default.
    struct PolygonVertex
    {
        PolygonVertex() = default;
        PolygonVertex( index_t polygon, local_index_t vertex )
            : polygon_id( polygon ), vertex_id( vertex )
        {
        }

        bool operator==( const PolygonVertex& other ) const
        {
            return polygon_id == other.polygon_id &&
                   vertex_id == other.vertex_id;
        }
        bool operator!=( const PolygonVertex& other ) const
        {
            return !( *this == other );
        }
        bool operator<( const PolygonVertex& other ) const
        {
            return polygon_id != other.polygon_id
                       ? polygon_id < other.polygon_id
                       : vertex_id < other.vertex_id;
        }
        /// "(polygon, vertex)".
        std::string string() const
        {
            return absl::StrCat( "(",
                                 polygon_id,
                                 ", ",
                                 static_cast< unsigned int >( vertex_id ),
                                 ")" );
        }
        template < typename H >
        friend H AbslHashValue( H state, const PolygonVertex& value )
        {
            return H::combine(
                std::move( state ), value.polygon_id, value.vertex_id );
        }

        index_t polygon_id{ INVALID_INDEX };
        local_index_t vertex_id{ INVALID_LOCAL_INDEX };
    };

    /// Local edge `edge_id` of polygon `polygon_id`: it joins local vertices
    /// edge_id and (edge_id + 1) mod n. Invalid by default.
    struct PolygonEdge
    {
        PolygonEdge() = default;
        PolygonEdge( index_t polygon, local_index_t edge )
            : polygon_id( polygon ), edge_id( edge )
        {
        }

        bool operator==( const PolygonEdge& other ) const
        {
            return polygon_id == other.polygon_id && edge_id == other.edge_id;
        }
        bool operator!=( const PolygonEdge& other ) const
        {
            return !( *this == other );
        }
        bool operator<( const PolygonEdge& other ) const
        {
            return polygon_id != other.polygon_id
                       ? polygon_id < other.polygon_id
                       : edge_id < other.edge_id;
        }
        /// "(polygon, edge)".
        std::string string() const
        {
            return absl::StrCat( "(",
                                 polygon_id,
                                 ", ",
                                 static_cast< unsigned int >( edge_id ),
                                 ")" );
        }
        template < typename H >
        friend H AbslHashValue( H state, const PolygonEdge& value )
        {
            return H::combine(
                std::move( state ), value.polygon_id, value.edge_id );
        }

        index_t polygon_id{ INVALID_INDEX };
        local_index_t edge_id{ INVALID_LOCAL_INDEX };
    };

    /// Local vertex `vertex_id` of polyhedron `polyhedron_id`.
    struct PolyhedronVertex
    {
        PolyhedronVertex() = default;
        PolyhedronVertex( index_t polyhedron, local_index_t vertex )
            : polyhedron_id( polyhedron ), vertex_id( vertex )
        {
        }

        bool operator==( const PolyhedronVertex& other ) const
        {
            return polyhedron_id == other.polyhedron_id &&
                   vertex_id == other.vertex_id;
        }
        bool operator!=( const PolyhedronVertex& other ) const
        {
            return !( *this == other );
        }
        /// "(polyhedron, vertex)".
        std::string string() const
        {
            return absl::StrCat( "(",
                                 polyhedron_id,
                                 ", ",
                                 static_cast< unsigned int >( vertex_id ),
                                 ")" );
        }
        template < typename H >
        friend H AbslHashValue( H state, const PolyhedronVertex& value )
        {
            return H::combine(
                std::move( state ), value.polyhedron_id, value.vertex_id );
        }

        index_t polyhedron_id{ INVALID_INDEX };
        local_index_t vertex_id{ INVALID_LOCAL_INDEX };
    };

    /// Local facet `facet_id` of polyhedron `polyhedron_id`.
    struct PolyhedronFacet
    {
        PolyhedronFacet() = default;
        PolyhedronFacet( index_t polyhedron, local_index_t facet )
            : polyhedron_id( polyhedron ), facet_id( facet )
        {
        }

        bool operator==( const PolyhedronFacet& other ) const
        {
            return polyhedron_id == other.polyhedron_id &&
                   facet_id == other.facet_id;
        }
        bool operator!=( const PolyhedronFacet& other ) const
        {
            return !( *this == other );
        }
        /// "(polyhedron, facet)".
        std::string string() const
        {
            return absl::StrCat( "(",
                                 polyhedron_id,
                                 ", ",
                                 static_cast< unsigned int >( facet_id ),
                                 ")" );
        }
        template < typename H >
        friend H AbslHashValue( H state, const PolyhedronFacet& value )
        {
            return H::combine(
                std::move( state ), value.polyhedron_id, value.facet_id );
        }

        index_t polyhedron_id{ INVALID_INDEX };
        local_index_t facet_id{ INVALID_LOCAL_INDEX };
    };

    /// End `vertex_id` (0 or 1) of graph edge `edge_id`.
    struct EdgeVertex
    {
        EdgeVertex() = default;
        EdgeVertex( index_t edge, local_index_t vertex )
            : edge_id( edge ), vertex_id( vertex )
        {
        }

        bool operator==( const EdgeVertex& other ) const
        {
            return edge_id == other.edge_id && vertex_id == other.vertex_id;
        }
        bool operator!=( const EdgeVertex& other ) const
        {
            return !( *this == other );
        }
        /// "(edge, vertex)".
        std::string string() const
        {
            return absl::StrCat( "(",
                                 edge_id,
                                 ", ",
                                 static_cast< unsigned int >( vertex_id ),
                                 ")" );
        }
        template < typename H >
        friend H AbslHashValue( H state, const EdgeVertex& value )
        {
            return H::combine(
                std::move( state ), value.edge_id, value.vertex_id );
        }

        index_t edge_id{ INVALID_INDEX };
        local_index_t vertex_id{ INVALID_LOCAL_INDEX };
    };

    /// Local vertex `vertex_id` of a polyhedron facet, in facet order.
    struct PolyhedronFacetVertex
    {
        PolyhedronFacetVertex() = default;
        PolyhedronFacetVertex( const PolyhedronFacet& polyhedron_facet,
                               local_index_t vertex )
            : facet( polyhedron_facet ), vertex_id( vertex )
        {
        }

        bool operator==( const PolyhedronFacetVertex& other ) const
        {
            return facet == other.facet && vertex_id == other.vertex_id;
        }
        bool operator!=( const PolyhedronFacetVertex& other ) const
        {
            return !( *this == other );
        }
        /// "((polyhedron, facet), vertex)".
        std::string string() const
        {
            return absl::StrCat( "(",
                                 facet.string(),
                                 ", ",
                                 static_cast< unsigned int >( vertex_id ),
                                 ")" );
        }
        template < typename H >
        friend H AbslHashValue( H state, const PolyhedronFacetVertex& value )
        {
            return H::combine(
                std::move( state ), value.facet, value.vertex_id );
        }

        PolyhedronFacet facet;
        local_index_t vertex_id{ INVALID_LOCAL_INDEX };
    };
} // namespace vorna
