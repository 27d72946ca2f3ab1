#pragma once

#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/common.h>
#include <vorna/basic/named_type.h>
#include <vorna/basic/uuid.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    class VertexIdentifierBuilder;

    /// Links the vertices of the component meshes that stand for one point
    /// of the model to a shared "unique vertex" index. Look-ups in both
    /// directions are O(1) expected.
    class VertexIdentifier
    {
        friend class VertexIdentifierBuilder;

      public:
        VertexIdentifier( const VertexIdentifier& ) = delete;
        VertexIdentifier& operator=( const VertexIdentifier& ) = delete;

        index_t nb_unique_vertices() const
        {
            return static_cast< index_t >( unique_vertices_.size() );
        }

        /// The unique vertex of a component mesh vertex, INVALID_INDEX when
        /// it is not linked.
        index_t unique_vertex( const ComponentMeshVertex& vertex ) const;

        /// The component mesh vertices linked to `unique_vertex`, in link
        /// order (unlinking keeps the order of the rest).
        /// \throw CorvaneException when unique_vertex >= nb_unique_vertices().
        const std::vector< ComponentMeshVertex >&
        component_mesh_vertices( index_t unique_vertex ) const;

        /// The same, restricted to components of the given type.
        /// \throw CorvaneException when unique_vertex >= nb_unique_vertices().
        std::vector< ComponentMeshVertex >
        component_mesh_vertices( index_t unique_vertex,
                                 const ComponentType& type ) const;

      protected:
        VertexIdentifier();
        ~VertexIdentifier();
        VertexIdentifier( VertexIdentifier&& ) noexcept;
        VertexIdentifier& operator=( VertexIdentifier&& ) noexcept;

      private:
        // Per component: the unique vertex of each of its mesh vertices.
        struct ComponentVertices
        {
            ComponentType type;
            std::vector< index_t > unique_vertices;
        };

      private:
        std::vector< std::vector< ComponentMeshVertex > > unique_vertices_;
        absl::flat_hash_map< uuid, ComponentVertices > components_;
    };
} // namespace vorna
