#pragma once

namespace vorna
{
    /// Where a point lies on a simplex or a polygon. Polygon crossings use
    /// only `inside`, `vertex0` (at some vertex), `edge0` (on some edge,
    /// between its vertices) and `parallel` (the line runs in the polygon's
    /// plane).
    enum class Position : int
    {
        outside = 0,
        inside = 1,
        vertex0 = 2,
        vertex1 = 3,
        vertex2 = 4,
        vertex3 = 5,
        edge0 = 6,
        edge1 = 7,
        edge2 = 8,
        edge01 = 9,
        edge02 = 10,
        edge03 = 11,
        edge12 = 12,
        edge13 = 13,
        edge23 = 14,
        facet0 = 15,
        facet1 = 16,
        facet2 = 17,
        facet3 = 18,
        parallel = 19
    };
} // namespace vorna
