#include <conversion/mesh_analysis/from_meshes/close_points.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <conversion/common/tasks.h>
#include <conversion/mesh_analysis/from_meshes/common.h>
#include <vorna/geometry/bounding_box.h>
#include <vorna/geometry/vector.h>

namespace
{
    using namespace vorna;
    using vorna::detail::from_meshes::is_finite;

    // Cells per axis at most: keys stay within 64 bits in 3D.
    constexpr double MAX_CELLS_PER_AXIS{ 1 << 20 };
    // A run of points in one cell compared all against all up to this
    // size; beyond, swept along a direction that no mesh is aligned with.
    constexpr std::size_t FEW_POINTS{ 8 };
    constexpr index_t CHUNK{ 4096 };

    template < index_t D >
    class Grid
    {
      public:
        Grid( absl::Span< const Point< D > > points, double epsilon )
            : reach_( epsilon * ( 1 + 1e-6 ) )
        {
            BoundingBox< D > box;
            for( const auto& point : points )
            {
                if( !is_finite( point ) )
                {
                    continue;
                }
                nb_finite_++;
                box.add_point( point );
            }
            std::array< double, D > max;
            for( index_t axis = 0; axis < D; axis++ )
            {
                min_[axis] = box.min().value( axis );
                max[axis] = box.max().value( axis );
            }
            if( nb_finite_ < 2 )
            {
                return;
            }
            // Surface meshes spread their points over about the area of
            // their box's boundary in 3D, of their box in 2D: cells of
            // about the spacing of the points then hold one or two each.
            std::array< double, D > extent;
            double largest{ 0 };
            for( index_t axis = 0; axis < D; axis++ )
            {
                extent[axis] = max[axis] - min_[axis];
                if( !std::isfinite( extent[axis] ) )
                {
                    // No cell size fits: the caller takes the points for
                    // close ones.
                    unbounded_ = true;
                    return;
                }
                largest = std::max( largest, extent[axis] );
            }
            double area = D == 3 ? 2 * ( extent[0] * extent[1] +
                                         extent[1] * extent[D - 1] +
                                         extent[D - 1] * extent[0] )
                                 : extent[0] * extent[1];
            cell_ = area > 0 ? 1.6 * std::sqrt( area / nb_finite_ )
                             : 1.6 * largest / nb_finite_;
            cell_ = std::max( { cell_,
                                4 * epsilon,
                                largest / MAX_CELLS_PER_AXIS,
                                std::numeric_limits< double >::min() } );
            nb_cells_ = 1;
            for( index_t axis = 0; axis < D; axis++ )
            {
                stride_[axis] = nb_cells_;
                dims_[axis] =
                    static_cast< std::uint64_t >( extent[axis] / cell_ ) + 1;
                nb_cells_ *= dims_[axis];
            }
        }

        index_t nb_finite() const
        {
            return nb_finite_;
        }

        /// Whether the points span more than the largest double along an
        /// axis: no cell is then made.
        bool unbounded() const
        {
            return unbounded_;
        }

        std::uint64_t nb_cells() const
        {
            return nb_cells_;
        }

        /// Calls visit(cell) for every cell that the box of half-width
        /// epsilon around the point meets: two points within epsilon then
        /// share the cell of either.
        template < typename Visit >
        void for_each_cell( const Point< D >& point, const Visit& visit ) const
        {
            std::array< std::uint64_t, D > low;
            std::array< std::uint64_t, D > high;
            for( index_t axis = 0; axis < D; axis++ )
            {
                low[axis] = index( point.value( axis ) - reach_, axis );
                high[axis] = index( point.value( axis ) + reach_, axis );
            }
            auto at = low;
            while( true )
            {
                std::uint64_t cell{ 0 };
                for( index_t axis = 0; axis < D; axis++ )
                {
                    cell += at[axis] * stride_[axis];
                }
                visit( cell );
                index_t axis{ 0 };
                while( axis < D && at[axis] == high[axis] )
                {
                    at[axis] = low[axis];
                    axis++;
                }
                if( axis == D )
                {
                    return;
                }
                at[axis]++;
            }
        }

