#pragma once

#include <cmath>
#include <string>

#include <absl/strings/string_view.h>

#include <vorna/basic/corvane_exception.h>
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
    } // namespace detail
} // namespace vorna
