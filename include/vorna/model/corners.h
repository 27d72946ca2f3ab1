#pragma once

#include <memory>
#include <utility>

#include <vorna/basic/uuid.h>
#include <vorna/model/component_range.h>
#include <vorna/model/corner.h>
#include <vorna/model/detail/component_store.h>

namespace vorna
{
    template < index_t D >
    class CornersBuilder;

    /// The corners of a model, owned, in creation order.
    template < index_t D >
    class Corners
    {
        friend class CornersBuilder< D >;

      public:
        using CornerRange = ComponentRange< Corner< D > >;

        Corners( const Corners& ) = delete;
        Corners& operator=( const Corners& ) = delete;

        index_t nb_corners() const
        {
            return corners_.size();
        }

        bool has_corner( const uuid& id ) const
        {
            return corners_.find( id ) != nullptr;
        }

        /// \throw CorvaneException when the model has no such corner.
        const Corner< D >& corner( const uuid& id ) const
        {
            return corners_.get( id, "Corners::corner" );
        }

        /// \throw CorvaneException when the model has no such corner.
        Corner< D >& modifiable_corner( const uuid& id )
        {
            return corners_.get( id, "Corners::modifiable_corner" );
        }

        /// Creation order, kept across removals.
        CornerRange corners() const
        {
            return CornerRange{ corners_.components() };
        }

      protected:
        Corners() = default;
        ~Corners() = default;
        Corners( Corners&& ) noexcept = default;
        Corners& operator=( Corners&& ) noexcept = default;

        const detail::ComponentStore< Corner< D > >& corner_store() const
        {
            return corners_;
        }

      private:
        Corner< D >& create_corner( std::unique_ptr< PointSet< D > > mesh )
        {
            return corners_.add( std::unique_ptr< Corner< D > >{
                new Corner< D >{ std::move( mesh ) } } );
        }

        void delete_corner( const uuid& id )
        {
            corners_.remove( id );
        }

      private:
        detail::ComponentStore< Corner< D > > corners_;
    };
} // namespace vorna
