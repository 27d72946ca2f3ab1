#include <vorna/model/component_mesh_edges.h>

#include <algorithm>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/line.h>

#include "polygon_edges_between.h"

namespace
{
    template < typename T >
    void sort_unique( std::vector< T >& values )
    {
        std::sort( values.begin(), values.end() );
        values.erase( std::unique( values.begin(), values.end() ),
                      values.end() );
    }

    template < typename Model, vorna::index_t D >
    vorna::ModelComponentMeshEdges
    find_component_mesh_edges( const Model& model,
                               const vorna::Surface< D >& surface,
                               const vorna::PolygonEdge& edge )
    {
        if( !model.has_surface( surface.id() ) )
        {
            throw vorna::CorvaneException( "[component_mesh_edges] Surface ",
                                           surface.id().string(),
                                           " is not in the model" );
        }
        const auto& surface_mesh = surface.mesh();
        if( edge.polygon_id >= surface_mesh.nb_polygons() ||
            edge.edge_id >= surface_mesh.nb_polygon_edges( edge.polygon_id ) )
        {
            throw vorna::CorvaneException(
                "[component_mesh_edges] Polygon edge ",
                edge.string(),
                " is not in the mesh of surface ",
                surface.id().string() );
        }
        vorna::ModelComponentMeshEdges result;
        const auto ends = surface_mesh.polygon_edge_vertices( edge );
        const auto u0 =
            model.unique_vertex( { surface.component_id(), ends[0] } );
        const auto u1 =
            model.unique_vertex( { surface.component_id(), ends[1] } );
        if( u0 == vorna::INVALID_INDEX || u1 == vorna::INVALID_INDEX )
        {
            return result;
        }
        const auto line_type = vorna::Line< D >::component_type_static();
        const auto surface_type = vorna::Surface< D >::component_type_static();
        // Every match has an end at u0, so walking u0's vertices finds all.
        for( const auto& cmv : model.component_mesh_vertices( u0 ) )
        {
            const auto& id = cmv.component_id;
            if( id.type() == line_type )
            {
                const auto& curve = model.line( id.id() ).mesh();
                for( const auto& use : curve.edges_around_vertex( cmv.vertex ) )
                {
                    const auto other = curve.edge_vertex(
                        { use.edge_id,
                          static_cast< vorna::local_index_t >(
                              1 - use.vertex_id ) } );
                    if( model.unique_vertex( { id, other } ) == u1 )
                    {
                        result.line_edges[id.id()].push_back( use.edge_id );
                    }
                }
            }
            else if( id.type() == surface_type )
            {
                std::vector< vorna::PolygonEdge > edges;
                vorna::detail::append_polygon_edges_to(
                    model, cmv, model.surface( id.id() ).mesh(), u1, edges );
                if( !edges.empty() )
                {
                    auto& found = result.surface_edges[id.id()];
                    found.insert( found.end(), edges.begin(), edges.end() );
                }
            }
        }
        for( auto& entry : result.line_edges )
        {
            sort_unique( entry.second );
        }
        for( auto& entry : result.surface_edges )
        {
            sort_unique( entry.second );
        }
        return result;
    }
} // namespace

namespace vorna
{
    ModelComponentMeshEdges component_mesh_edges( const Section& section,
                                                  const Surface< 2 >& surface,
                                                  const PolygonEdge& edge )
    {
        return find_component_mesh_edges( section, surface, edge );
    }

    ModelComponentMeshEdges component_mesh_edges( const BRep& brep,
                                                  const Surface< 3 >& surface,
                                                  const PolygonEdge& edge )
    {
        return find_component_mesh_edges( brep, surface, edge );
    }
} // namespace vorna
