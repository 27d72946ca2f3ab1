#include <vorna/model/section_builder.h>

#include <utility>

#include <vorna/basic/corvane_exception.h>

#include "held_component.h"
#include "model_copy.h"

namespace vorna
{
    SectionBuilder::SectionBuilder( Section& section )
        : CornersBuilder< 2 >( section ), LinesBuilder< 2 >( section ),
          SurfacesBuilder< 2 >( section ), ModelBoundariesBuilder< 2 >(
                                               section ),
          RelationshipsBuilder( section ), VertexIdentifierBuilder( section ),
          IdentifierBuilder( section ), section_( section )
    {
    }

    const uuid& SectionBuilder::add_corner()
    {
        const auto& id = create_corner();
        register_component( { Corner< 2 >::component_type_static(), id } );
        return id;
    }

    const uuid& SectionBuilder::add_corner( const MeshImpl& impl )
    {
        const auto& id = create_corner( impl );
        register_component( { Corner< 2 >::component_type_static(), id } );
        return id;
    }

    const uuid& SectionBuilder::add_line()
    {
        const auto& id = create_line();
        register_component( { Line< 2 >::component_type_static(), id } );
        return id;
    }

    const uuid& SectionBuilder::add_line( const MeshImpl& impl )
    {
        const auto& id = create_line( impl );
        register_component( { Line< 2 >::component_type_static(), id } );
        return id;
    }

    const uuid& SectionBuilder::add_surface()
    {
        const auto& id = create_surface();
        register_component( { Surface< 2 >::component_type_static(), id } );
        return id;
    }

    const uuid& SectionBuilder::add_surface( const MeshImpl& impl )
    {
        const auto& id = create_surface( impl );
        register_component( { Surface< 2 >::component_type_static(), id } );
        return id;
    }

    const uuid& SectionBuilder::add_model_boundary()
    {
        const auto& id = create_model_boundary();
        register_component(
            { ModelBoundary< 2 >::component_type_static(), id } );
        return id;
    }

    void SectionBuilder::update_surface_mesh(
        const Surface< 2 >& surface, std::unique_ptr< SurfaceMesh< 2 > > mesh )
    {
        detail::check_held(
            section_, surface, "SectionBuilder::update_surface_mesh" );
        if( !mesh )
        {
            throw CorvaneException(
                "[SectionBuilder::update_surface_mesh] Null mesh given for "
                "Surface ",
                surface.id().string() );
        }
        unlink_component( surface.id() );
        set_surface_mesh( surface.id(), std::move( mesh ) );
    }

    void SectionBuilder::add_corner_line_boundary_relationship(
        const Corner< 2 >& corner, const Line< 2 >& line )
    {
        constexpr auto operation =
            "SectionBuilder::add_corner_line_boundary_relationship";
        detail::check_held( section_, corner, operation );
        detail::check_held( section_, line, operation );
        add_boundary_relation( corner.component_id(), line.component_id() );
    }

    void SectionBuilder::add_line_surface_boundary_relationship(
        const Line< 2 >& line, const Surface< 2 >& surface )
    {
        constexpr auto operation =
            "SectionBuilder::add_line_surface_boundary_relationship";
        detail::check_held( section_, line, operation );
        detail::check_held( section_, surface, operation );
        add_boundary_relation( line.component_id(), surface.component_id() );
    }

    void SectionBuilder::add_corner_surface_internal_relationship(
        const Corner< 2 >& corner, const Surface< 2 >& surface )
    {
        constexpr auto operation =
            "SectionBuilder::add_corner_surface_internal_relationship";
        detail::check_held( section_, corner, operation );
        detail::check_held( section_, surface, operation );
        add_internal_relation( corner.component_id(), surface.component_id() );
    }

    void SectionBuilder::add_line_surface_internal_relationship(
        const Line< 2 >& line, const Surface< 2 >& surface )
    {
        constexpr auto operation =
            "SectionBuilder::add_line_surface_internal_relationship";
        detail::check_held( section_, line, operation );
        detail::check_held( section_, surface, operation );
        add_internal_relation( line.component_id(), surface.component_id() );
    }

    void SectionBuilder::add_line_in_model_boundary(
        const Line< 2 >& line, const ModelBoundary< 2 >& boundary )
    {
        constexpr auto operation = "SectionBuilder::add_line_in_model_boundary";
        detail::check_held( section_, line, operation );
        detail::check_held( section_, boundary, operation );
        add_item_in_collection( line.component_id(), boundary.component_id() );
    }

    ModelMapping SectionBuilder::copy( const Section& from )
    {
        return detail::ModelCopier< SectionBuilder, Section >::copy(
            *this, section_, from, "SectionBuilder::copy" );
    }
} // namespace vorna
