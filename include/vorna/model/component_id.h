#pragma once

#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <vorna/basic/named_type.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    /// Type name and uuid of a model component ("Corner", "Line", "Surface",
    /// "Block" or "ModelBoundary").
    class ComponentID
    {
      public:
        /// Takes the type name over: the argument is left empty.
        ComponentID( ComponentType type, uuid id )
            : type_( std::move( type ) ), id_( std::move( id ) )
        {
        }

        const ComponentType& type() const
        {
            return type_;
        }

        const uuid& id() const
        {
            return id_;
        }

        /// "<type> <uuid>", for messages.
        std::string string() const
        {
            return absl::StrCat( type_.get(), " ", id_.string() );
        }

        bool operator==( const ComponentID& other ) const
        {
            return type_ == other.type_ && id_ == other.id_;
        }
        bool operator!=( const ComponentID& other ) const
        {
            return !( *this == other );
        }

        template < typename H >
        friend H AbslHashValue( H state, const ComponentID& value )
        {
            return H::combine( std::move( state ), value.type_, value.id_ );
        }

      private:
        ComponentType type_;
        uuid id_;
    };
} // namespace vorna
