#pragma once

#include <memory>
#include <utility>

#include <vorna/basic/uuid.h>
#include <vorna/model/component_range.h>
#include <vorna/model/detail/component_store.h>
#include <vorna/model/surface.h>

namespace vorna
{
    template < index_t D >
    class SurfacesBuilder;

    /// The surfaces of a model, owned, in creation order.
    template < index_t D >
    class Surfaces
    {
        friend class SurfacesBuilder< D >;

      public:
        using SurfaceRange = ComponentRange< Surface< D > >;

        Surfaces( const Surfaces& ) = delete;
        Surfaces& operator=( const Surfaces& ) = delete;

        index_t nb_surfaces() const
        {
            return surfaces_.size();
        }

        bool has_surface( const uuid& id ) const
        {
            return surfaces_.find( id ) != nullptr;
        }

        /// \throw CorvaneException when the model has no such surface.
        const Surface< D >& surface( const uuid& id ) const
        {
            return surfaces_.get( id, "Surfaces::surface" );
        }

        /// \throw CorvaneException when the model has no such surface.
        Surface< D >& modifiable_surface( const uuid& id )
        {
            return surfaces_.get( id, "Surfaces::modifiable_surface" );
        }

        /// Creation order, kept across removals.
        SurfaceRange surfaces() const
        {
            return SurfaceRange{ surfaces_.components() };
        }

      protected:
        Surfaces() = default;
        ~Surfaces() = default;
        Surfaces( Surfaces&& ) noexcept = default;
        Surfaces& operator=( Surfaces&& ) noexcept = default;

        const detail::ComponentStore< Surface< D > >& surface_store() const
        {
            return surfaces_;
        }

      private:
        Surface< D >& create_surface( std::unique_ptr< SurfaceMesh< D > > mesh )
        {
            return surfaces_.add( std::unique_ptr< Surface< D > >{
                new Surface< D >{ std::move( mesh ) } } );
        }

        void delete_surface( const uuid& id )
        {
            surfaces_.remove( id );
        }

        void set_surface_mesh( const uuid& id,
                               std::unique_ptr< SurfaceMesh< D > > mesh )
        {
            surfaces_.get( id, "Surfaces::set_surface_mesh" )
                .set_mesh( std::move( mesh ) );
        }

      private:
        detail::ComponentStore< Surface< D > > surfaces_;
    };
} // namespace vorna
