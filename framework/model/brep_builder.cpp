#include <vorna/model/brep_builder.h>

#include <utility>

#include <vorna/basic/corvane_exception.h>

#include "held_component.h"
#include "model_copy.h"

namespace vorna
{
    BRepBuilder::BRepBuilder( BRep& brep )
        : CornersBuilder< 3 >( brep ), LinesBuilder< 3 >( brep ),
          SurfacesBuilder< 3 >( brep ), BlocksBuilder< 3 >( brep ),
          ModelBoundariesBuilder< 3 >( brep ), RelationshipsBuilder( brep ),
          VertexIdentifierBuilder( brep ), IdentifierBuilder( brep ),
          brep_( brep )
    {
    }

    const uuid& BRepBuilder::add_corner()
    {
        const auto& id = create_corner();
        register_component( { Corner< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_corner( const MeshImpl& impl )
    {
        const auto& id = create_corner( impl );
        register_component( { Corner< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_line()
    {
        const auto& id = create_line();
        register_component( { Line< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_line( const MeshImpl& impl )
    {
        const auto& id = create_line( impl );
        register_component( { Line< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_surface()
    {
        const auto& id = create_surface();
        register_component( { Surface< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_surface( const MeshImpl& impl )
    {
        const auto& id = create_surface( impl );
        register_component( { Surface< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_block()
    {
        const auto& id = create_block();
        register_component( { Block< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_block( const MeshImpl& impl )
    {
        const auto& id = create_block( impl );
        register_component( { Block< 3 >::component_type_static(), id } );
        return id;
    }

    const uuid& BRepBuilder::add_model_boundary()
    {
        const auto& id = create_model_boundary();
        register_component(
            { ModelBoundary< 3 >::component_type_static(), id } );
        return id;
    }

    void BRepBuilder::remove_block( const Block< 3 >& block )
    {
        detail::check_held( brep_, block, "BRepBuilder::remove_block" );
        const auto id = block.id();
        unregister_component( id );
        unlink_component( id );
        delete_block( id );
    }

    void
    BRepBuilder::update_surface_mesh( const Surface< 3 >& surface,
                                      std::unique_ptr< SurfaceMesh< 3 > > mesh )
    {
        detail::check_held(
            brep_, surface, "BRepBuilder::update_surface_mesh" );
        if( !mesh )
        {
            throw CorvaneException(
                "[BRepBuilder::update_surface_mesh] Null mesh given for "
                "Surface ",
                surface.id().string() );
        }
        unlink_component( surface.id() );
        set_surface_mesh( surface.id(), std::move( mesh ) );
    }

    void BRepBuilder::add_corner_line_boundary_relationship(
        const Corner< 3 >& corner, const Line< 3 >& line )
    {
        constexpr auto operation =
            "BRepBuilder::add_corner_line_boundary_relationship";
        detail::check_held( brep_, corner, operation );
        detail::check_held( brep_, line, operation );
        add_boundary_relation( corner.component_id(), line.component_id() );
    }

    void BRepBuilder::add_line_surface_boundary_relationship(
        const Line< 3 >& line, const Surface< 3 >& surface )
    {
        constexpr auto operation =
            "BRepBuilder::add_line_surface_boundary_relationship";
        detail::check_held( brep_, line, operation );
        detail::check_held( brep_, surface, operation );
        add_boundary_relation( line.component_id(), surface.component_id() );
    }

    void BRepBuilder::add_surface_block_boundary_relationship(
        const Surface< 3 >& surface, const Block< 3 >& block )
    {
        constexpr auto operation =
            "BRepBuilder::add_surface_block_boundary_relationship";
        detail::check_held( brep_, surface, operation );
        detail::check_held( brep_, block, operation );
        add_boundary_relation( surface.component_id(), block.component_id() );
    }

    void BRepBuilder::add_corner_surface_internal_relationship(
        const Corner< 3 >& corner, const Surface< 3 >& surface )
    {
        constexpr auto operation =
            "BRepBuilder::add_corner_surface_internal_relationship";
        detail::check_held( brep_, corner, operation );
        detail::check_held( brep_, surface, operation );
        add_internal_relation( corner.component_id(), surface.component_id() );
    }

    void BRepBuilder::add_line_surface_internal_relationship(
        const Line< 3 >& line, const Surface< 3 >& surface )
    {
        constexpr auto operation =
            "BRepBuilder::add_line_surface_internal_relationship";
        detail::check_held( brep_, line, operation );
        detail::check_held( brep_, surface, operation );
        add_internal_relation( line.component_id(), surface.component_id() );
    }

    void BRepBuilder::add_surface_block_internal_relationship(
        const Surface< 3 >& surface, const Block< 3 >& block )
    {
        constexpr auto operation =
            "BRepBuilder::add_surface_block_internal_relationship";
        detail::check_held( brep_, surface, operation );
        detail::check_held( brep_, block, operation );
        add_internal_relation( surface.component_id(), block.component_id() );
    }

    void
    BRepBuilder::add_line_block_internal_relationship( const Line< 3 >& line,
                                                       const Block< 3 >& block )
    {
        constexpr auto operation =
            "BRepBuilder::add_line_block_internal_relationship";
        detail::check_held( brep_, line, operation );
        detail::check_held( brep_, block, operation );
        add_internal_relation( line.component_id(), block.component_id() );
    }

    void BRepBuilder::add_corner_block_internal_relationship(
        const Corner< 3 >& corner, const Block< 3 >& block )
    {
        constexpr auto operation =
            "BRepBuilder::add_corner_block_internal_relationship";
        detail::check_held( brep_, corner, operation );
        detail::check_held( brep_, block, operation );
        add_internal_relation( corner.component_id(), block.component_id() );
    }

    void BRepBuilder::add_surface_in_model_boundary(
        const Surface< 3 >& surface, const ModelBoundary< 3 >& boundary )
    {
        constexpr auto operation = "BRepBuilder::add_surface_in_model_boundary";
        detail::check_held( brep_, surface, operation );
        detail::check_held( brep_, boundary, operation );
        add_item_in_collection( surface.component_id(),
                                boundary.component_id() );
    }

    ModelMapping BRepBuilder::copy( const BRep& from )
    {
        return detail::ModelCopier< BRepBuilder, BRep >::copy(
            *this, brep_, from, "BRepBuilder::copy" );
    }
} // namespace vorna
