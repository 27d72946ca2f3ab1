#include <vorna/mesh/aabb_surface_helpers.h>

#include <vector>

namespace vorna
{
    template < index_t D >
    AABBTree< D > create_aabb_tree( const SurfaceMesh< D >& mesh )
    {
        std::vector< BoundingBox< D > > boxes( mesh.nb_polygons() );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto nb_vertices = mesh.nb_polygon_vertices( p );
            for( local_index_t v = 0; v < nb_vertices; v++ )
            {
                boxes[p].add_point(
                    mesh.point( mesh.polygon_vertex( { p, v } ) ) );
            }
        }
        return AABBTree< D >{ boxes };
    }

    template AABBTree< 2 > create_aabb_tree( const SurfaceMesh< 2 >& );
    template AABBTree< 3 > create_aabb_tree( const SurfaceMesh< 3 >& );
} // namespace vorna
