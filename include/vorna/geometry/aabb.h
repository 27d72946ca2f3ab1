#pragma once

#include <memory>

#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/geometry/bounding_box.h>

namespace vorna
{
    /// Static axis-aligned bounding-box tree over a list of boxes (element i
    /// is box i). Its node layout is public through `impl()`; include
    /// <vorna/geometry/detail/aabb_impl.h> to walk it.
    template < index_t D >
    class AABBTree
    {
      public:
        class Impl;

        /// A tree over no box.
        AABBTree();

        /// Builds the tree in O(n log n).
        /// \throw CorvaneException when there are too many boxes to number
        /// the nodes with index_t.
        explicit AABBTree( absl::Span< const BoundingBox< D > > bboxes );

        AABBTree( AABBTree&& other ) noexcept;
        AABBTree& operator=( AABBTree&& other ) noexcept;
        ~AABBTree();

        index_t nb_bboxes() const;

        /// Box of all elements; empty when there is none.
        const BoundingBox< D >& bounding_box() const;

        /// The layout. A moved-from tree shows an empty one.
        const Impl& impl() const;

      private:
        std::unique_ptr< Impl > impl_;
    };

    using AABBTree2D = AABBTree< 2 >;
    using AABBTree3D = AABBTree< 3 >;
} // namespace vorna
