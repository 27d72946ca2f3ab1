#include <vorna/model/find_intersections_with_boundaries.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/bounding_box.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/surface.h>

namespace vorna
{
    absl::flat_hash_map< uuid, std::vector< RayTracing3D::PolygonDistance > >
    find_intersections_with_boundaries( const InfiniteLine< 3 >& line,
                                        const BRep& brep,
                                        const Block< 3 >& block )
    {
        if( !brep.has_block( block.id() ) )
        {
            throw CorvaneException( "[find_intersections_with_boundaries] "
                                    "Block ",
                                    block.id().string(),
                                    " is not in the model" );
        }
        absl::flat_hash_map< uuid,
                             std::vector< RayTracing3D::PolygonDistance > >
            result;
        for( const auto& surface : brep.boundaries( block ) )
        {
            const auto& mesh = surface.mesh();
            RayTracing3D tracer{ mesh, line };
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                // The box test discards most polygons cheaply; the widened
                // box keeps every polygon the tracer could report.
                BoundingBox3D box;
                const auto nb = mesh.nb_polygon_vertices( p );
                for( local_index_t v = 0; v < nb; v++ )
                {
                    box.add_point(
                        mesh.point( mesh.polygon_vertex( { p, v } ) ) );
                }
                if( box.intersects( line ) )
                {
                    tracer( p );
                }
            }
            auto crossings = tracer.all_intersections();
            if( !crossings.empty() )
            {
                result.emplace( surface.id(), std::move( crossings ) );
            }
        }
        return result;
    }
} // namespace vorna
