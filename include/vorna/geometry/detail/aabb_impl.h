#pragma once

#include <tuple>
#include <vector>

#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/geometry/aabb.h>
#include <vorna/geometry/bounding_box.h>

namespace vorna
{
    /// Layout of an AABBTree over n boxes:
    /// - elements sit at positions 0..n-1 sorted by (Morton code of the box
    ///   centre on a 2^21 grid per axis over the centres' box, element);
    ///   `mapping_morton(position)` gives the element;
    /// - the root is node 1 over [0, n); node i over [b, e) with e > b + 1
    ///   splits at m = b + (e - b) / 2 into node 2i over [b, m) and node
    ///   2i + 1 over [m, e); a range is a leaf iff e == b + 1;
    /// - 4n node boxes, entry 0 unused; none when n == 0.
    template < index_t D >
    class AABBTree< D >::Impl
    {
      public:
        Impl() = default;

        /// \throw CorvaneException when 4n does not fit in index_t.
        explicit Impl( absl::Span< const BoundingBox< D > > bboxes );

        index_t nb_bboxes() const
        {
            return static_cast< index_t >( mapping_morton_.size() );
        }

        /// Box of node i. Precondition: 0 < i < 4 * nb_bboxes() and node i
        /// exists (not checked).
        const BoundingBox< D >& node( index_t i ) const
        {
            return nodes_[i];
        }

        bool is_leaf( index_t begin, index_t end ) const
        {
            return end == begin + 1;
        }

        /// (middle, left child, right child) of a node that is not a leaf.
        std::tuple< index_t, index_t, index_t > get_recursive_iterators(
            index_t node, index_t begin, index_t end ) const
        {
            return std::make_tuple(
                begin + ( end - begin ) / 2, 2 * node, 2 * node + 1 );
        }

        /// Element stored at a position. Precondition: position <
        /// nb_bboxes() (not checked).
        index_t mapping_morton( index_t position ) const
        {
            return mapping_morton_[position];
        }

        /// Box of every element; empty when there is none.
        const BoundingBox< D >& bounding_box() const
        {
            return root_box_;
        }

      private:
        void build_node( absl::Span< const BoundingBox< D > > bboxes,
                         index_t node,
                         index_t begin,
                         index_t end );

      private:
        std::vector< BoundingBox< D > > nodes_;
        std::vector< index_t > mapping_morton_;
        BoundingBox< D > root_box_;
    };
} // namespace vorna
