#include <vorna/mesh/repair_polygon_orientations.h>

#include <deque>
#include <vector>

#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace
    {
        // (v0, v1, ..., vn-1) becomes (v0, vn-1, ..., v1); edge k's
        // adjacency moves to edge n-1-k.
        template < index_t D >
        void reverse_polygon( const SurfaceMesh< D >& mesh,
                              SurfaceMeshBuilder< D >& builder,
                              index_t polygon )
        {
            const auto vertices = mesh.polygon_vertices( polygon );
            const auto size = static_cast< local_index_t >( vertices.size() );
            std::vector< index_t > adjacents( size );
            for ( local_index_t e = 0; e < size; e++ )
            {
                adjacents[e] = mesh.polygon_adjacent( { polygon, e } )
                                   .value_or( INVALID_INDEX );
            }
            for ( local_index_t k = 1; k < size; k++ )
            {
                builder.set_polygon_vertex( { polygon, k },
                                            vertices[size - k] );
            }
            for ( local_index_t e = 0; e < size; e++ )
            {
                builder.set_polygon_adjacent( { polygon, e },
                                              adjacents[size - 1 - e] );
            }
        }

        // True when the neighbour's edge on the same vertices runs the same
        // way as `edge`; false when it runs the other way or does not exist.
        template < index_t D >
        bool runs_same_way( const SurfaceMesh< D >& mesh,
                            const PolygonEdge& edge )
        {
            const auto other = mesh.polygon_adjacent_edge( edge );
            if ( !other )
            {
                return false;
            }
            return mesh.polygon_edge_vertices( edge ) ==
                   mesh.polygon_edge_vertices( *other );
        }
    } // namespace

    template < index_t D >
    void repair_polygon_orientations( SurfaceMesh< D >& mesh )
    {
        auto builder = SurfaceMeshBuilder< D >::create( mesh );
        std::vector< unsigned char > visited( mesh.nb_polygons(), 0 );
        std::deque< index_t > queue;
        for ( index_t root = 0; root < mesh.nb_polygons(); root++ )
        {
            if ( visited[root] )
            {
                continue;
            }
            visited[root] = 1;
            queue.push_back( root );
            while ( !queue.empty() )
            {
                const auto polygon = queue.front();
                queue.pop_front();
                const auto nb_edges = mesh.nb_polygon_edges( polygon );
                for ( local_index_t e = 0; e < nb_edges; e++ )
                {
                    const PolygonEdge edge{ polygon, e };
                    const auto adjacent = mesh.polygon_adjacent( edge );
                    if ( !adjacent || visited[*adjacent] )
                    {
                        continue;
                    }
                    if ( runs_same_way( mesh, edge ) )
                    {
                        reverse_polygon( mesh, *builder, *adjacent );
                    }
                    visited[*adjacent] = 1;
                    queue.push_back( *adjacent );
                }
            }
        }
    }

    template void repair_polygon_orientations( SurfaceMesh< 2 >& );
    template void repair_polygon_orientations( SurfaceMesh< 3 >& );
} // namespace vorna
