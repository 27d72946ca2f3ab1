#pragma once

#include <vorna/geometry/tetrahedron.h>

namespace vorna
{
    /// ((b - a) x (c - a)) . (d - a) / 6: positive when d lies on the side
    /// the right-hand normal of (a, b, c) points to, zero when flat.
    double tetrahedron_signed_volume( const Tetrahedron& tetrahedron );
} // namespace vorna
