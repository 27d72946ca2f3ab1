#pragma once

#include <tuple>

#include <vorna/basic/common.h>
#include <vorna/geometry/aabb.h>
#include <vorna/geometry/detail/aabb_impl.h>
#include <vorna/geometry/ray.h>

namespace vorna
{
    namespace detail
    {
        /// Feeds `visitor(element)` every element whose leaf box, and every
        /// ancestor box, the ray meets: depth first, left child before right,
        /// each leaf at most once. Start it at node 1 over [0, nb_bboxes())
        /// of a non-empty tree. Only left children recurse; the right child
        /// is taken by the loop, so the stack grows with left branches only.
        /// The visitor's return value is ignored.
        template < typename Visitor >
        void ray_intersect_recursive( const AABBTree< 3 >::Impl& tree,
                                      const Ray< 3 >& ray,
                                      index_t node,
                                      index_t begin,
                                      index_t end,
                                      Visitor& visitor )
        {
            if( !tree.node( node ).intersects( ray ) )
            {
                return;
            }
            while( true )
            {
                if( tree.is_leaf( begin, end ) )
                {
                    visitor( tree.mapping_morton( begin ) );
                    return;
                }
                const auto iterators =
                    tree.get_recursive_iterators( node, begin, end );
                const auto middle = std::get< 0 >( iterators );
                ray_intersect_recursive( tree,
                                         ray,
                                         std::get< 1 >( iterators ),
                                         begin,
                                         middle,
                                         visitor );
                node = std::get< 2 >( iterators );
                begin = middle;
                if( !tree.node( node ).intersects( ray ) )
                {
                    return;
                }
            }
        }
    } // namespace detail
} // namespace vorna
