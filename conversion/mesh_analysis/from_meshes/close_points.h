#pragma once

#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// Whether two of the finite points lie within `epsilon` of each
            /// other (Vector(a, b).length() <= epsilon), points with a
            /// non-finite coordinate left aside. Linear in the number of
            /// points on meshes of even density: the points are bucketed on
            /// a grid sized to them, and only points sharing a cell are
            /// compared. True when the points span more than the largest
            /// double along an axis.
            template < index_t D >
            bool has_points_within( absl::Span< const Point< D > > points,
                                    double epsilon );
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
