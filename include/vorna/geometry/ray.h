#pragma once

#include <vorna/basic/common.h>
#include <vorna/geometry/infinite_line.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/vector.h>

namespace vorna
{
    /// The half line of the points origin + t * direction with t >= 0. The
    /// direction is stored normalised.
    template < index_t D >
    class Ray
    {
      public:
        /// \throw CorvaneException when the direction is zero or not finite.
        Ray( const Vector< D >& direction, const Point< D >& origin )
            : direction_( detail::checked_unit_direction( direction, "Ray" ) ),
              origin_( origin )
        {
        }

        /// Unit direction.
        const Vector< D >& direction() const
        {
            return direction_;
        }

        const Point< D >& origin() const
        {
            return origin_;
        }

      private:
        Vector< D > direction_;
        Point< D > origin_;
    };

    using Ray2D = Ray< 2 >;
    using Ray3D = Ray< 3 >;
} // namespace vorna
