#pragma once

#include <functional>
#include <tuple>

#include <absl/types/span.h>

#include <vorna/conversion/common/component_mesh_element.h>
#include <vorna/conversion/common/generic_mapping.h>
#include <vorna/conversion/common/mesh_element.h>
#include <vorna/conversion/common/mesh_vertex.h>
#include <vorna/model/brep.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    template < index_t D >
    class EdgedCurve;
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    /// A converted model with, for every input vertex and input element, the
    /// model component vertices and elements it became.
    using BRepConversionResult =
        std::tuple< BRep,
                    GenericMapping< MeshVertex, ComponentMeshVertex >,
                    GenericMapping< MeshElement, ComponentMeshElement > >;

    /// Converts one 3D surface mesh into a BRep with corners, lines,
    /// surfaces, blocks (one per enclosed volume) and model boundaries.
    /// ConversionModel::initialize() must have been called. Leaves no
    /// attribute on the mesh.
    /// \throw as detail::BRepFromMeshesBuilder::build_brep_with_blocks.
    BRepConversionResult
    convert_surface_into_brep( const SurfaceMesh< 3 >& surface );

    /// Converts several 3D surface meshes, merged at coincident points
    /// (within 1e-6), into one BRep; same result as
    /// convert_surface_into_brep.
    /// \throw as detail::BRepFromMeshesBuilder::build_brep_with_blocks.
    BRepConversionResult convert_surfaces_into_brep(
        absl::Span< const std::reference_wrapper< const SurfaceMesh< 3 > > >
            surfaces );

    /// Converts 3D curves and surface meshes into one BRep: the curves
    /// become lines too, cutting the surfaces they lie on.
    /// \throw as detail::BRepFromMeshesBuilder::build_brep_with_blocks.
    BRepConversionResult convert_curves_and_surfaces_into_brep(
        absl::Span< const std::reference_wrapper< const EdgedCurve< 3 > > >
            curves,
        absl::Span< const std::reference_wrapper< const SurfaceMesh< 3 > > >
            surfaces );
} // namespace vorna
