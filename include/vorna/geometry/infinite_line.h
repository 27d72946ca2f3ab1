#pragma once

#include <cmath>

#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/vector.h>

namespace vorna
{
    namespace detail
    {
        // Returns the unit direction, or throws on a direction that has
        // none.
        template < index_t D >
        Vector< D > checked_unit_direction( const Vector< D >& direction,
                                            const char* operation )
        {
            const auto length = direction.length();
            if( !std::isfinite( length ) || length == 0.0 )
            {
                throw CorvaneException(
                    "[",
                    operation,
                    "] Direction must be non-zero and finite, got (",
                    direction.string(),
                    ")" );
            }
            return direction / length;
        }
    } // namespace detail

    /// The straight line through `origin` along `direction`, unbounded both
    /// ways. The direction is stored normalised.
    template < index_t D >
    class InfiniteLine
    {
      public:
        /// \throw CorvaneException when the direction is zero or not finite.
        InfiniteLine( const Vector< D >& direction, const Point< D >& origin )
            : direction_(
                  detail::checked_unit_direction( direction, "InfiniteLine" ) ),
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

    using InfiniteLine2D = InfiniteLine< 2 >;
    using InfiniteLine3D = InfiniteLine< 3 >;
} // namespace vorna
