#pragma once

#include <memory>
#include <vector>

#include <absl/strings/string_view.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/corvane_mesh.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    namespace detail
    {
        // Creates a mesh of the implementation and checks its interface.
        template < typename Mesh >
        std::unique_ptr< Mesh > create_typed_mesh( const MeshImpl& impl,
                                                   absl::string_view operation )
        {
            CorvaneMesh::initialize();
            if( !MeshFactory::Creators::has_creator( impl ) )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] Unknown mesh implementation: ",
                                        impl.get() );
            }
            auto mesh = MeshFactory::create_mesh( impl );
            auto* typed = dynamic_cast< Mesh* >( mesh.get() );
            if( typed == nullptr )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] Mesh implementation ",
                                        impl.get(),
                                        " has another interface" );
            }
            mesh.release();
            return std::unique_ptr< Mesh >{ typed };
        }

        /// The mesh a builder was given, as the type the builder writes.
        /// \throw CorvaneException "[operation] Mesh is not <kind>: <impl>".
        template < typename Mesh >
        Mesh& typed_mesh( VertexSet& mesh,
                          absl::string_view operation,
                          absl::string_view kind )
        {
            auto* typed = dynamic_cast< Mesh* >( &mesh );
            if( typed == nullptr )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] Mesh is not ",
                                        kind,
                                        ": ",
                                        mesh.impl_name().get() );
            }
            return *typed;
        }

        /// Moves vertex `vertex` of a mesh whose points are `points`.
        /// \throw CorvaneException "[operation] Invalid vertex v (n
        /// vertices)".
        template < index_t D >
        void set_mesh_point( std::vector< Point< D > >& points,
                             index_t vertex,
                             const Point< D >& point,
                             absl::string_view operation )
        {
            if( vertex >= points.size() )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] Invalid vertex ",
                                        vertex,
                                        " (",
                                        points.size(),
                                        " vertices)" );
            }
            points[vertex] = point;
        }
    } // namespace detail
} // namespace vorna
