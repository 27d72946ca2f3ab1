#pragma once

#include <array>

#include <vorna/geometry/point.h>

namespace vorna
{
    /// Four points a, b, c, d in this order; no validity is required.
    class Tetrahedron
    {
      public:
        Tetrahedron( const Point3D& a,
                     const Point3D& b,
                     const Point3D& c,
                     const Point3D& d )
            : vertices_{ { a, b, c, d } }
        {
        }

        const std::array< Point3D, 4 >& vertices() const
        {
            return vertices_;
        }

      private:
        std::array< Point3D, 4 > vertices_;
    };
} // namespace vorna
