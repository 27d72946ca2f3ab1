#include <vorna/conversion/common/mesh_builder_lookup.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/mesh_builder_factory.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/blocks.h>
#include <vorna/model/surfaces.h>

namespace
{
    template < typename Builder >
    std::unique_ptr< Builder > typed_builder( vorna::VertexSet& mesh )
    {
        const auto key = mesh.impl_name();
        auto builder = vorna::MeshBuilderFactory::create(
            key, mesh, vorna::MeshBuilderFactoryKey{} );
        auto* typed = dynamic_cast< Builder* >( builder.get() );
        if( typed == nullptr )
        {
            throw vorna::CorvaneException(
                "Cannot create mesh builder with key: ", key.get() );
        }
        builder.release();
        return std::unique_ptr< Builder >{ typed };
    }
} // namespace

namespace vorna
{
    std::unique_ptr< SolidMeshBuilder< 3 > >
    brep_block_mesh_builder( Blocks< 3 >& blocks, const uuid& block_id )
    {
        return typed_builder< SolidMeshBuilder< 3 > >(
            blocks.modifiable_block( block_id ).get_modifiable_mesh() );
    }

    std::unique_ptr< SurfaceMeshBuilder< 3 > >
    brep_surface_mesh_builder( Surfaces< 3 >& surfaces, const uuid& surface_id )
    {
        return typed_builder< SurfaceMeshBuilder< 3 > >(
            surfaces.modifiable_surface( surface_id ).get_modifiable_mesh() );
    }

    std::unique_ptr< SurfaceMeshBuilder< 2 > >
    section_surface_mesh_builder( Surfaces< 2 >& surfaces,
                                  const uuid& surface_id )
    {
        return typed_builder< SurfaceMeshBuilder< 2 > >(
            surfaces.modifiable_surface( surface_id ).get_modifiable_mesh() );
    }

    std::unique_ptr< SurfaceMeshBuilder< 3 > >
    create_surface_mesh_builder( SurfaceMesh< 3 >& mesh )
    {
        return typed_builder< SurfaceMeshBuilder< 3 > >( mesh );
    }
} // namespace vorna
