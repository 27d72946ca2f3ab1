#pragma once

#include <memory>

#include <vorna/basic/identifier_builder.h>
#include <vorna/mesh/mesh_builder_factory.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    /// Base of every mesh builder. Builders are stateless views of one mesh:
    /// several may share a mesh and each sees every change at once.
    class VertexSetBuilder : public IdentifierBuilder
    {
      public:
        VertexSetBuilder( VertexSet& mesh, MeshBuilderFactoryKey );

        /// The registered builder of the mesh's implementation.
        /// \throw CorvaneException when the implementation has no builder.
        static std::unique_ptr< VertexSetBuilder > create( VertexSet& mesh );

        /// Adds one vertex (at the origin for meshes with points) and returns
        /// its index, the previous vertex count.
        index_t create_vertex();

        /// Adds nb vertices and returns the index of the first one.
        index_t create_vertices( index_t nb );

      private:
        VertexSet& vertex_set_;
    };

    namespace detail
    {
        /// Looks the mesh's builder up and casts it to Builder.
        /// \throw CorvaneException when the implementation has no builder or
        /// its builder is not a Builder.
        template < typename Builder >
        std::unique_ptr< Builder >
        create_mesh_builder( VertexSet& mesh, absl::string_view operation );
    } // namespace detail
} // namespace vorna

#include <vorna/mesh/corvane_mesh.h>

namespace vorna
{
    namespace detail
    {
        template < typename Builder >
        std::unique_ptr< Builder >
        create_mesh_builder( VertexSet& mesh, absl::string_view operation )
        {
            CorvaneMesh::initialize();
            const auto impl = mesh.impl_name();
            if( !MeshBuilderFactory::has_creator( impl ) )
            {
                throw CorvaneException(
                    "[",
                    operation,
                    "] No builder registered for mesh implementation: ",
                    impl.get() );
            }
            auto builder = MeshBuilderFactory::create(
                impl, mesh, MeshBuilderFactoryKey{} );
            auto* typed = dynamic_cast< Builder* >( builder.get() );
            if( typed == nullptr )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] The builder of mesh implementation ",
                                        impl.get(),
                                        " has another interface" );
            }
            builder.release();
            return std::unique_ptr< Builder >{ typed };
        }
    } // namespace detail
} // namespace vorna
