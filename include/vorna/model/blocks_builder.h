#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <vorna/basic/named_type.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/model/blocks.h>

namespace vorna
{
    /// Adds, names and removes the blocks of a model and gives builders of
    /// their meshes. A stateless view: several may share one model.
    /// Only D = 3 exists.
    template < index_t D >
    class BlocksBuilder
    {
      public:
        /// Renames the block, not its mesh.
        /// \throw CorvaneException when the model has no such block.
        void set_block_name( const uuid& id, absl::string_view name );

        /// An owned builder of the block's mesh, from the builder factory.
        /// \throw CorvaneException when the model has no such block or no
        /// builder matches its mesh.
        std::unique_ptr< SolidMeshBuilder< D > >
        block_mesh_builder( const uuid& id );

      protected:
        explicit BlocksBuilder( Blocks< D >& blocks ) : blocks_( blocks ) {}

        /// A new block with an empty mesh of the default implementation.
        const uuid& create_block();

        /// \throw CorvaneException when `impl` is not a SolidMesh<D>
        /// implementation.
        const uuid& create_block( const MeshImpl& impl );

        /// A new block owning `mesh`.
        /// \throw CorvaneException on a null mesh.
        const uuid& create_block( std::unique_ptr< SolidMesh< D > > mesh );

        void delete_block( const uuid& id );

      private:
        Blocks< D >& blocks_;
    };
} // namespace vorna
