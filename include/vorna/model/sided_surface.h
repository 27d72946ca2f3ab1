#pragma once

#include <utility>

#include <vorna/basic/uuid.h>
#include <vorna/mesh/mesh_element.h>

namespace vorna
{
    /// One side of a surface: side `false` is side 0, the side the polygon
    /// normals point to. `polygon_edge` tells where the side was met (e.g.
    /// the wing of a radial sort) and takes no part in comparisons.
    struct SidedSurface
    {
        SidedSurface() = default;
        SidedSurface( const uuid& id_in, bool side_in )
            : id( id_in ), side( side_in )
        {
        }
        SidedSurface( const uuid& id_in,
                      const PolygonEdge& polygon_edge_in,
                      bool side_in )
            : id( id_in ), side( side_in ), polygon_edge( polygon_edge_in )
        {
        }

        /// Same surface and same side.
        bool operator==( const SidedSurface& other ) const
        {
            return id == other.id && side == other.side;
        }
        bool operator!=( const SidedSurface& other ) const
        {
            return !( *this == other );
        }

        template < typename H >
        friend H AbslHashValue( H state, const SidedSurface& value )
        {
            return H::combine( std::move( state ), value.id, value.side );
        }

        uuid id;
        bool side{ false };
        PolygonEdge polygon_edge;
    };
} // namespace vorna
