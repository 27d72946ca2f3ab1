#pragma once

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/common.h>
#include <vorna/basic/identifier.h>
#include <vorna/basic/named_type.h>

namespace vorna
{
    class VertexSetBuilder;

    /// Base of every mesh: a number of vertices with their attributes.
    /// Meshes are movable, not copyable.
    class VertexSet : public Identifier
    {
        friend class VertexSetBuilder;

      public:
        ~VertexSet() override;
        VertexSet( VertexSet&& ) noexcept;
        VertexSet& operator=( VertexSet&& ) noexcept;
        VertexSet( const VertexSet& ) = delete;
        VertexSet& operator=( const VertexSet& ) = delete;

        index_t nb_vertices() const
        {
            return nb_vertices_;
        }

        /// Writable through a const mesh.
        AttributeManager& vertex_attribute_manager() const
        {
            return vertex_attributes_;
        }

        /// Mesh type, e.g. "TriangulatedSurface3D"; it selects
        /// MeshFactory::default_impl.
        virtual MeshType type_name() const = 0;

        /// Implementation key, e.g. "DefaultTriangulatedSurface3D"; it keys
        /// the builder factory.
        virtual MeshImpl impl_name() const = 0;

      protected:
        VertexSet();

        /// Sets the vertex count; overrides grow their own per-vertex arrays
        /// and call this one.
        virtual void resize_vertices( index_t nb_vertices );

        /// Copies the vertex count, vertex attributes and name of `from`
        /// (the uuid stays fresh).
        void copy_vertex_set( const VertexSet& from );

      private:
        index_t nb_vertices_{ 0 };
        mutable AttributeManager vertex_attributes_;
    };
} // namespace vorna
