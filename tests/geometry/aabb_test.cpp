#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/geometry/aabb.h>
#include <vorna/geometry/detail/aabb_impl.h>

namespace vorna
{
    namespace
    {
        template < index_t D >
        BoundingBox< D > box_around( const Point< D >& center,
                                     double half_size )
        {
            BoundingBox< D > box;
            Point< D > offset;
            for( index_t i = 0; i < D; i++ )
            {
                offset.set_value( i, half_size );
            }
            box.add_point( center - offset );
            box.add_point( center + offset );
            return box;
        }

        template < index_t D >
        bool same_box( const BoundingBox< D >& lhs,
                       const BoundingBox< D >& rhs )
        {
            return lhs.min() == rhs.min() && lhs.max() == rhs.max();
        }

        // Checks every node against the documented layout and returns the
        // leaf positions in walk order.
        template < index_t D >
        std::vector< index_t >
        check_layout( const AABBTree< D >& tree,
                      absl::Span< const BoundingBox< D > > boxes )
        {
            const auto& impl = tree.impl();
            std::vector< index_t > leaves;
            std::function< void( index_t, index_t, index_t ) > walk =
                [&]( index_t node, index_t begin, index_t end )
            {
                EXPECT_LT( node, 4 * impl.nb_bboxes() );
                if( impl.is_leaf( begin, end ) )
                {
                    EXPECT_TRUE(
                        same_box( impl.node( node ),
                                  boxes[impl.mapping_morton( begin )] ) );
                    leaves.push_back( begin );
                    return;
                }
                const auto [middle, left, right] =
                    impl.get_recursive_iterators( node, begin, end );
                EXPECT_EQ( middle, begin + ( end - begin ) / 2 );
                EXPECT_EQ( left, 2 * node );
                EXPECT_EQ( right, 2 * node + 1 );
                auto merged = impl.node( left );
                merged.add_box( impl.node( right ) );
                EXPECT_TRUE( same_box( impl.node( node ), merged ) );
                walk( left, begin, middle );
                walk( right, middle, end );
            };
            walk( 1, 0, impl.nb_bboxes() );
            return leaves;
        }
    } // namespace

    TEST( AABBTree, NoBox )
    {
        const AABBTree3D tree;
        EXPECT_EQ( tree.nb_bboxes(), 0u );
        EXPECT_TRUE( tree.bounding_box().is_empty() );
        const AABBTree3D built{ absl::Span< const BoundingBox3D >{} };
        EXPECT_EQ( built.impl().nb_bboxes(), 0u );
    }

    TEST( AABBTree, OneBoxIsARootLeaf )
    {
        const std::vector< BoundingBox3D > boxes{
            box_around( Point3D{ { 1, 2, 3 } }, 0.5 ) };
        const AABBTree3D tree{ boxes };
        ASSERT_EQ( tree.nb_bboxes(), 1u );
        EXPECT_TRUE( tree.impl().is_leaf( 0, 1 ) );
        EXPECT_EQ( tree.impl().mapping_morton( 0 ), 0u );
        EXPECT_TRUE( same_box( tree.impl().node( 1 ), boxes[0] ) );
        EXPECT_TRUE( same_box( tree.bounding_box(), boxes[0] ) );
    }

    TEST( AABBTree, ManyBoxesFollowTheLayout )
    {
        std::vector< BoundingBox3D > boxes;
        unsigned seed = 7;
        const auto next = [&seed]
        {
            seed = seed * 1103515245u + 12345u;
            return ( ( seed >> 8 ) % 1000 ) * 0.01;
        };
        for( int i = 0; i < 1037; i++ )
        {
            boxes.push_back( box_around( Point3D{ { next(), next(), next() } },
                                         next() * 0.05 ) );
        }
        boxes.emplace_back(); // an empty element box is kept as a leaf
        AABBTree3D tree{ boxes };
        ASSERT_EQ( tree.nb_bboxes(), boxes.size() );
        const auto leaves = check_layout< 3 >( tree, boxes );
        std::vector< index_t > expected_leaves( boxes.size() );
        std::iota( expected_leaves.begin(), expected_leaves.end(), 0 );
        EXPECT_EQ( leaves, expected_leaves );

        std::vector< index_t > elements;
        for( index_t p = 0; p < tree.nb_bboxes(); p++ )
        {
            elements.push_back( tree.impl().mapping_morton( p ) );
        }
        std::sort( elements.begin(), elements.end() );
        EXPECT_EQ( elements, expected_leaves );

        BoundingBox3D all;
        for( const auto& box : boxes )
        {
            all.add_box( box );
        }
        EXPECT_TRUE( same_box( tree.bounding_box(), all ) );

        const auto moved = std::move( tree );
        EXPECT_EQ( moved.nb_bboxes(), boxes.size() );
        EXPECT_EQ( tree.nb_bboxes(), 0u ); // NOLINT: moved-from reads empty
    }

    TEST( AABBTree, MortonOrderOnFlatAxesAndTies )
    {
        // Centres along x only: y and z are flat, so the order is x's.
        std::vector< BoundingBox3D > line;
        for( const double x : { 3., 0., 2., 1., 4. } )
        {
            line.push_back( box_around( Point3D{ { x, 7, 7 } }, 0.1 ) );
        }
        const AABBTree3D line_tree{ line };
        std::vector< index_t > order;
        for( index_t p = 0; p < line_tree.nb_bboxes(); p++ )
        {
            order.push_back( line_tree.impl().mapping_morton( p ) );
        }
        EXPECT_EQ( order, ( std::vector< index_t >{ 1, 3, 2, 0, 4 } ) );
        check_layout< 3 >( line_tree, line );

        // x takes the lowest bit, then y: (0,0) (1,0) (0,1) (1,1).
        const std::vector< BoundingBox2D > square{
            box_around( Point2D{ { 1, 1 } }, 0.1 ),
            box_around( Point2D{ { 0, 1 } }, 0.1 ),
            box_around( Point2D{ { 1, 0 } }, 0.1 ),
            box_around( Point2D{ { 0, 0 } }, 0.1 ) };
        const AABBTree2D square_tree{ square };
        order.clear();
        for( index_t p = 0; p < square_tree.nb_bboxes(); p++ )
        {
            order.push_back( square_tree.impl().mapping_morton( p ) );
        }
        EXPECT_EQ( order, ( std::vector< index_t >{ 3, 2, 1, 0 } ) );

        // Equal centres keep element order.
        const std::vector< BoundingBox3D > same( 6,
                                                 box_around( Point3D{}, 1 ) );
        const AABBTree3D same_tree{ same };
        for( index_t p = 0; p < 6; p++ )
        {
            EXPECT_EQ( same_tree.impl().mapping_morton( p ), p );
        }
    }
} // namespace vorna
