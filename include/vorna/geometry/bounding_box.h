#pragma once

#include <vorna/basic/common.h>
#include <vorna/geometry/infinite_line.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/ray.h>

namespace vorna
{
    /// Axis-aligned box, empty until a point or a non-empty box is added.
    /// Every test treats the box as closed and widened by GLOBAL_EPSILON on
    /// each side; an empty box contains and intersects nothing.
    template < index_t D >
    class BoundingBox
    {
      public:
        /// An empty box.
        BoundingBox();

        /// Grows the box to hold the point.
        void add_point( const Point< D >& point );

        /// Grows the box to hold the other box; an empty box adds nothing.
        void add_box( const BoundingBox& box );

        /// True until something is added.
        bool is_empty() const;

        /// Lower corner; +infinity coordinates while the box is empty.
        const Point< D >& min() const
        {
            return min_;
        }

        /// Upper corner; -infinity coordinates while the box is empty.
        const Point< D >& max() const
        {
            return max_;
        }

        /// Middle of the box. Precondition: the box is not empty.
        Point< D > center() const;

        bool contains( const Point< D >& point ) const;

        bool intersects( const BoundingBox& box ) const;

        /// Slab test over the parameters t >= 0 of the ray.
        bool intersects( const Ray< D >& ray ) const;

        /// Slab test over every parameter of the line.
        bool intersects( const InfiniteLine< D >& line ) const;

      private:
        Point< D > min_;
        Point< D > max_;
    };

    using BoundingBox2D = BoundingBox< 2 >;
    using BoundingBox3D = BoundingBox< 3 >;
} // namespace vorna
