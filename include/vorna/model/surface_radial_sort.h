#pragma once

#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/optional.h>

#include <vorna/basic/common.h>
#include <vorna/model/brep.h>
#include <vorna/model/line.h>
#include <vorna/model/sided_surface.h>

namespace vorna
{
    /// The sided surfaces around a line, in angular order about the line's
    /// direction. Each surface wing along the line holds two consecutive
    /// positions, 2i (its side facing decreasing angle) and 2i+1 (its side
    /// facing increasing angle). Copyable.
    struct SortedSurfaces
    {
        std::vector< SidedSurface > surfaces;

        /// Ascending positions whose surface id and side match `surface`
        /// (several when the line lies inside that surface).
        absl::InlinedVector< index_t, 1 >
        find( const SidedSurface& surface ) const;

        /// The position facing the same angular sector as `position`:
        /// position+1 for odd, position-1 for even, modulo the size.
        /// \throw CorvaneException when position >= surfaces.size().
        index_t next( index_t position ) const;
    };

    /// Sorts the surfaces around `line`: the polygon edges (wings) on the
    /// line's first edge, taken from the surfaces the line bounds, then from
    /// the surfaces it is internal to, ordered by angle about the direction
    /// of that first edge (right-hand rule) from the first wing. Empty when
    /// the line has no edge, a zero-length first edge or unlinked ends.
    /// \throw CorvaneException when the model does not hold the line.
    SortedSurfaces surface_radial_sort( const BRep& brep,
                                        const Line< 3 >& line );

    /// Where coincident wings of a surface stack: first by `sheet`, the
    /// smallest rank among the surfaces that continue one another in one
    /// plane across lines, then by `layer`, the same over the lines where
    /// each of the two is alone at its angle, then by `surface`, its own
    /// rank in the model's order.
    struct SurfaceRank
    {
        index_t sheet;
        index_t layer;
        index_t surface;
    };
    using SurfaceRanks = absl::flat_hash_map< uuid, SurfaceRank >;

    /// The same sort for one of many lines of an unchanging model: `ranks`,
    /// which order coincident wings, are made (from every line of the
    /// model) at the first line that has some and kept for the next lines.
    SortedSurfaces surface_radial_sort( const BRep& brep,
                                        const Line< 3 >& line,
                                        absl::optional< SurfaceRanks >& ranks );
} // namespace vorna
