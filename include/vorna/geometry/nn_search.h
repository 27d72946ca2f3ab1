#pragma once

#include <memory>
#include <vector>

#include <vorna/basic/common.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    /// Nearest-neighbour and radius queries over a fixed set of points,
    /// backed by a KD-tree built once at construction (O(n log n)).
    /// Non-finite points are kept but never found by a query.
    template < index_t D >
    class NNSearch
    {
      public:
        /// Result of colocated_index_mapping.
        struct ColocatedInfo
        {
            /// Number of input points that were merged into an earlier one.
            index_t nb_colocated_points() const
            {
                return static_cast< index_t >( colocated_mapping.size() -
                                               unique_points.size() );
            }

            /// Input point index -> distinct point index.
            std::vector< index_t > colocated_mapping;
            /// Distinct points, each at the input point that opened it.
            std::vector< Point< D > > unique_points;
        };

        /// \throw CorvaneException when there are 2^32 - 1 points or more.
        explicit NNSearch( std::vector< Point< D > > points );
        NNSearch( NNSearch&& ) noexcept;
        NNSearch& operator=( NNSearch&& ) noexcept;
        ~NNSearch();

        index_t nb_points() const;

        /// Precondition: index < nb_points() (not checked).
        const Point< D >& point( index_t index ) const;

        /// Index of a point nearest to `point`, INVALID_INDEX when there is
        /// no finite point.
        index_t closest_neighbor( const Point< D >& point ) const;

        /// Indices, ascending, of the points at distance <= radius.
        /// \throw CorvaneException when the radius is negative or NaN.
        std::vector< index_t > radius_neighbors( const Point< D >& point,
                                                 double radius ) const;

        /// Walks the points in input order. An unclaimed point opens the next
        /// distinct point, placed at it, and claims every unclaimed point
        /// within distance <= epsilon, itself included. Opening points are
        /// thus more than epsilon apart, and when no two points are that
        /// close, point i maps to i.
        /// \throw CorvaneException when epsilon is negative or NaN.
        ColocatedInfo colocated_index_mapping( double epsilon ) const;

      private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    using NNSearch2D = NNSearch< 2 >;
    using NNSearch3D = NNSearch< 3 >;
} // namespace vorna
