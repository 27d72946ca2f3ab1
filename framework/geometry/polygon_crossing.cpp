#include <vorna/geometry/polygon_crossing.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/tolerance.h>

namespace
{
    using vorna::GLOBAL_EPSILON;
    using vorna::index_t;
    using vorna::Point3D;
    using vorna::PolygonCrossing;
    using vorna::Position;
    using vorna::Vector3D;

    constexpr size_t NO_ELEMENT = std::numeric_limits< size_t >::max();

    bool is_finite( const Point3D& point )
    {
        return std::isfinite( point.value( 0 ) ) &&
               std::isfinite( point.value( 1 ) ) &&
               std::isfinite( point.value( 2 ) );
    }

    // Rounding may leave a crossing at the origin a hair behind it; a ray
    // starting on a polygon must still see it.
    absl::optional< PolygonCrossing > make_crossing( double distance,
                                                     Position position,
                                                     const Point3D& point,
                                                     bool is_ray )
    {
        if( std::fabs( distance ) <= GLOBAL_EPSILON )
        {
            distance = 0.0;
        }
        if( is_ray && distance < 0.0 )
        {
            return absl::nullopt;
        }
        return PolygonCrossing{ distance, position, point };
    }

    Point3D vertex_mean( absl::Span< const Point3D > polygon )
    {
        Point3D sum;
        for( const auto& point : polygon )
        {
            sum += point;
        }
        return sum / static_cast< double >( polygon.size() );
    }

    double segment_parameter_2d(
        double ax, double ay, double bx, double by, double px, double py )
    {
        const auto ex = bx - ax;
        const auto ey = by - ay;
        const auto length2 = ex * ex + ey * ey;
        if( length2 == 0.0 )
        {
            return 0.0;
        }
        return std::clamp(
            ( ( px - ax ) * ex + ( py - ay ) * ey ) / length2, 0.0, 1.0 );
    }

    double distance_to_segment_2d(
        double ax, double ay, double bx, double by, double px, double py )
    {
        const auto s = segment_parameter_2d( ax, ay, bx, by, px, py );
        return std::hypot( ax + s * ( bx - ax ) - px,
                           ay + s * ( by - ay ) - py );
    }

    // Even-odd rule; points on the boundary are decided by the caller.
    bool is_inside_2d( absl::Span< const double > xs,
                       absl::Span< const double > ys,
                       double px,
                       double py )
    {
        bool inside{ false };
        const auto nb = xs.size();
        for( size_t i = 0, j = nb - 1; i < nb; j = i++ )
        {
            if( ( ys[i] > py ) != ( ys[j] > py ) )
            {
                const auto x = xs[j] + ( py - ys[j] ) * ( xs[i] - xs[j] ) /
                                           ( ys[i] - ys[j] );
                if( px < x )
                {
                    inside = !inside;
                }
            }
        }
        return inside;
    }

    double distance_to_segment( const Point3D& point,
                                const Point3D& a,
                                const Point3D& b )
    {
        const Vector3D edge{ a, b };
        const auto length2 = edge.length2();
        double s{ 0.0 };
        if( length2 > 0.0 )
        {
            s = std::clamp(
                Vector3D{ a, point }.dot( edge ) / length2, 0., 1. );
        }
        return Vector3D{ a + edge * s, point }.length();
    }

    // Only the ends (in lexicographic order), the origin and the direction
    // enter here, so polygons sharing the edge get bit-identical points.
    Point3D edge_point_closest_to_line( Point3D a,
                                        Point3D b,
                                        const Point3D& origin,
                                        const Vector3D& direction )
    {
        if( b < a )
        {
            std::swap( a, b );
        }
        const Vector3D edge{ a, b };
        const Vector3D from_origin{ origin, a };
        const auto edge_across = edge - direction * edge.dot( direction );
        const auto origin_across =
            from_origin - direction * from_origin.dot( direction );
        const auto denominator = edge_across.length2();
        if( !( denominator > 0.0 ) )
        {
            // The edge runs along the line: any of its points is as close.
            return a;
        }
        const auto s = -origin_across.dot( edge_across ) / denominator;
        if( !std::isfinite( s ) )
        {
            return a;
        }
        return a + edge * std::clamp( s, 0.0, 1.0 );
    }

