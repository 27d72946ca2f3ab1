#pragma once

namespace vorna
{
    /// Absolute tolerance of the framework's own geometric predicates.
    inline constexpr double GLOBAL_EPSILON = 1e-8;
} // namespace vorna
