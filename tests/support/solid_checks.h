#pragma once

#include <absl/types/span.h>
#include <gtest/gtest.h>

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SolidMesh;
} // namespace vorna

namespace vorna
{
    namespace test
    {
        /// Checks that `block_mesh` holds exactly the given polyhedra of
        /// `solid`, block polyhedron i being solid polyhedron polyhedra[i]:
        /// the same vertices (by point) in the same local order, the same
        /// facets, no other vertex, and the solid's adjacencies between
        /// those polyhedra and no other.
        ::testing::AssertionResult
        holds_polyhedra( const SolidMesh< 3 >& block_mesh,
                         const SolidMesh< 3 >& solid,
                         absl::Span< const index_t > polyhedra );
    } // namespace test
} // namespace vorna