    absl::optional< PolygonCrossing >
    parallel_crossing( absl::Span< const Point3D > polygon,
                       const Vector3D& normal,
                       const Point3D& origin,
                       const Vector3D& direction,
                       bool is_ray )
    {
        const auto offset =
            normal.dot( Vector3D{ vertex_mean( polygon ), origin } );
        if( !( std::fabs( offset ) <= GLOBAL_EPSILON ) )
        {
            return absl::nullopt;
        }
        // In-plane frame: s along the line, r across it.
        const auto across = normal.cross( direction ).normalize();
        const auto nb = polygon.size();
        std::vector< double > s( nb );
        std::vector< double > r( nb );
        for( size_t v = 0; v < nb; v++ )
        {
            const Vector3D to_vertex{ origin, polygon[v] };
            s[v] = to_vertex.dot( direction );
            r[v] = to_vertex.dot( across );
        }
        bool origin_meets{ is_inside_2d( s, r, 0., 0. ) };
        std::vector< double > meetings;
        for( size_t v = 0; v < nb; v++ )
        {
            const auto next = ( v + 1 ) % nb;
            if( std::fabs( r[v] ) <= GLOBAL_EPSILON )
            {
                meetings.push_back( s[v] );
            }
            if( ( r[v] < 0. && r[next] > 0. ) || ( r[v] > 0. && r[next] < 0. ) )
            {
                meetings.push_back( s[v] + ( s[next] - s[v] ) *
                                               ( r[v] / ( r[v] - r[next] ) ) );
            }
            if( distance_to_segment_2d(
                    s[v], r[v], s[next], r[next], 0., 0. ) <= GLOBAL_EPSILON )
            {
                origin_meets = true;
            }
        }
        if( origin_meets )
        {
            return make_crossing( 0.0, Position::parallel, origin, is_ray );
        }
        if( meetings.empty() )
        {
            return absl::nullopt;
        }
        double ahead{ std::numeric_limits< double >::infinity() };
        double behind{ -std::numeric_limits< double >::infinity() };
        for( const auto meeting : meetings )
        {
            if( meeting >= 0. )
            {
                ahead = std::min( ahead, meeting );
            }
            else
            {
                behind = std::max( behind, meeting );
            }
        }
        const auto distance = std::isfinite( ahead ) ? ahead : behind;
        return make_crossing( distance,
                              Position::parallel,
                              origin + direction * distance,
                              is_ray );
    }

