#pragma once

#include <vorna/basic/common.h>
#include <vorna/geometry/aabb.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    /// Tree whose element i is polygon i, boxed on its vertices.
    template < index_t D >
    AABBTree< D > create_aabb_tree( const SurfaceMesh< D >& mesh );
} // namespace vorna
