#pragma once

#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/uuid.h>
#include <vorna/geometry/infinite_line.h>
#include <vorna/mesh/ray_tracing.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>

namespace vorna
{
    /// The crossings of `line` with the boundary surfaces of `block`, by
    /// surface id: at most one per polygon, with distances signed along the
    /// line from its origin, sorted by (distance, polygon). Surfaces that
    /// the line does not cross are absent.
    /// \throw CorvaneException when the model does not hold the block.
    absl::flat_hash_map< uuid, std::vector< RayTracing3D::PolygonDistance > >
    find_intersections_with_boundaries( const InfiniteLine< 3 >& line,
                                        const BRep& brep,
                                        const Block< 3 >& block );
} // namespace vorna
