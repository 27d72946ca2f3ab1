#pragma once

#include <array>
#include <cmath>
#include <string>

#include <absl/strings/str_join.h>

#include <vorna/basic/common.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    /// A vector of dimension D (2 or 3) with double coordinates.
    template < index_t D >
    class Vector
    {
        static_assert( D == 2 || D == 3,
                       "Vector is only defined in 2D and 3D" );

      public:
        Vector()
        {
            values_.fill( 0.0 );
        }

        explicit Vector( const std::array< double, D >& values )
            : values_( values )
        {
        }

        /// The vector going from `from` to `to`.
        Vector( const Point< D >& from, const Point< D >& to )
        {
            for( index_t i = 0; i < D; i++ )
            {
                values_[i] = to.value( i ) - from.value( i );
            }
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

        bool operator==( const Vector& other ) const
        {
            return values_ == other.values_;
        }

        bool operator!=( const Vector& other ) const
        {
            return !( *this == other );
        }

        Vector operator+( const Vector& other ) const
        {
            Vector result{ *this };
            result += other;
            return result;
        }

        Vector operator-( const Vector& other ) const
        {
            Vector result{ *this };
            result -= other;
            return result;
        }

        Vector operator-() const
        {
            return *this * -1.0;
        }

        Vector operator*( double scalar ) const
        {
            Vector result{ *this };
            result *= scalar;
            return result;
        }

        Vector operator/( double scalar ) const
        {
            Vector result{ *this };
            result /= scalar;
            return result;
        }

        Vector& operator+=( const Vector& other )
        {
            for( index_t i = 0; i < D; i++ )
            {
                values_[i] += other.values_[i];
            }
            return *this;
        }

        Vector& operator-=( const Vector& other )
        {
            for( index_t i = 0; i < D; i++ )
            {
                values_[i] -= other.values_[i];
            }
            return *this;
        }

        Vector& operator*=( double scalar )
        {
            for( auto& value : values_ )
            {
                value *= scalar;
            }
            return *this;
        }

        Vector& operator/=( double scalar )
        {
            for( auto& value : values_ )
            {
                value /= scalar;
            }
            return *this;
        }

        double length2() const
        {
            return dot( *this );
        }

        double length() const
        {
            return std::sqrt( length2() );
        }

        /// The unit vector of the same direction. A zero vector gives
        /// non-finite coordinates: callers check the length first.
        Vector normalize() const
        {
            return *this / length();
        }

        double dot( const Vector& other ) const
        {
            double result{ 0.0 };
            for( index_t i = 0; i < D; i++ )
            {
                result += values_[i] * other.values_[i];
            }
            return result;
        }

        /// Right-hand cross product (3D only).
        template < index_t T = D >
        typename std::enable_if< T == 3, Vector >::type
        cross( const Vector& other ) const
        {
            return Vector{
                { values_[1] * other.values_[2] - values_[2] * other.values_[1],
                  values_[2] * other.values_[0] - values_[0] * other.values_[2],
                  values_[0] * other.values_[1] -
                      values_[1] * other.values_[0] } };
        }

        /// Coordinates separated by spaces, e.g. "1 0 0".
        std::string string() const
        {
            return absl::StrJoin( values_, " " );
        }

      private:
        std::array< double, D > values_;
    };

    template < index_t D >
    Vector< D > operator*( double scalar, const Vector< D >& vector )
    {
        return vector * scalar;
    }

    /// The point moved by the vector.
    template < index_t D >
    Point< D > operator+( const Point< D >& point, const Vector< D >& vector )
    {
        Point< D > result{ point };
        for( index_t i = 0; i < D; i++ )
        {
            result.set_value( i, point.value( i ) + vector.value( i ) );
        }
        return result;
    }

    /// The point moved by the opposite of the vector.
    template < index_t D >
    Point< D > operator-( const Point< D >& point, const Vector< D >& vector )
    {
        Point< D > result{ point };
        for( index_t i = 0; i < D; i++ )
        {
            result.set_value( i, point.value( i ) - vector.value( i ) );
        }
        return result;
    }

    using Vector2D = Vector< 2 >;
    using Vector3D = Vector< 3 >;
} // namespace vorna
