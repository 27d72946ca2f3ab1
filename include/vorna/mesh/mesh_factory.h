#pragma once

#include <memory>

#include <vorna/basic/factory.h>
#include <vorna/basic/named_type.h>

namespace vorna
{
    class VertexSet;

    /// Registry of mesh implementations: creators keyed by implementation,
    /// the type of each implementation and the default implementation of
    /// each type. Filled by CorvaneMesh::initialize().
    class MeshFactory
    {
      public:
        using Creators = Factory< MeshImpl, VertexSet >;

        /// A new empty mesh of that implementation.
        /// \throw CorvaneException for an unknown implementation.
        static std::unique_ptr< VertexSet > create_mesh( const MeshImpl& impl );

        /// The default implementation of the type.
        /// \throw CorvaneException for a type without default.
        static MeshImpl default_impl( const MeshType& type );

        /// The type the implementation was registered with.
        /// \throw CorvaneException for an unknown implementation.
        static MeshType type( const MeshImpl& impl );

        /// Registers Mesh as implementation `impl` of `type`; Mesh must be
        /// default-constructible by the factory.
        template < typename Mesh >
        static void register_mesh( const MeshType& type, const MeshImpl& impl )
        {
            Creators::register_creator< Mesh >( impl );
            register_type( type, impl );
        }

        /// Makes `impl` the default implementation of `type`.
        static void register_default( const MeshType& type,
                                      const MeshImpl& impl );

      private:
        static void register_type( const MeshType& type, const MeshImpl& impl );
    };
} // namespace vorna
