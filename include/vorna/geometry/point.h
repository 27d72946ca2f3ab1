#pragma once

#include <array>
#include <string>
#include <utility>

#include <absl/strings/str_cat.h>
#include <absl/strings/str_join.h>

#include <vorna/basic/common.h>

namespace vorna
{
    /// A point of dimension D (2 or 3) with double coordinates. Equality is
    /// exact; the order is lexicographic on the coordinates.
    template < index_t D >
    class Point
    {
        static_assert( D == 2 || D == 3, "Point is only defined in 2D and 3D" );

      public:
        Point()
        {
            values_.fill( 0.0 );
        }

        explicit Point( const std::array< double, D >& values )
            : values_( values )
        {
        }

        /// Coordinate i. Precondition: i < D (not checked).
        double value( index_t i ) const
        {
            return values_[i];
        }

        /// Sets coordinate i. Precondition: i < D (not checked).
        void set_value( index_t i, double value )
        {
            values_[i] = value;
        }

        const std::array< double, D >& values() const
        {
            return values_;
        }

        bool operator==( const Point& other ) const
        {
            return values_ == other.values_;
        }

        bool operator!=( const Point& other ) const
        {
            return !( *this == other );
        }

        bool operator<( const Point& other ) const
        {
            return values_ < other.values_;
        }

        Point operator+( const Point& other ) const
        {
            Point result{ *this };
            result += other;
            return result;
        }

        Point operator-( const Point& other ) const
        {
            Point result{ *this };
            result -= other;
            return result;
        }

        Point operator*( double scalar ) const
        {
            Point result{ *this };
            result *= scalar;
            return result;
        }

        Point operator/( double scalar ) const
        {
            Point result{ *this };
            result /= scalar;
            return result;
        }

        Point& operator+=( const Point& other )
        {
            for( index_t i = 0; i < D; i++ )
            {
                values_[i] += other.values_[i];
            }
            return *this;
        }

        Point& operator-=( const Point& other )
        {
            for( index_t i = 0; i < D; i++ )
            {
                values_[i] -= other.values_[i];
            }
            return *this;
        }

        Point& operator*=( double scalar )
        {
            for( auto& value : values_ )
            {
                value *= scalar;
            }
            return *this;
        }

        Point& operator/=( double scalar )
        {
            for( auto& value : values_ )
            {
                value /= scalar;
            }
            return *this;
        }

        /// Coordinates separated by spaces, e.g. "1 2.5 -3".
        std::string string() const
        {
            return absl::StrJoin( values_, " " );
        }

        /// Hash consistent with ==: -0.0 and +0.0 hash alike.
        template < typename H >
        friend H AbslHashValue( H state, const Point& point )
        {
            for( const auto value : point.values_ )
            {
                state = H::combine( std::move( state ),
                                    value == 0.0 ? 0.0 : value );
            }
            return state;
        }

      private:
        std::array< double, D > values_;
    };

    template < index_t D >
    Point< D > operator*( double scalar, const Point< D >& point )
    {
        return point * scalar;
    }

    using Point2D = Point< 2 >;
    using Point3D = Point< 3 >;
} // namespace vorna
