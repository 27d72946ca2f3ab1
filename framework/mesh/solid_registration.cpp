#include "solid_registration.h"

#include <vorna/mesh/mesh_builder_factory.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>

namespace vorna
{
    namespace detail
    {
        namespace
        {
            template < typename Mesh >
            void register_solid()
            {
                const auto type = Mesh::type_name_static();
                const auto impl = Mesh::impl_name_static();
                MeshFactory::register_mesh< Mesh >( type, impl );
                MeshFactory::register_default( type, impl );
                MeshBuilderFactory::register_creator< SolidMeshBuilder< 3 > >(
                    impl );
            }
        } // namespace

        void register_solid_meshes()
        {
            register_solid< PolyhedralSolid3D >();
            register_solid< TetrahedralSolid3D >();
        }
    } // namespace detail
} // namespace vorna
