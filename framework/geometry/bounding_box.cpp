#include <vorna/geometry/bounding_box.h>

#include <algorithm>
#include <limits>

#include <vorna/geometry/tolerance.h>

namespace
{
    // Clips [t_min, t_max] by the widened slab of one axis. Written so that
    // a non-finite origin rejects rather than slipping through comparisons.
    bool clip_slab( double origin,
                    double direction,
                    double low,
                    double high,
                    double& t_min,
                    double& t_max )
    {
        if( direction == 0.0 )
        {
            return origin >= low && origin <= high;
        }
        double t_low = ( low - origin ) / direction;
        double t_high = ( high - origin ) / direction;
        if( t_low > t_high )
        {
            std::swap( t_low, t_high );
        }
        if( !( t_low <= t_high ) )
        {
            return false;
        }
        t_min = std::max( t_min, t_low );
        t_max = std::min( t_max, t_high );
        return t_min <= t_max;
    }
} // namespace

namespace vorna
{
    template < index_t D >
    BoundingBox< D >::BoundingBox()
    {
        for( index_t i = 0; i < D; i++ )
        {
            min_.set_value( i, std::numeric_limits< double >::infinity() );
            max_.set_value( i, -std::numeric_limits< double >::infinity() );
        }
    }

    template < index_t D >
    void BoundingBox< D >::add_point( const Point< D >& point )
    {
        for( index_t i = 0; i < D; i++ )
        {
            min_.set_value( i, std::min( min_.value( i ), point.value( i ) ) );
            max_.set_value( i, std::max( max_.value( i ), point.value( i ) ) );
        }
    }

    template < index_t D >
    void BoundingBox< D >::add_box( const BoundingBox& box )
    {
        if( box.is_empty() )
        {
            return;
        }
        add_point( box.min_ );
        add_point( box.max_ );
    }

    template < index_t D >
    bool BoundingBox< D >::is_empty() const
    {
        for( index_t i = 0; i < D; i++ )
        {
            if( !( min_.value( i ) <= max_.value( i ) ) )
            {
                return true;
            }
        }
        return false;
    }

    template < index_t D >
    Point< D > BoundingBox< D >::center() const
    {
        return ( min_ + max_ ) * 0.5;
    }

    template < index_t D >
    bool BoundingBox< D >::contains( const Point< D >& point ) const
    {
        if( is_empty() )
        {
            return false;
        }
        for( index_t i = 0; i < D; i++ )
        {
            if( !( point.value( i ) >= min_.value( i ) - GLOBAL_EPSILON &&
                   point.value( i ) <= max_.value( i ) + GLOBAL_EPSILON ) )
            {
                return false;
            }
        }
        return true;
    }

    template < index_t D >
    bool BoundingBox< D >::intersects( const BoundingBox& box ) const
    {
        if( is_empty() || box.is_empty() )
        {
            return false;
        }
        for( index_t i = 0; i < D; i++ )
        {
            if( min_.value( i ) > box.max_.value( i ) + GLOBAL_EPSILON ||
                box.min_.value( i ) > max_.value( i ) + GLOBAL_EPSILON )
            {
                return false;
            }
        }
        return true;
    }

    template < index_t D >
    bool BoundingBox< D >::intersects( const Ray< D >& ray ) const
    {
        if( is_empty() )
        {
            return false;
        }
        double t_min{ 0.0 };
        double t_max{ std::numeric_limits< double >::infinity() };
        for( index_t i = 0; i < D; i++ )
        {
            if( !clip_slab( ray.origin().value( i ),
                            ray.direction().value( i ),
                            min_.value( i ) - GLOBAL_EPSILON,
                            max_.value( i ) + GLOBAL_EPSILON,
                            t_min,
                            t_max ) )
            {
                return false;
            }
        }
        return true;
    }

    template < index_t D >
    bool BoundingBox< D >::intersects( const InfiniteLine< D >& line ) const
    {
        if( is_empty() )
        {
            return false;
        }
        double t_min{ -std::numeric_limits< double >::infinity() };
        double t_max{ std::numeric_limits< double >::infinity() };
        for( index_t i = 0; i < D; i++ )
        {
            if( !clip_slab( line.origin().value( i ),
                            line.direction().value( i ),
                            min_.value( i ) - GLOBAL_EPSILON,
                            max_.value( i ) + GLOBAL_EPSILON,
                            t_min,
                            t_max ) )
            {
                return false;
            }
        }
        return true;
    }

    template class BoundingBox< 2 >;
    template class BoundingBox< 3 >;
} // namespace vorna
