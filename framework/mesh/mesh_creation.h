#pragma once

#include <memory>

#include <absl/strings/string_view.h>

#include <vorna/basic/corvane_exception.h>
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
    } // namespace detail
} // namespace vorna
