#pragma once

#include <vector>

#include <vorna/mesh/mesh_element.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/component_mesh_vertex.h>

// Shared by the model algorithms that look for the polygon edges standing
// for a model edge, given by the unique vertices of its ends.
namespace vorna
{
    namespace detail
    {
        /// Appends the edges of the polygons around `from`, a vertex of the
        /// surface mesh `mesh`, whose other end is linked to unique vertex
        /// `to`: both the edge leaving `from` and the one arriving at it, so
        /// either orientation is found. An edge may be appended twice.
        template < typename Model, index_t D >
        void append_polygon_edges_to( const Model& model,
                                      const ComponentMeshVertex& from,
                                      const SurfaceMesh< D >& mesh,
                                      index_t to,
                                      std::vector< PolygonEdge >& edges )
        {
            const auto ends_at_to = [&]( index_t polygon, local_index_t local )
            {
                return model.unique_vertex(
                           { from.component_id,
                             mesh.polygon_vertex( { polygon, local } ) } ) ==
                       to;
            };
            for( const auto& use : mesh.polygons_around_vertex( from.vertex ) )
            {
                const auto nb = mesh.nb_polygon_edges( use.polygon_id );
                const auto next =
                    static_cast< local_index_t >( ( use.vertex_id + 1 ) % nb );
                const auto previous = static_cast< local_index_t >(
                    ( use.vertex_id + nb - 1 ) % nb );
                if( ends_at_to( use.polygon_id, next ) )
                {
                    edges.emplace_back( use.polygon_id, use.vertex_id );
                }
                if( ends_at_to( use.polygon_id, previous ) )
                {
                    edges.emplace_back( use.polygon_id, previous );
                }
            }
        }
    } // namespace detail
} // namespace vorna
