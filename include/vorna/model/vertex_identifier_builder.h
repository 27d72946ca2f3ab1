#pragma once

#include <absl/types/span.h>

#include <vorna/model/component_mesh_vertex.h>
#include <vorna/model/model_mapping.h>
#include <vorna/model/vertex_identifier.h>

namespace vorna
{
    /// Creates unique vertices and links component mesh vertices to them.
    class VertexIdentifierBuilder
    {
      public:
        explicit VertexIdentifierBuilder( VertexIdentifier& identifier )
            : identifier_( identifier )
        {
        }

        /// A new unique vertex; returns its index (the previous count).
        index_t create_unique_vertex();

        /// `nb` new unique vertices; returns the index of the first (the
        /// previous count).
        index_t create_unique_vertices( index_t nb );

        /// Links `vertex` to `unique_vertex`, after removing any earlier
        /// link of `vertex`. O(1) expected.
        /// \throw CorvaneException when unique_vertex >= nb_unique_vertices()
        /// or when the component was linked before under another type.
        void set_unique_vertex( const ComponentMeshVertex& vertex,
                                index_t unique_vertex );

        /// Links vertex k of the component's mesh to unique_vertices[k], for
        /// every k, as set_unique_vertex would one vertex after the other.
        /// \throw CorvaneException as set_unique_vertex would for some
        /// vertex; nothing is linked then.
        void set_unique_vertices( const ComponentID& component,
                                  absl::Span< const index_t > unique_vertices );

        /// Removes the link of `vertex`, if any.
        void unset_unique_vertex( const ComponentMeshVertex& vertex );

      protected:
        /// Unlinks every vertex of the component.
        void unlink_component( const uuid& component );

        /// Copies every unique vertex and link of `from`, renaming components
        /// through `mapping`; link orders are kept.
        /// \throw CorvaneException when this identifier is not empty;
        /// std::out_of_range when a linked component is not mapped.
        void copy_unique_vertices( const ModelMapping& mapping,
                                   const VertexIdentifier& from );

      private:
        VertexIdentifier& identifier_;
    };
} // namespace vorna
