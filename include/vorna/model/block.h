#pragma once

#include <memory>

#include <vorna/basic/identifier.h>
#include <vorna/basic/named_type.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    template < index_t D >
    class Blocks;

    /// A model block: a volume meshed by a SolidMesh<3>, bounded by surfaces.
    /// Only D = 3 exists. Created only through the model builder; it owns its
    /// mesh, which has its own uuid.
    template < index_t D >
    class Block : public Identifier
    {
        friend class Blocks< D >;

      public:
        ~Block() override;
        Block( const Block& ) = delete;
        Block& operator=( const Block& ) = delete;

        static ComponentType component_type_static()
        {
            return ComponentType{ "Block" };
        }

        ComponentType component_type() const
        {
            return component_type_static();
        }

        ComponentID component_id() const
        {
            return { component_type_static(), id() };
        }

        const SolidMesh< D >& mesh() const
        {
            return *mesh_;
        }

        const SolidMesh< D >& get_mesh() const
        {
            return *mesh_;
        }

        SolidMesh< D >& get_modifiable_mesh()
        {
            return *mesh_;
        }

      private:
        explicit Block( std::unique_ptr< SolidMesh< D > > mesh );

        void set_mesh( std::unique_ptr< SolidMesh< D > > mesh );

      private:
        std::unique_ptr< SolidMesh< D > > mesh_;
    };
} // namespace vorna
