#include <vorna/geometry/nn_search.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <nanoflann.hpp>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/vector.h>

namespace
{
    template < vorna::index_t D >
    bool is_finite( const vorna::Point< D >& point )
    {
        for( vorna::index_t i = 0; i < D; i++ )
        {
            if( !std::isfinite( point.value( i ) ) )
            {
                return false;
            }
        }
        return true;
    }

    // Gathers candidate indices; the caller re-checks the exact distance,
    // so the squared search radius may be slightly generous.
    class CandidateSet
    {
      public:
        CandidateSet( double radius2, std::vector< vorna::index_t >& found )
            : radius2_( radius2 ), found_( found )
        {
            found_.clear();
        }

        size_t size() const
        {
            return found_.size();
        }

        bool full() const
        {
            return true;
        }

        bool addPoint( double distance2, vorna::index_t index )
        {
            if( distance2 <= radius2_ )
            {
                found_.push_back( index );
            }
            return true;
        }

        double worstDist() const
        {
            return radius2_;
        }

      private:
        double radius2_;
        std::vector< vorna::index_t >& found_;
    };

    double generous_radius2( double radius )
    {
        return radius * radius * ( 1. + 1e-9 ) +
               std::numeric_limits< double >::min();
    }
} // namespace

namespace vorna
{
    template < index_t D >
    class NNSearch< D >::Impl
    {
        // The KD-tree sees only finite points. When some are not, it runs
        // on a filtered copy and tree_to_input_ brings indices back.
        struct Adaptor
        {
            const std::vector< Point< D > >* points;

            size_t kdtree_get_point_count() const
            {
                return points->size();
            }

            double kdtree_get_pt( size_t index, size_t dim ) const
            {
                return ( *points )[index].value(
                    static_cast< index_t >( dim ) );
            }

            template < typename Box >
            bool kdtree_get_bbox( Box& /*unused*/ ) const
            {
                return false;
            }
        };

        using Tree = nanoflann::KDTreeSingleIndexAdaptor<
            nanoflann::L2_Simple_Adaptor< double, Adaptor, double, index_t >,
            Adaptor,
            static_cast< int32_t >( D ),
            index_t >;

      public:
        explicit Impl( std::vector< Point< D > > points )
            : points_( std::move( points ) )
        {
            if( points_.size() >= INVALID_INDEX )
            {
                throw CorvaneException(
                    "[NNSearch::NNSearch] Too many points: ", points_.size() );
            }
            adaptor_.points = &points_;
            // Only copy the points when some must be kept out of the tree.
            if( !std::all_of( points_.begin(),
                              points_.end(),
                              []( const Point< D >& p )
                              { return is_finite( p ); } ) )
            {
                for( index_t p = 0; p < points_.size(); p++ )
                {
                    if( is_finite( points_[p] ) )
                    {
                        tree_points_.push_back( points_[p] );
                        tree_to_input_.push_back( p );
                    }
                }
                adaptor_.points = &tree_points_;
            }
            tree_ = std::make_unique< Tree >(
                static_cast< int >( D ),
                adaptor_,
                nanoflann::KDTreeSingleIndexAdaptorParams{ 16 } );
        }

        index_t nb_points() const
        {
            return static_cast< index_t >( points_.size() );
        }

        const Point< D >& point( index_t index ) const
        {
            return points_[index];
        }

        index_t closest_neighbor( const Point< D >& point ) const
        {
            if( tree_points().empty() || !is_finite( point ) )
            {
                return INVALID_INDEX;
            }
            index_t result{ INVALID_INDEX };
            double distance2{ 0 };
            nanoflann::KNNResultSet< double, index_t > result_set{ 1 };
            result_set.init( &result, &distance2 );
            tree_->findNeighbors(
                result_set, point.values().data(), nanoflann::SearchParams{} );
            return result == INVALID_INDEX ? INVALID_INDEX
                                           : input_index( result );
        }

