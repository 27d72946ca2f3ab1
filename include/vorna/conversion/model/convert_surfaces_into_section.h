#pragma once

#include <functional>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/model/section.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    /// Converts one 2D surface mesh into a Section: one surface per group of
    /// polygons joined by the adjacencies the mesh stores, its lines, corners
    /// and model boundary, the surfaces cut along their internal lines.
    /// ConversionModel::initialize() must have been called. Leaves on the
    /// mesh the polygon attributes "surface_identifier" (group number) and
    /// "surface_uuid" (the surface of each polygon), so two threads must not
    /// convert one mesh at once.
    /// \throw as detail::SectionFromSurfaceBuilder's constructor and build.
    Section convert_surface_into_section( const SurfaceMesh< 2 >& mesh );

    /// Converts several 2D surface meshes into a Section, one surface per
    /// mesh with polygons (a mesh without any adds nothing), joined where
    /// their vertices lie within 1e-6. The meshes are only read.
    /// \throw as detail::SectionFromSurfacesBuilder::build.
    Section convert_surfaces_into_section(
        absl::Span< const std::reference_wrapper< const SurfaceMesh< 2 > > >
            meshes );

    /// Converts a 2D surface mesh into a Section with one surface per region
    /// of the named polygon attribute: first removes from the mesh, for
    /// good, every adjacency between polygons whose values differ (compared
    /// exactly; a NaN differs from everything, +0.0 equals -0.0), then runs
    /// convert_surface_into_section on it.
    /// \throw CorvaneException "[convert_surface_into_section_from_attribute]
    /// Attribute not found." when the mesh has no such polygon attribute;
    /// "[convert_surface_into_section_from_attribute] Polygon attribute
    /// \"<name>\" of the mesh has another type than the one the conversion
    /// writes under that name" when "surface_identifier" or "surface_uuid"
    /// holds another type; "[convert_surface_into_section_from_attribute]
    /// Coordinates must lie within [-1e+40, 1e+40]: vertex <v> of mesh
    /// '<name or uuid>' has <value>" when a polygon vertex lies beyond that
    /// bound (the farthest coordinate named; the mesh is unchanged in these
    /// three cases); as convert_surface_into_section.
    Section convert_surface_into_section_from_attribute(
        SurfaceMesh< 2 >& mesh, absl::string_view attribute_name );
} // namespace vorna
