#pragma once

#include <utility>

#include <vorna/basic/common.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    /// A vertex of a model component's mesh: the unit of unique-vertex
    /// bookkeeping.
    struct ComponentMeshVertex
    {
        ComponentMeshVertex( ComponentID component_id_in, index_t vertex_in )
            : component_id( std::move( component_id_in ) ), vertex( vertex_in )
        {
        }

        bool operator==( const ComponentMeshVertex& other ) const
        {
            return component_id == other.component_id && vertex == other.vertex;
        }
        bool operator!=( const ComponentMeshVertex& other ) const
        {
            return !( *this == other );
        }

        template < typename H >
        friend H AbslHashValue( H state, const ComponentMeshVertex& value )
        {
            return H::combine(
                std::move( state ), value.component_id, value.vertex );
        }

        ComponentID component_id;
        index_t vertex;
    };
} // namespace vorna
