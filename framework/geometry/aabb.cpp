#include <vorna/geometry/aabb.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/detail/aabb_impl.h>

namespace
{
    constexpr std::uint32_t GRID_BITS = 21;
    constexpr double GRID_MAX = ( 1u << GRID_BITS ) - 1;

    // Spreads the 21 low bits of v so that bit k moves to bit k * D.
    template < vorna::index_t D >
    std::uint64_t spread_bits( std::uint32_t v )
    {
        std::uint64_t result{ 0 };
        for( std::uint32_t bit = 0; bit < GRID_BITS; bit++ )
        {
            result |= static_cast< std::uint64_t >( ( v >> bit ) & 1u )
                      << ( bit * D );
        }
        return result;
    }

    template < vorna::index_t D >
    std::vector< std::uint64_t >
    morton_codes( absl::Span< const vorna::BoundingBox< D > > bboxes )
    {
        vorna::BoundingBox< D > centers_box;
        for( const auto& box : bboxes )
        {
            if( !box.is_empty() )
            {
                centers_box.add_point( box.center() );
            }
        }
        std::vector< std::uint64_t > codes( bboxes.size(), 0 );
        if( centers_box.is_empty() )
        {
            return codes;
        }
        std::array< double, D > scale;
        for( vorna::index_t i = 0; i < D; i++ )
        {
            const auto extent =
                centers_box.max().value( i ) - centers_box.min().value( i );
            // A flat (or unbounded) axis maps every centre to 0.
            scale[i] =
                extent > 0 && std::isfinite( extent ) ? GRID_MAX / extent : 0.;
        }
        for( size_t e = 0; e < bboxes.size(); e++ )
        {
            if( bboxes[e].is_empty() )
            {
                continue;
            }
            const auto center = bboxes[e].center();
            std::uint64_t code{ 0 };
            for( vorna::index_t i = 0; i < D; i++ )
            {
                const auto scaled =
                    ( center.value( i ) - centers_box.min().value( i ) ) *
                    scale[i];
                const auto cell = std::isfinite( scaled )
                                      ? std::clamp( scaled, 0., GRID_MAX )
                                      : 0.;
                code |= spread_bits< D >( static_cast< std::uint32_t >( cell ) )
                        << i;
            }
            codes[e] = code;
        }
        return codes;
    }
} // namespace

namespace vorna
{
    template < index_t D >
    AABBTree< D >::Impl::Impl( absl::Span< const BoundingBox< D > > bboxes )
    {
        if( bboxes.size() > INVALID_INDEX / 4 )
        {
            throw CorvaneException( "[AABBTree::AABBTree] Too many boxes: ",
                                    bboxes.size() );
        }
        const auto nb = static_cast< index_t >( bboxes.size() );
        if( nb == 0 )
        {
            return;
        }
        const auto codes = morton_codes< D >( bboxes );
        std::vector< std::pair< std::uint64_t, index_t > > order( nb );
        for( index_t e = 0; e < nb; e++ )
        {
            order[e] = { codes[e], e };
        }
        std::sort( order.begin(), order.end() );
        mapping_morton_.resize( nb );
        for( index_t position = 0; position < nb; position++ )
        {
            mapping_morton_[position] = order[position].second;
        }
        nodes_.resize( 4 * static_cast< size_t >( nb ) );
        build_node( bboxes, 1, 0, nb );
        root_box_ = nodes_[1];
    }

    template < index_t D >
    void AABBTree< D >::Impl::build_node(
        absl::Span< const BoundingBox< D > > bboxes,
        index_t node,
        index_t begin,
        index_t end )
    {
        if( is_leaf( begin, end ) )
        {
            nodes_[node] = bboxes[mapping_morton_[begin]];
            return;
        }
        const auto [middle, left, right] =
            get_recursive_iterators( node, begin, end );
        build_node( bboxes, left, begin, middle );
        build_node( bboxes, right, middle, end );
        nodes_[node] = nodes_[left];
        nodes_[node].add_box( nodes_[right] );
    }

    template < index_t D >
    AABBTree< D >::AABBTree() : impl_{ std::make_unique< Impl >() }
    {
    }

    template < index_t D >
    AABBTree< D >::AABBTree( absl::Span< const BoundingBox< D > > bboxes )
        : impl_{ std::make_unique< Impl >( bboxes ) }
    {
    }

    template < index_t D >
    AABBTree< D >::AABBTree( AABBTree&& ) noexcept = default;

    template < index_t D >
    AABBTree< D >& AABBTree< D >::operator=( AABBTree&& ) noexcept = default;

    template < index_t D >
    AABBTree< D >::~AABBTree() = default;

    template < index_t D >
    index_t AABBTree< D >::nb_bboxes() const
    {
        return impl().nb_bboxes();
    }

    template < index_t D >
    const BoundingBox< D >& AABBTree< D >::bounding_box() const
    {
        return impl().bounding_box();
    }

    template < index_t D >
    auto AABBTree< D >::impl() const -> const Impl&
    {
        if( !impl_ )
        {
            static const Impl empty;
            return empty;
        }
        return *impl_;
    }

    template class AABBTree< 2 >;
    template class AABBTree< 3 >;
} // namespace vorna
