#pragma once

#include <cmath>
#include <string>

#include <absl/strings/string_view.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/bounding_box.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    namespace detail
    {
        /// How messages name an input mesh: by its name, or by its uuid when
        /// it has none.
        template < typename Mesh >
        std::string input_label( const Mesh& mesh )
        {
            return mesh.name().empty() ? mesh.id().string()
                                       : std::string{ mesh.name() };
        }

        /// Refuses a vertex with a non-finite coordinate, which would poison
        /// every later geometric test and reach the model.
        /// \throw CorvaneException "[<operation>] Vertex <v> of mesh
        /// '<label>' has a non-finite coordinate".
        template < typename Mesh >
        void refuse_non_finite_point( const Mesh& mesh,
                                      index_t vertex,
                                      absl::string_view operation )
        {
            const auto& point = mesh.point( vertex );
            for( const auto value : point.values() )
            {
                if( !std::isfinite( value ) )
                {
                    throw CorvaneException( "[",
                                            operation,
                                            "] Vertex ",
                                            vertex,
                                            " of mesh '",
                                            input_label( mesh ),
                                            "' has a non-finite coordinate" );
                }
            }
        }

        /// Largest absolute value of a coordinate that the conversions,
        /// build_blocks and add_sharp_features take. Far beyond any physical
        /// model, it keeps every product of up to seven coordinates (or of
        /// their differences) finite: lengths, areas, volumes and volumes
        /// times extents never overflow.
        constexpr double COORDINATE_BOUND = 1e40;

        /// Whether every coordinate of the box lies within the bound; an
        /// empty box does.
        template < index_t D >
        bool lies_within_bound( const BoundingBox< D >& box )
        {
            if( box.is_empty() )
            {
                return true;
            }
            for( index_t axis = 0; axis < D; axis++ )
            {
                if( !( box.min().value( axis ) >= -COORDINATE_BOUND &&
                       box.max().value( axis ) <= COORDINATE_BOUND ) )
                {
                    return false;
                }
            }
            return true;
        }

        /// The coordinate of largest absolute value among the points added,
        /// and its vertex: the smallest one on ties, in whatever order they
        /// come. Non-finite coordinates are left to their own refusal.
        class FarthestCoordinate
        {
          public:
            template < index_t D >
            void add( index_t vertex, const Point< D >& point )
            {
                for( index_t axis = 0; axis < D; axis++ )
                {
                    const auto value = point.value( axis );
                    const auto size = std::fabs( value );
                    if( !std::isfinite( value ) || size < size_ ||
                        ( size == size_ && vertex >= vertex_ ) )
                    {
                        continue;
                    }
                    value_ = value;
                    size_ = size;
                    vertex_ = vertex;
                }
            }

            /// \throw CorvaneException "[<operation>] Coordinates must lie
            /// within [-1e+40, 1e+40]: vertex <v> of <kind> '<label>' has
            /// <value>" when the farthest coordinate is beyond the bound.
            template < typename Mesh >
            void refuse_beyond_bound( const Mesh& mesh,
                                      absl::string_view operation,
                                      absl::string_view kind = "mesh" ) const
            {
                if( size_ <= COORDINATE_BOUND )
                {
                    return;
                }
                throw CorvaneException( "[",
                                        operation,
                                        "] Coordinates must lie within [",
                                        -COORDINATE_BOUND,
                                        ", ",
                                        COORDINATE_BOUND,
                                        "]: vertex ",
                                        vertex_,
                                        " of ",
                                        kind,
                                        " '",
                                        input_label( mesh ),
                                        "' has ",
                                        value_ );
            }

          private:
            double value_{ 0 };
            double size_{ 0 };
            index_t vertex_{ INVALID_INDEX };
        };

        /// Whether every point of the mesh, used or not, lies within the
        /// bound (a non-finite one does not): one pass over the points,
        /// cheaper than a walk over the elements and nearly always true.
        template < typename Mesh >
        bool all_points_within_bound( const Mesh& mesh )
        {
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                for( const auto value : mesh.point( v ).values() )
                {
                    if( !( std::fabs( value ) <= COORDINATE_BOUND ) )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        /// Refuses the farthest coordinate of the given vertices of the mesh
        /// when it lies beyond the bound, as FarthestCoordinate words it.
        template < typename Mesh, typename Vertices >
        void refuse_far_vertices( const Mesh& mesh,
                                  const Vertices& vertices,
                                  absl::string_view operation,
                                  absl::string_view kind = "mesh" )
        {
            if( all_points_within_bound( mesh ) )
            {
                return;
            }
            FarthestCoordinate farthest;
            for( const index_t vertex : vertices )
            {
                farthest.add( vertex, mesh.point( vertex ) );
            }
            farthest.refuse_beyond_bound( mesh, operation, kind );
        }
    } // namespace detail
} // namespace vorna
