#pragma once

#include <cstdint>
#include <limits>

namespace vorna
{
    /// Index of a vertex, edge, polygon, polyhedron or component element.
    using index_t = unsigned int;
    /// Index of a vertex, edge or facet inside one polygon or polyhedron.
    using local_index_t = unsigned char;

    /// "No index": also the value of unmapped entries in old-to-new spans.
    inline constexpr index_t INVALID_INDEX =
        std::numeric_limits< index_t >::max();
    inline constexpr local_index_t INVALID_LOCAL_INDEX =
        std::numeric_limits< local_index_t >::max();
} // namespace vorna
