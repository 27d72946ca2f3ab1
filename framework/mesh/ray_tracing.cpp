#include <vorna/mesh/ray_tracing.h>

#include <algorithm>

#include <vorna/basic/index_check.h>
#include <vorna/geometry/polygon_crossing.h>

namespace vorna
{
    RayTracing3D::RayTracing3D( const SurfaceMesh< 3 >& mesh,
                                const Ray< 3 >& ray )
        : mesh_( mesh ), origin_( ray.origin() ), direction_( ray.direction() ),
          is_ray_( true )
    {
    }

    RayTracing3D::RayTracing3D( const SurfaceMesh< 3 >& mesh,
                                const InfiniteLine< 3 >& line )
        : mesh_( mesh ), origin_( line.origin() ),
          direction_( line.direction() ), is_ray_( false )
    {
    }

    bool RayTracing3D::operator()( index_t polygon )
    {
        detail::check_index( "RayTracing3D::operator()",
                             "Polygon",
                             polygon,
                             mesh_.nb_polygons() );
        const auto nb_vertices = mesh_.nb_polygon_vertices( polygon );
        polygon_points_.clear();
        for( local_index_t v = 0; v < nb_vertices; v++ )
        {
            polygon_points_.push_back(
                mesh_.point( mesh_.polygon_vertex( { polygon, v } ) ) );
        }
        const auto crossing = polygon_line_crossing(
            polygon_points_, origin_, direction_, is_ray_ );
        if( crossing )
        {
            crossings_.push_back( { polygon,
                                    crossing->distance,
                                    crossing->position,
                                    crossing->point } );
        }
        return false;
    }

    absl::optional< RayTracing3D::PolygonDistance >
    RayTracing3D::closest_polygon() const
    {
        if( crossings_.empty() )
        {
            return absl::nullopt;
        }
        // min_element keeps the first of equal distances.
        return *std::min_element(
            crossings_.begin(),
            crossings_.end(),
            []( const PolygonDistance& lhs, const PolygonDistance& rhs )
            { return lhs.distance < rhs.distance; } );
    }

    std::vector< RayTracing3D::PolygonDistance >
    RayTracing3D::all_intersections() const
    {
        auto result = crossings_;
        std::stable_sort(
            result.begin(),
            result.end(),
            []( const PolygonDistance& lhs, const PolygonDistance& rhs )
            {
                if( lhs.distance != rhs.distance )
                {
                    return lhs.distance < rhs.distance;
                }
                return lhs.polygon < rhs.polygon;
            } );
        return result;
    }
} // namespace vorna
