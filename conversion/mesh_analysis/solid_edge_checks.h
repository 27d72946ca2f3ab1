#pragma once

#include <absl/types/span.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/solid_mesh.h>

namespace vorna
{
    namespace detail
    {
        /// Refuses a model that numbers unique vertices already (unique
        /// vertex i must become solid vertex i) and an edge index that the
        /// solid does not have. `operation` opens the message.
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
        }
    } // namespace detail
} // namespace vorna