        // Input indices within `radius` of `point`, in no particular order.
        void radius_neighbors( const Point< D >& point,
                               double radius,
                               std::vector< index_t >& candidates,
                               std::vector< index_t >& found ) const
        {
            found.clear();
            if( tree_points().empty() || !is_finite( point ) )
            {
                return;
            }
            CandidateSet result_set{ generous_radius2( radius ), candidates };
            tree_->findNeighbors( result_set,
                                  point.values().data(),
                                  nanoflann::SearchParams{ 32, 0, false } );
            for( const auto candidate : candidates )
            {
                if( Vector< D >{ point, tree_points()[candidate] }.length() <=
                    radius )
                {
                    found.push_back( input_index( candidate ) );
                }
            }
        }

      private:
        index_t input_index( index_t tree_index ) const
        {
            return tree_to_input_.empty() ? tree_index
                                          : tree_to_input_[tree_index];
        }

        const std::vector< Point< D > >& tree_points() const
        {
            return *adaptor_.points;
        }

        std::vector< Point< D > > points_;
        std::vector< Point< D > > tree_points_;
        std::vector< index_t > tree_to_input_;
        Adaptor adaptor_;
        std::unique_ptr< Tree > tree_;
    };

    template < index_t D >
    NNSearch< D >::NNSearch( std::vector< Point< D > > points )
        : impl_{ std::make_unique< Impl >( std::move( points ) ) }
    {
    }

    template < index_t D >
    NNSearch< D >::NNSearch( NNSearch&& ) noexcept = default;

    template < index_t D >
    NNSearch< D >& NNSearch< D >::operator=( NNSearch&& ) noexcept = default;

    template < index_t D >
    NNSearch< D >::~NNSearch() = default;

    template < index_t D >
    index_t NNSearch< D >::nb_points() const
    {
        return impl_->nb_points();
    }

    template < index_t D >
    const Point< D >& NNSearch< D >::point( index_t index ) const
    {
        return impl_->point( index );
    }

    template < index_t D >
    index_t NNSearch< D >::closest_neighbor( const Point< D >& point ) const
    {
        return impl_->closest_neighbor( point );
    }

    template < index_t D >
    std::vector< index_t >
    NNSearch< D >::radius_neighbors( const Point< D >& point,
                                     double radius ) const
    {
        if( !( radius >= 0 ) )
        {
            throw CorvaneException(
                "[NNSearch::radius_neighbors] Radius must be non-negative, "
                "got ",
                radius );
        }
        std::vector< index_t > candidates;
        std::vector< index_t > found;
        impl_->radius_neighbors( point, radius, candidates, found );
        std::sort( found.begin(), found.end() );
        return found;
    }

    template < index_t D >
    typename NNSearch< D >::ColocatedInfo
    NNSearch< D >::colocated_index_mapping( double epsilon ) const
    {
        if( !( epsilon >= 0 ) )
        {
            throw CorvaneException( "[NNSearch::colocated_index_mapping] "
                                    "Epsilon must be non-negative, got ",
                                    epsilon );
        }
        const auto nb = nb_points();
        ColocatedInfo info;
        info.colocated_mapping.assign( nb, INVALID_INDEX );
        std::vector< index_t > candidates;
        std::vector< index_t > found;
        for( index_t p = 0; p < nb; p++ )
        {
            if( info.colocated_mapping[p] != INVALID_INDEX )
            {
                continue;
            }
            const auto unique_id =
                static_cast< index_t >( info.unique_points.size() );
            const auto& opening = impl_->point( p );
            info.unique_points.push_back( opening );
            info.colocated_mapping[p] = unique_id;
            impl_->radius_neighbors( opening, epsilon, candidates, found );
            for( const auto neighbor : found )
            {
                if( info.colocated_mapping[neighbor] == INVALID_INDEX )
                {
                    info.colocated_mapping[neighbor] = unique_id;
                }
            }
        }
        return info;
    }

    template class NNSearch< 2 >;
    template class NNSearch< 3 >;
} // namespace vorna
