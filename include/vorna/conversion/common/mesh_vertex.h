#pragma once

#include <utility>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    /// A vertex of an input mesh: the mesh's uuid and the vertex index.
    struct MeshVertex
    {
        MeshVertex( uuid mesh_id_in, index_t vertex_in )
            : mesh_id( std::move( mesh_id_in ) ), vertex( vertex_in )
        {
        }

        bool operator==( const MeshVertex& other ) const
        {
            return mesh_id == other.mesh_id && vertex == other.vertex;
        }
        bool operator!=( const MeshVertex& other ) const
        {
            return !( *this == other );
        }

        template < typename H >
        friend H AbslHashValue( H state, const MeshVertex& value )
        {
            return H::combine(
                std::move( state ), value.mesh_id, value.vertex );
        }

        uuid mesh_id;
        index_t vertex;
    };
} // namespace vorna
