#pragma once

#include <memory>

#include <vorna/basic/uuid.h>
#include <vorna/model/component_range.h>
#include <vorna/model/detail/component_store.h>
#include <vorna/model/model_boundary.h>

namespace vorna
{
    template < index_t D >
    class ModelBoundariesBuilder;

    /// The model boundaries of a model, owned, in creation order.
    template < index_t D >
    class ModelBoundaries
    {
        friend class ModelBoundariesBuilder< D >;

      public:
        using ModelBoundaryRange = ComponentRange< ModelBoundary< D > >;

        ModelBoundaries( const ModelBoundaries& ) = delete;
        ModelBoundaries& operator=( const ModelBoundaries& ) = delete;

        index_t nb_model_boundaries() const
        {
            return model_boundaries_.size();
        }

        bool has_model_boundary( const uuid& id ) const
        {
            return model_boundaries_.find( id ) != nullptr;
        }

        /// \throw CorvaneException when the model has no such boundary.
        const ModelBoundary< D >& model_boundary( const uuid& id ) const
        {
            return model_boundaries_.get( id,
                                          "ModelBoundaries::model_boundary" );
        }

        /// Creation order, kept across removals.
        ModelBoundaryRange model_boundaries() const
        {
            return ModelBoundaryRange{ model_boundaries_.components() };
        }

      protected:
        ModelBoundaries() = default;
        ~ModelBoundaries() = default;
        ModelBoundaries( ModelBoundaries&& ) noexcept = default;
        ModelBoundaries& operator=( ModelBoundaries&& ) noexcept = default;

      private:
        ModelBoundary< D >& create_model_boundary()
        {
            return model_boundaries_.add( std::unique_ptr< ModelBoundary< D > >{
                new ModelBoundary< D >{} } );
        }

        ModelBoundary< D >& modifiable_model_boundary( const uuid& id )
        {
            return model_boundaries_.get(
                id, "ModelBoundaries::modifiable_model_boundary" );
        }

      private:
        detail::ComponentStore< ModelBoundary< D > > model_boundaries_;
    };
} // namespace vorna
