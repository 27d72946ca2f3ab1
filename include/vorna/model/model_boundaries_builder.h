#pragma once

#include <absl/strings/string_view.h>

#include <vorna/basic/identifier_builder.h>
#include <vorna/model/model_boundaries.h>

namespace vorna
{
    /// Adds and names the model boundaries of a model. A stateless view.
    template < index_t D >
    class ModelBoundariesBuilder
    {
      public:
        /// \throw CorvaneException when the model has no such boundary.
        void set_model_boundary_name( const uuid& id, absl::string_view name )
        {
            IdentifierBuilder{
                model_boundaries_.modifiable_model_boundary( id ) }
                .set_name( name );
        }

      protected:
        explicit ModelBoundariesBuilder( ModelBoundaries< D >& boundaries )
            : model_boundaries_( boundaries )
        {
        }

        const uuid& create_model_boundary()
        {
            return model_boundaries_.create_model_boundary().id();
        }

      private:
        ModelBoundaries< D >& model_boundaries_;
    };
} // namespace vorna