      private:
        std::uint64_t index( double value, index_t axis ) const
        {
            const auto cell = std::floor( ( value - min_[axis] ) / cell_ );
            if( !( cell > 0 ) )
            {
                return 0;
            }
            return std::min( static_cast< std::uint64_t >( cell ),
                             dims_[axis] - 1 );
        }

        double reach_;
        index_t nb_finite_{ 0 };
        bool unbounded_{ false };
        std::array< double, D > min_;
        double cell_{ 1 };
        std::array< std::uint64_t, D > dims_;
        std::array< std::uint64_t, D > stride_;
        std::uint64_t nb_cells_{ 1 };
    };

    template < typename Cell >
    struct Entry
    {
        Cell cell;
        index_t point;
    };

    // Least significant digit first, stable: entries end sorted by cell,
    // each cell's points in ascending order. Digits of up to 12 bits, as
    // few passes as the number of cells needs.
    template < typename Cell >
    void sort_by_cell( std::vector< Entry< Cell > >& entries,
                       std::uint64_t nb_cells )
    {
        int bits{ 0 };
        while( bits < 64 && ( nb_cells - 1 ) >> bits != 0 )
        {
            bits++;
        }
        const int nb_passes = ( bits + 11 ) / 12;
        if( nb_passes == 0 )
        {
            return;
        }
        const int digit_bits = ( bits + nb_passes - 1 ) / nb_passes;
        const std::size_t nb_digits = std::size_t{ 1 } << digit_bits;
        std::vector< Entry< Cell > > buffer( entries.size() );
        std::vector< std::size_t > starts( nb_digits + 1 );
        for( int shift = 0; shift < bits; shift += digit_bits )
        {
            std::fill( starts.begin(), starts.end(), 0 );
            for( const auto& entry : entries )
            {
                starts[( ( entry.cell >> shift ) & ( nb_digits - 1 ) ) + 1]++;
            }
            for( std::size_t d = 0; d < nb_digits; d++ )
            {
                starts[d + 1] += starts[d];
            }
            for( const auto& entry : entries )
            {
                buffer[starts[( entry.cell >> shift ) & ( nb_digits - 1 )]++] =
                    entry;
            }
            entries.swap( buffer );
        }
    }

    template < index_t D >
    bool within( const Point< D >& a, const Point< D >& b, double epsilon )
    {
        return Vector< D >{ a, b }.length() <= epsilon;
    }

