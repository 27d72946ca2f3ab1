#include <vorna/mesh/corvane_mesh.h>

#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/mesh_builder_factory.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

#include "solid_registration.h"

namespace vorna
{
    namespace
    {
        // Registers Mesh as the one, default implementation of its type,
        // built by Builder.
        template < typename Mesh, typename Builder >
        void register_default_mesh()
        {
            const auto type = Mesh::type_name_static();
            const auto impl = Mesh::impl_name_static();
            MeshFactory::register_mesh< Mesh >( type, impl );
            MeshFactory::register_default( type, impl );
            MeshBuilderFactory::register_creator< Builder >( impl );
        }

        template < index_t D >
        void register_meshes()
        {
            register_default_mesh< PointSet< D >, PointSetBuilder< D > >();
            register_default_mesh< EdgedCurve< D >, EdgedCurveBuilder< D > >();
            register_default_mesh< PolygonalSurface< D >,
                                   SurfaceMeshBuilder< D > >();
            register_default_mesh< TriangulatedSurface< D >,
                                   SurfaceMeshBuilder< D > >();
        }
    } // namespace

    void CorvaneMesh::initialize()
    {
        static CorvaneMesh library;
        library.call_initialize( "CorvaneMesh" );
    }

    void CorvaneMesh::do_initialize()
    {
        register_meshes< 2 >();
        register_meshes< 3 >();
        detail::register_solid_meshes();
    }
} // namespace vorna
