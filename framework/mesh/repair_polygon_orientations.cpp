#include <vorna/mesh/repair_polygon_orientations.h>

#include <deque>
#include <vector>

#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace
    {
        // True when the neighbour's edge on the same vertices runs the same
        // way as `edge`; false when it runs the other way or does not exist.
        template < index_t D >
        bool runs_same_way( const SurfaceMesh< D >& mesh,
                            const PolygonEdge& edge )
        {
            const auto other = mesh.polygon_adjacent_edge( edge );
            if( !other )
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
        for( index_t root = 0; root < mesh.nb_polygons(); root++ )
        {
            if( visited[root] )
            {
                continue;
            }
            visited[root] = 1;
            queue.push_back( root );
            while( !queue.empty() )
            {
                const auto polygon = queue.front();
                queue.pop_front();
                const auto nb_edges = mesh.nb_polygon_edges( polygon );
                for( local_index_t e = 0; e < nb_edges; e++ )
                {
                    const PolygonEdge edge{ polygon, e };
                    const auto adjacent = mesh.polygon_adjacent( edge );
                    if( !adjacent || visited[*adjacent] )
                    {
                        continue;
                    }
                    if( runs_same_way( mesh, edge ) )
                    {
                        builder->reverse_polygon( *adjacent );
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
