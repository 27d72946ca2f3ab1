#include <vorna/conversion/model/convert_surfaces_into_section.h>

#include <conversion/model/region_separation.h>
#include <conversion/model/section_input.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/model/section_from_surface_builder.h>
#include <vorna/conversion/model/section_from_surfaces_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    Section convert_surface_into_section( const SurfaceMesh< 2 >& mesh )
    {
        Section section;
        detail::SectionFromSurfaceBuilder{ section, mesh }.build();
        return section;
    }

    Section convert_surfaces_into_section(
        absl::Span< const std::reference_wrapper< const SurfaceMesh< 2 > > >
            meshes )
    {
        Section section;
        detail::SectionFromSurfacesBuilder{ section, meshes }.build();
        return section;
    }

    Section convert_surface_into_section_from_attribute(
        SurfaceMesh< 2 >& mesh, absl::string_view attribute_name )
    {
        Logger::log_trace( "Converting Surface into Section from attribute" );
        const auto attribute =
            mesh.polygon_attribute_manager().find_generic_attribute(
                attribute_name );
        if( !attribute )
        {
            throw CorvaneException( "[convert_surface_into_section_from_"
                                    "attribute] Attribute not found." );
        }
        detail::check_section_attribute_names(
            mesh, "convert_surface_into_section_from_attribute" );
        detail::refuse_far_points(
            mesh, "convert_surface_into_section_from_attribute" );
        const auto builder = SurfaceMeshBuilder< 2 >::create( mesh );
        detail::unset_polygon_adjacencies_by_attribute(
            mesh, *builder, *attribute );
        return convert_surface_into_section( mesh );
    }
} // namespace vorna
