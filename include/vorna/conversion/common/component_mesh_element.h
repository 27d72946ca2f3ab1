#pragma once

#include <utility>

#include <vorna/basic/common.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    /// An element of a model component's mesh: the component and the element
    /// index in its mesh.
    struct ComponentMeshElement
    {
        /// Takes the component id over: its type name is left empty.
        ComponentMeshElement( ComponentID component_id_in, index_t element_in )
            : component_id( std::move( component_id_in ) ),
              element( element_in )
        {
        }

        bool operator==( const ComponentMeshElement& other ) const
        {
            return component_id == other.component_id &&
                   element == other.element;
        }
        bool operator!=( const ComponentMeshElement& other ) const
        {
            return !( *this == other );
        }

        template < typename H >
        friend H AbslHashValue( H state, const ComponentMeshElement& value )
        {
            return H::combine(
                std::move( state ), value.component_id, value.element );
        }

        ComponentID component_id;
        index_t element;
    };
} // namespace vorna
