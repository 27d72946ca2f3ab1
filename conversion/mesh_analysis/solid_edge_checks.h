#pragma once

#include <cmath>
#include <vector>

#include <absl/types/span.h>

#include <conversion/common/input_checks.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/solid_mesh.h>

namespace vorna
{
    namespace detail
    {
        /// Refuses the smallest of the solid vertices with a non-finite
        /// coordinate, as refuse_non_finite_point words it, then the
        /// farthest coordinate of them beyond the bound.
        inline void
        refuse_unusable_vertices( const char* operation,
                                  const SolidMesh< 3 >& solid,
                                  absl::Span< const index_t > vertices )
        {
            auto first = INVALID_INDEX;
            FarthestCoordinate farthest;
            for( const auto vertex : vertices )
            {
                const auto& point = solid.point( vertex );
                if( vertex < first )
                {
                    for( const auto value : point.values() )
                    {
                        if( !std::isfinite( value ) )
                        {
                            first = vertex;
                        }
                    }
                }
                farthest.add( vertex, point );
            }
            if( first != INVALID_INDEX )
            {
                refuse_non_finite_point( solid, first, operation );
            }
            farthest.refuse_beyond_bound( solid, operation );
        }

        /// Refuses a model that numbers unique vertices already (unique
        /// vertex i must become solid vertex i), an edge index that the
        /// solid does not have, and an edge end with a non-finite
        /// coordinate or one beyond the bound. `operation` opens the message.
        template < typename Model >
        void check_solid_edges_input( const char* operation,
                                      const Model& model,
                                      const SolidMesh< 3 >& solid,
                                      absl::Span< const index_t > edges )
        {
            if( model.nb_unique_vertices() != 0 )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] The model to build must have no "
                                        "unique vertex (it has ",
                                        model.nb_unique_vertices(),
                                        ")" );
            }
            const auto nb_edges = solid.edges().nb_edges();
            for( std::size_t position = 0; position < edges.size(); position++ )
            {
                if( edges[position] >= nb_edges )
                {
                    throw CorvaneException( "[",
                                            operation,
                                            "] Line edge ",
                                            edges[position],
                                            " at position ",
                                            position,
                                            " is not an edge of the solid "
                                            "(it has ",
                                            nb_edges,
                                            " edges)" );
                }
            }
            std::vector< index_t > ends;
            ends.reserve( 2 * edges.size() );
            for( const auto edge : edges )
            {
                const auto& vertices = solid.edges().edge_vertices( edge );
                ends.insert( ends.end(), vertices.begin(), vertices.end() );
            }
            refuse_unusable_vertices( operation, solid, ends );
        }
    } // namespace detail
} // namespace vorna
