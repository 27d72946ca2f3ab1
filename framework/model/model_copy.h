#pragma once

#include <iterator>
#include <type_traits>

#include <vorna/basic/corvane_exception.h>
#include <vorna/model/brep.h>
#include <vorna/model/model_mapping.h>

// The copy of a whole model, written once for the BRep and the Section
// builders (which befriend it for their protected creation steps).
namespace vorna
{
    namespace detail
    {
        template < typename Builder, typename Model >
        class ModelCopier
        {
            static constexpr bool HAS_BLOCKS =
                std::is_same< Model, BRep >::value;

          public:
            /// Fills `to`, which `builder` writes, with a copy of `from`.
            /// \throw CorvaneException "[operation] ..." when `from` is `to`
            /// or `to` is not empty.
            static ModelMapping copy( Builder& builder,
                                      const Model& to,
                                      const Model& from,
                                      const char* operation )
            {
                if( &from == &to )
                {
                    throw CorvaneException(
                        "[", operation, "] Cannot copy a model into itself" );
                }
                if( !is_empty( to ) )
                {
                    throw CorvaneException(
                        "[", operation, "] The model to fill is not empty" );
                }
                ModelMapping mapping;
                copy_components(
                    builder,
                    from.corners(),
                    from.nb_corners(),
                    mapping,
                    [&builder]( const auto& corner )
                    {
                        const auto& id =
                            builder.create_corner( corner.mesh().clone() );
                        builder.set_corner_name( id, corner.name() );
                        return id;
                    } );
                copy_components( builder,
                                 from.lines(),
                                 from.nb_lines(),
                                 mapping,
                                 [&builder]( const auto& line )
                                 {
                                     const auto& id = builder.create_line(
                                         line.mesh().clone() );
                                     builder.set_line_name( id, line.name() );
                                     return id;
                                 } );
                copy_components(
                    builder,
                    from.surfaces(),
                    from.nb_surfaces(),
                    mapping,
                    [&builder]( const auto& surface )
                    {
                        const auto& id =
                            builder.create_surface( surface.mesh().clone() );
                        builder.set_surface_name( id, surface.name() );
                        return id;
                    } );
                if constexpr( HAS_BLOCKS )
                {
                    copy_components(
                        builder,
                        from.blocks(),
                        from.nb_blocks(),
                        mapping,
                        [&builder]( const auto& block )
                        {
                            const auto& id =
                                builder.create_block( block.mesh().clone() );
                            builder.set_block_name( id, block.name() );
                            return id;
                        } );
                }
                copy_components(
                    builder,
                    from.model_boundaries(),
                    from.nb_model_boundaries(),
                    mapping,
                    [&builder]( const auto& boundary )
                    {
                        const auto& id = builder.create_model_boundary();
                        builder.set_model_boundary_name( id, boundary.name() );
                        return id;
                    } );
                builder.copy_relationships( mapping, from );
                builder.copy_unique_vertices( mapping, from );
                return mapping;
            }

          private:
            static bool is_empty( const Model& model )
            {
                bool empty = model.nb_corners() == 0 && model.nb_lines() == 0 &&
                             model.nb_surfaces() == 0 &&
                             model.nb_model_boundaries() == 0 &&
                             model.nb_unique_vertices() == 0;
                if constexpr( HAS_BLOCKS )
                {
                    empty = empty && model.nb_blocks() == 0;
                }
                return empty;
            }

            // Copies each component of the range in order, registers the
            // copy and maps the input id to it.
            template < typename Range, typename Copy >
            static void copy_components( Builder& builder,
                                         const Range& components,
                                         index_t count,
                                         ModelMapping& mapping,
                                         const Copy& copy_one )
            {
                using Component =
                    std::decay_t< decltype( *std::begin( components ) ) >;
                const auto type = Component::component_type_static();
                auto& ids = mapping[type];
                ids.reserve( count );
                for( const auto& component : components )
                {
                    const auto& id = copy_one( component );
                    builder.register_component( { type, id } );
                    ids.map( component.id(), id );
                }
            }
        };
    } // namespace detail
} // namespace vorna
