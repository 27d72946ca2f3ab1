#pragma once

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMesh;

    /// Makes neighbouring polygons consistently oriented. In each component
    /// connected by stored adjacency the smallest polygon keeps its
    /// orientation; a breadth-first walk (ascending polygons, then edges)
    /// reverses every neighbour whose shared edge runs the same way:
    /// (v0, v1, ..., vn-1) becomes (v0, vn-1, ..., v1) and the adjacency of
    /// edge k moves to edge n-1-k. On a non-orientable component the first
    /// decision stands. Indices and attributes are kept; nothing throws
    /// beyond allocation failure.
    template < index_t D >
    void repair_polygon_orientations( SurfaceMesh< D >& mesh );
} // namespace vorna
