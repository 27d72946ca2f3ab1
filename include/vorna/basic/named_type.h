#pragma once

#include <string>
#include <type_traits>
#include <utility>

namespace vorna
{
    /// A value of type T made distinct by a tag, so that a mesh type name
    /// cannot be passed where an implementation key is expected.
    template < typename T, typename Tag >
    class NamedType
    {
      public:
        NamedType() = default;

        template < typename U,
                   typename = std::enable_if_t<
                       std::is_constructible< T, U&& >::value &&
                       !std::is_same< std::decay_t< U >, NamedType >::value > >
        NamedType( U&& value ) // NOLINT: implicit on purpose
            : value_( std::forward< U >( value ) )
        {
        }

        const T& get() const
        {
            return value_;
        }
        T& get()
        {
            return value_;
        }

        bool operator==( const NamedType& other ) const
        {
            return value_ == other.value_;
        }
        bool operator!=( const NamedType& other ) const
        {
            return value_ != other.value_;
        }
        bool operator<( const NamedType& other ) const
        {
            return value_ < other.value_;
        }

        template < typename H >
        friend H AbslHashValue( H state, const NamedType& value )
        {
            return H::combine( std::move( state ), value.value_ );
        }

      private:
        T value_{};
    };

    struct MeshTypeTag;
    struct MeshImplTag;
    struct ComponentTag;

    /// Name of a mesh interface type, e.g. "TriangulatedSurface3D".
    using MeshType = NamedType< std::string, MeshTypeTag >;
    /// Key of a mesh implementation, e.g. "DefaultTriangulatedSurface3D".
    using MeshImpl = NamedType< std::string, MeshImplTag >;
    /// Name of a model component type: "Corner", "Line", "Surface", ...
    using ComponentType = NamedType< std::string, ComponentTag >;
} // namespace vorna
