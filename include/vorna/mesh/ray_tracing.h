#pragma once

#include <vector>

#include <absl/types/optional.h>

#include <vorna/basic/common.h>
#include <vorna/geometry/infinite_line.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/position.h>
#include <vorna/geometry/ray.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    /// Visitor collecting the crossings of one ray or line with the polygons
    /// of a surface mesh, one polygon at a time (see polygon_line_crossing
    /// for the crossing rules). The mesh must outlive the tracer and stay
    /// unchanged while it is fed.
    class RayTracing3D
    {
      public:
        struct PolygonDistance
        {
            index_t polygon;
            /// From the origin along the direction: >= 0 for a ray, signed
            /// for a line.
            double distance;
            Position position;
            Point3D point;
        };

        RayTracing3D( const SurfaceMesh< 3 >& mesh, const Ray< 3 >& ray );

        RayTracing3D( const SurfaceMesh< 3 >& mesh,
                      const InfiniteLine< 3 >& line );

        /// Computes the crossing with one polygon and keeps it if any.
        /// Returns false, meaning the caller should go on.
        /// \throw CorvaneException on an out-of-range polygon.
        bool operator()( index_t polygon );

        /// The crossing of least distance, the first fed on a tie; empty
        /// when nothing was crossed.
        absl::optional< PolygonDistance > closest_polygon() const;

        /// Every crossing kept, sorted by (distance, polygon).
        std::vector< PolygonDistance > all_intersections() const;

      private:
        const SurfaceMesh< 3 >& mesh_;
        Point3D origin_;
        Vector3D direction_;
        bool is_ray_;
        std::vector< PolygonDistance > crossings_;
        std::vector< Point3D > polygon_points_;
    };
} // namespace vorna