    // Points of one cell: sorted along a direction that no mesh is aligned
    // with, only those close along it are compared.
    template < index_t D, typename Cell >
    bool has_close_pair( absl::Span< const Point< D > > points,
                         absl::Span< const Entry< Cell > > run,
                         double epsilon )
    {
        if( run.size() <= FEW_POINTS )
        {
            for( std::size_t i = 0; i < run.size(); i++ )
            {
                for( auto j = i + 1; j < run.size(); j++ )
                {
                    if( within( points[run[i].point],
                                points[run[j].point],
                                epsilon ) )
                    {
                        return true;
                    }
                }
            }
            return false;
        }
        constexpr std::array< double, 3 > DIRECTION{
            0.7071067811865476, 0.5773502691896258, 0.4082482904638630 };
        std::vector< std::pair< double, index_t > > along;
        along.reserve( run.size() );
        for( const auto& entry : run )
        {
            double projection{ 0 };
            for( index_t axis = 0; axis < D; axis++ )
            {
                projection +=
                    DIRECTION[axis] * points[entry.point].value( axis );
            }
            along.emplace_back( projection, entry.point );
        }
        std::sort( along.begin(), along.end() );
        // A direction no longer than 1: a pair within epsilon is within
        // epsilon along it, up to rounding of the projections.
        for( std::size_t i = 0; i < along.size(); i++ )
        {
            const auto reach = epsilon * ( 1 + 1e-6 ) +
                               8 * std::numeric_limits< double >::epsilon() *
                                   std::fabs( along[i].first );
            for( auto j = i + 1;
                 j < along.size() && along[j].first - along[i].first <= reach;
                 j++ )
            {
                if( within( points[along[i].second],
                            points[along[j].second],
                            epsilon ) )
                {
                    return true;
                }
            }
        }
        return false;
    }
    // Every point in each cell its neighbourhood meets, then the points of
    // each cell compared, all in parallel but the sort.
    template < index_t D, typename Cell >
    bool has_close_pair( absl::Span< const Point< D > > points,
                         const Grid< D >& grid,
                         double epsilon )
    {
        const auto nb_points = static_cast< index_t >( points.size() );
        const auto nb_point_chunks = ( nb_points + CHUNK - 1 ) / CHUNK;
        std::vector< std::size_t > chunk_starts( nb_point_chunks + 1, 0 );
        const auto for_each_entry = [&]( index_t chunk, auto&& visit )
        {
            const auto end = std::min( ( chunk + 1 ) * CHUNK, nb_points );
            for( auto p = chunk * CHUNK; p < end; p++ )
            {
                if( is_finite( points[p] ) )
                {
                    grid.for_each_cell( points[p],
                                        [&visit, p]( std::uint64_t cell )
                                        { visit( cell, p ); } );
                }
            }
        };
        detail::parallel_for( 0,
                              nb_point_chunks,
                              1,
                              [&]( index_t chunk )
                              {
                                  for_each_entry(
                                      chunk,
                                      [&]( std::uint64_t, index_t )
                                      { chunk_starts[chunk + 1]++; } );
                              } );
        for( index_t chunk = 0; chunk < nb_point_chunks; chunk++ )
        {
            chunk_starts[chunk + 1] += chunk_starts[chunk];
        }
        std::vector< Entry< Cell > > entries( chunk_starts.back() );
        detail::parallel_for(
            0,
            nb_point_chunks,
            1,
            [&]( index_t chunk )
            {
                auto next = chunk_starts[chunk];
                for_each_entry(
                    chunk,
                    [&]( std::uint64_t cell, index_t p ) {
                        entries[next++] = { static_cast< Cell >( cell ), p };
                    } );
            } );
        sort_by_cell( entries, grid.nb_cells() );
        // Runs of one cell, checked chunk by chunk: a run belongs to the
        // chunk where it starts.
        const auto nb_entries = static_cast< index_t >( entries.size() );
        const auto nb_chunks = ( nb_entries + CHUNK - 1 ) / CHUNK;
        std::vector< char > found( nb_chunks, 0 );
        detail::parallel_for(
            0,
            nb_chunks,
            1,
            [&]( index_t chunk )
            {
                auto begin = chunk * CHUNK;
                const auto end = std::min( begin + CHUNK, nb_entries );
                while( begin > 0 && begin < end &&
                       entries[begin - 1].cell == entries[begin].cell )
                {
                    begin++;
                }
                while( begin < end )
                {
                    auto run_end = begin + 1;
                    while( run_end < nb_entries &&
                           entries[run_end].cell == entries[begin].cell )
                    {
                        run_end++;
                    }
                    if( run_end - begin > 1 &&
                        has_close_pair< D, Cell >(
                            points,
                            absl::MakeConstSpan( entries ).subspan(
                                begin, run_end - begin ),
                            epsilon ) )
                    {
                        found[chunk] = 1;
                        return;
                    }
                    begin = run_end;
                }
            } );
        return std::find( found.begin(), found.end(), 1 ) != found.end();
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            bool has_points_within( absl::Span< const Point< D > > points,
                                    double epsilon )
            {
                const Grid< D > grid{ points, epsilon };
                if( grid.nb_finite() < 2 )
                {
                    return false;
                }
                if( grid.unbounded() )
                {
                    // Merging, which finds close points without a grid, is
                    // never wrong.
                    return true;
                }
                if( grid.nb_cells() <=
                    std::numeric_limits< std::uint32_t >::max() )
                {
                    return has_close_pair< D, std::uint32_t >(
                        points, grid, epsilon );
                }
                return has_close_pair< D, std::uint64_t >(
                    points, grid, epsilon );
            }

            template bool has_points_within( absl::Span< const Point< 2 > >,
                                             double );
            template bool has_points_within( absl::Span< const Point< 3 > >,
                                             double );
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
