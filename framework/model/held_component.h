#pragma once

#include <vorna/basic/corvane_exception.h>
#include <vorna/model/block.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/surface.h>

// Checks shared by the model builders: a component passed by reference must
// be the model's own object, not one of another model.
namespace vorna
{
    namespace detail
    {
        template < typename Model, index_t D >
        bool is_held( const Model& model, const Corner< D >& component )
        {
            return model.has_corner( component.id() ) &&
                   &model.corner( component.id() ) == &component;
        }

        template < typename Model, index_t D >
        bool is_held( const Model& model, const Line< D >& component )
        {
            return model.has_line( component.id() ) &&
                   &model.line( component.id() ) == &component;
        }

        template < typename Model, index_t D >
        bool is_held( const Model& model, const Surface< D >& component )
        {
            return model.has_surface( component.id() ) &&
                   &model.surface( component.id() ) == &component;
        }

        template < typename Model, index_t D >
        bool is_held( const Model& model, const Block< D >& component )
        {
            return model.has_block( component.id() ) &&
                   &model.block( component.id() ) == &component;
        }

        template < typename Model, index_t D >
        bool is_held( const Model& model, const ModelBoundary< D >& component )
        {
            return model.has_model_boundary( component.id() ) &&
                   &model.model_boundary( component.id() ) == &component;
        }

        /// \throw CorvaneException "[operation] <Type> <uuid> does not
        /// belong to this model".
        template < typename Model, typename Component >
        void check_held( const Model& model,
                         const Component& component,
                         const char* operation )
        {
            if( !is_held( model, component ) )
            {
                throw CorvaneException(
                    "[",
                    operation,
                    "] ",
                    Component::component_type_static().get(),
                    " ",
                    component.id().string(),
                    " does not belong to this model" );
            }
        }
    } // namespace detail
} // namespace vorna
