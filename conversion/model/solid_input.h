#pragma once

#include <vector>

#include <absl/strings/string_view.h>

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SolidMesh;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Groups of polyhedra joined by stored adjacency, numbered in the
        /// order of their smallest polyhedron.
        struct PolyhedronGroups
        {
            /// Per polyhedron: its group.
            std::vector< index_t > group_of;
            /// Per polyhedron: its rank in its group, that is its polyhedron
            /// index in its block mesh.
            std::vector< index_t > rank;
            /// Per group: its polyhedra, ascending.
            std::vector< std::vector< index_t > > members;
        };

        /// Refuses the farthest coordinate of the polyhedra's vertices when
        /// it lies beyond the bound, as FarthestCoordinate words it;
        /// non-finite ones are left to their own refusal.
        void refuse_far_points( const SolidMesh< 3 >& solid,
                                absl::string_view operation );

        /// The groups of polyhedra of a solid, each of which becomes a
        /// block bounded by the facets without stored neighbour, once the
        /// solid is checked for what would make such a block unsound.
        /// \throw CorvaneException "[<operation>] ..." naming, in this
        /// order of checks, the smallest vertex of a polyhedron with a
        /// non-finite coordinate; the farthest coordinate of the used
        /// vertices, when beyond the bound; the first facet (in polyhedron
        /// order) that lists a vertex twice; the first facet stored as adjacent
        /// to its own polyhedron, or whose stored neighbour does not store
        /// it back across a facet of its own on the same vertices (two
        /// facets on the same vertices adjacent to one neighbour need two
        /// facets adjacent back); the smallest polyhedron of the first
        /// group that encloses no volume.
        /// Several threads may check one solid at once.
        PolyhedronGroups
        checked_polyhedron_groups( const SolidMesh< 3 >& solid,
                                   absl::string_view operation );
    } // namespace detail
} // namespace vorna
