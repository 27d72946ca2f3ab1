#pragma once

#include <utility>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    /// An element of an input mesh (a polygon of a surface mesh or an edge
    /// of a curve): the mesh's uuid and the element index.
    struct MeshElement
    {
        MeshElement( uuid mesh_id_in, index_t element_in )
            : mesh_id( std::move( mesh_id_in ) ), element( element_in )
        {
        }

        bool operator==( const MeshElement& other ) const
        {
            return mesh_id == other.mesh_id && element == other.element;
        }
        bool operator!=( const MeshElement& other ) const
        {
            return !( *this == other );
        }

        template < typename H >
        friend H AbslHashValue( H state, const MeshElement& value )
        {
            return H::combine(
                std::move( state ), value.mesh_id, value.element );
        }

        uuid mesh_id;
        index_t element;
    };
} // namespace vorna
