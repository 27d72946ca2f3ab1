#include <vorna/conversion/model/convert_surfaces_into_brep.h>

#include <vorna/conversion/model/brep_from_meshes_builder.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    BRepConversionResult
    convert_surface_into_brep( const SurfaceMesh< 3 >& surface )
    {
        const std::reference_wrapper< const SurfaceMesh< 3 > > surfaces[] = {
            surface };
        return convert_curves_and_surfaces_into_brep( {}, surfaces );
    }

    BRepConversionResult convert_surfaces_into_brep(
        absl::Span< const std::reference_wrapper< const SurfaceMesh< 3 > > >
            surfaces )
    {
        return convert_curves_and_surfaces_into_brep( {}, surfaces );
    }

    BRepConversionResult convert_curves_and_surfaces_into_brep(
        absl::Span< const std::reference_wrapper< const EdgedCurve< 3 > > >
            curves,
        absl::Span< const std::reference_wrapper< const SurfaceMesh< 3 > > >
            surfaces )
    {
        BRep brep;
        detail::BRepFromMeshesBuilder builder{ brep, curves, surfaces };
        auto mappings = builder.build_brep_with_blocks();
        return BRepConversionResult{ std::move( brep ),
                                     std::move( mappings.first ),
                                     std::move( mappings.second ) };
    }
} // namespace vorna