    absl::optional< PolygonCrossing >
    transverse_crossing( absl::Span< const Point3D > polygon,
                         const Vector3D& normal,
                         double normal_dot_direction,
                         const Point3D& origin,
                         const Vector3D& direction,
                         bool is_ray )
    {
        const auto t =
            normal.dot( Vector3D{ origin, vertex_mean( polygon ) } ) /
            normal_dot_direction;
        const auto crossing = origin + direction * t;
        const auto nb = polygon.size();

        // Nearest within epsilon, the first one on a tie.
        auto closest = NO_ELEMENT;
        auto closest_distance = std::numeric_limits< double >::infinity();
        for( size_t v = 0; v < nb; v++ )
        {
            const auto distance = Vector3D{ crossing, polygon[v] }.length();
            if( distance <= GLOBAL_EPSILON && distance < closest_distance )
            {
                closest = v;
                closest_distance = distance;
            }
        }
        if( closest != NO_ELEMENT )
        {
            const auto& vertex = polygon[closest];
            return make_crossing( Vector3D{ origin, vertex }.dot( direction ),
                                  Position::vertex0,
                                  vertex,
                                  is_ray );
        }

        for( size_t v = 0; v < nb; v++ )
        {
            const auto distance = distance_to_segment(
                crossing, polygon[v], polygon[( v + 1 ) % nb] );
            if( distance <= GLOBAL_EPSILON && distance < closest_distance )
            {
                closest = v;
                closest_distance = distance;
            }
        }
        if( closest != NO_ELEMENT )
        {
            const auto point =
                edge_point_closest_to_line( polygon[closest],
                                            polygon[( closest + 1 ) % nb],
                                            origin,
                                            direction );
            return make_crossing( Vector3D{ origin, point }.dot( direction ),
                                  Position::edge0,
                                  point,
                                  is_ray );
        }

        // Drop the normal's dominant axis to test inside in 2D.
        index_t axis{ 0 };
        for( index_t i = 1; i < 3; i++ )
        {
            if( std::fabs( normal.value( i ) ) >
                std::fabs( normal.value( axis ) ) )
            {
                axis = i;
            }
        }
        const auto u = ( axis + 1 ) % 3;
        const auto w = ( axis + 2 ) % 3;
        std::vector< double > xs( nb );
        std::vector< double > ys( nb );
        for( size_t v = 0; v < nb; v++ )
        {
            xs[v] = polygon[v].value( u );
            ys[v] = polygon[v].value( w );
        }
        if( is_inside_2d( xs, ys, crossing.value( u ), crossing.value( w ) ) )
        {
            return make_crossing( t, Position::inside, crossing, is_ray );
        }
        return absl::nullopt;
    }
} // namespace

namespace vorna
{
    absl::optional< Vector3D >
    polygon_points_normal( absl::Span< const Point3D > polygon )
    {
        if( polygon.size() < 3 )
        {
            return absl::nullopt;
        }
        Vector3D area;
        for( size_t k = 1; k + 1 < polygon.size(); k++ )
        {
            area += Vector3D{ polygon[0], polygon[k] }.cross(
                Vector3D{ polygon[0], polygon[k + 1] } );
        }
        const auto length = area.length();
        if( !std::isfinite( length ) ||
            length < GLOBAL_EPSILON * GLOBAL_EPSILON )
        {
            return absl::nullopt;
        }
        return area / length;
    }

    absl::optional< PolygonCrossing >
    polygon_line_crossing( absl::Span< const Point3D > polygon,
                           const Point3D& origin,
                           const Vector3D& direction,
                           bool is_ray )
    {
        const auto length = direction.length();
        if( !( std::fabs( length - 1.0 ) <= 1e-6 ) )
        {
            throw CorvaneException( "[polygon_line_crossing] Direction must be "
                                    "a unit vector, got (",
                                    direction.string(),
                                    ")" );
        }
        if( !is_finite( origin ) )
        {
            return absl::nullopt;
        }
        const auto normal = polygon_points_normal( polygon );
        if( !normal )
        {
            return absl::nullopt;
        }
        const auto normal_dot_direction = normal->dot( direction );
        if( std::fabs( normal_dot_direction ) <= GLOBAL_EPSILON )
        {
            return parallel_crossing(
                polygon, normal.value(), origin, direction, is_ray );
        }
        return transverse_crossing( polygon,
                                    normal.value(),
                                    normal_dot_direction,
                                    origin,
                                    direction,
                                    is_ray );
    }

    absl::optional< PolygonCrossing >
    polygon_crossing( absl::Span< const Point3D > polygon, const Ray3D& ray )
    {
        return polygon_line_crossing(
            polygon, ray.origin(), ray.direction(), true );
    }

    absl::optional< PolygonCrossing >
    polygon_crossing( absl::Span< const Point3D > polygon,
                      const InfiniteLine3D& line )
    {
        return polygon_line_crossing(
            polygon, line.origin(), line.direction(), false );
    }
} // namespace vorna
