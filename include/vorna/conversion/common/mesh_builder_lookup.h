#pragma once

#include <memory>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    template < index_t D >
    class Blocks;
    template < index_t D >
    class Surfaces;
    template < index_t D >
    class SurfaceMesh;
    template < index_t D >
    class SurfaceMeshBuilder;
    template < index_t D >
    class SolidMeshBuilder;

    // Builders that write in place into a mesh, whatever its implementation,
    // found through the mesh-builder factory under the mesh's implementation
    // key. Safe to call from several threads once the framework has
    // registered its creators (ConversionModel::initialize), provided each
    // caller works on a component no other task uses.

    /// Builder of the block's own mesh (pass the BRep).
    /// \throw CorvaneException "[Factory::create] Factory does not contain the
    /// requested key" when the key has no creator, or "Cannot create mesh
    /// builder with key: <key>" when its builder is not a solid builder;
    /// whatever modifiable_block throws for an unknown block.
    std::unique_ptr< SolidMeshBuilder< 3 > >
    brep_block_mesh_builder( Blocks< 3 >& blocks, const uuid& block_id );

    /// Builder of the surface's own mesh (pass the BRep). Throws as
    /// brep_block_mesh_builder.
    std::unique_ptr< SurfaceMeshBuilder< 3 > >
    brep_surface_mesh_builder( Surfaces< 3 >& surfaces,
                               const uuid& surface_id );

    /// Builder of the surface's own mesh (pass the Section). Throws as
    /// brep_block_mesh_builder.
    std::unique_ptr< SurfaceMeshBuilder< 2 > >
    section_surface_mesh_builder( Surfaces< 2 >& surfaces,
                                  const uuid& surface_id );

    /// Builder of a mesh given directly. Throws as brep_block_mesh_builder.
    std::unique_ptr< SurfaceMeshBuilder< 3 > >
    create_surface_mesh_builder( SurfaceMesh< 3 >& mesh );
} // namespace vorna
