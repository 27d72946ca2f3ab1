#pragma once

#include <memory>
#include <utility>

#include <vorna/basic/uuid.h>
#include <vorna/model/block.h>
#include <vorna/model/component_range.h>
#include <vorna/model/detail/component_store.h>

namespace vorna
{
    template < index_t D >
    class BlocksBuilder;

    /// The blocks of a model, owned, in creation order.
    /// Only D = 3 exists.
    template < index_t D >
    class Blocks
    {
        friend class BlocksBuilder< D >;

      public:
        using BlockRange = ComponentRange< Block< D > >;

        Blocks( const Blocks& ) = delete;
        Blocks& operator=( const Blocks& ) = delete;

        index_t nb_blocks() const
        {
            return blocks_.size();
        }

        bool has_block( const uuid& id ) const
        {
            return blocks_.find( id ) != nullptr;
        }

        /// \throw CorvaneException when the model has no such block.
        const Block< D >& block( const uuid& id ) const
        {
            return blocks_.get( id, "Blocks::block" );
        }

        /// \throw CorvaneException when the model has no such block.
        Block< D >& modifiable_block( const uuid& id )
        {
            return blocks_.get( id, "Blocks::modifiable_block" );
        }

        /// Creation order, kept across removals.
        BlockRange blocks() const
        {
            return BlockRange{ blocks_.components() };
        }

      protected:
        Blocks() = default;
        ~Blocks() = default;
        Blocks( Blocks&& ) noexcept = default;
        Blocks& operator=( Blocks&& ) noexcept = default;

        const detail::ComponentStore< Block< D > >& block_store() const
        {
            return blocks_;
        }

      private:
        Block< D >& create_block( std::unique_ptr< SolidMesh< D > > mesh )
        {
            return blocks_.add( std::unique_ptr< Block< D > >{
                new Block< D >{ std::move( mesh ) } } );
        }

        void delete_block( const uuid& id )
        {
            blocks_.remove( id );
        }

      private:
        detail::ComponentStore< Block< D > > blocks_;
    };
} // namespace vorna
