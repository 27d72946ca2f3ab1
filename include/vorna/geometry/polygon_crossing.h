#pragma once

#include <absl/types/optional.h>
#include <absl/types/span.h>

#include <vorna/geometry/infinite_line.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/position.h>
#include <vorna/geometry/ray.h>
#include <vorna/geometry/vector.h>

namespace vorna
{
    /// Where a line or ray crosses one polygon. `distance` is the crossing
    /// point's parameter along the unit direction from the origin (signed
    /// for a line, >= 0 for a ray); values within GLOBAL_EPSILON of zero
    /// are reported as exactly 0.
    struct PolygonCrossing
    {
        double distance;
        Position position;
        Point3D point;
    };

    /// Unit right-hand normal A / |A| of the polygon given by its points in
    /// order, with A = sum over k = 1..n-2 of (v_k - v_0) x (v_k+1 - v_0).
    /// Empty when |A| < GLOBAL_EPSILON^2 or A is not finite.
    absl::optional< Vector3D >
    polygon_points_normal( absl::Span< const Point3D > polygon );

    /// Crossing of the line (or, if `is_ray`, the ray) through `origin` along
    /// `direction` with the polygon given by its points in order. With
    /// epsilon = GLOBAL_EPSILON:
    /// - a polygon without a normal is never crossed;
    /// - a line within epsilon of parallel to the plane, starting within
    ///   epsilon of it, that meets the polygon gives `parallel`, at the
    ///   meeting point nearest the origin at or ahead of it (else at the
    ///   meeting point nearest behind it);
    /// - otherwise, with P the plane crossing: P within epsilon of a vertex
    ///   gives `vertex0` at that vertex; within epsilon of an edge gives
    ///   `edge0` at the edge point closest to the line, computed from the
    ///   edge's ends in lexicographic order so that every polygon sharing
    ///   the edge reports the identical point; inside gives `inside` at P;
    /// - a ray drops crossings at negative distance.
    /// A non-finite origin or polygon point gives no crossing.
    /// \throw CorvaneException when `direction` is not a unit vector.
    absl::optional< PolygonCrossing >
    polygon_line_crossing( absl::Span< const Point3D > polygon,
                           const Point3D& origin,
                           const Vector3D& direction,
                           bool is_ray );

    /// polygon_line_crossing along the ray.
    absl::optional< PolygonCrossing >
    polygon_crossing( absl::Span< const Point3D > polygon, const Ray3D& ray );

    /// polygon_line_crossing along the whole line.
    absl::optional< PolygonCrossing >
    polygon_crossing( absl::Span< const Point3D > polygon,
                      const InfiniteLine3D& line );
} // namespace vorna
