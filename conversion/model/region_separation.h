#pragma once

#include <absl/strings/string_view.h>

#include <vorna/basic/common.h>

namespace vorna
{
    class AttributeBase;
    template < index_t D >
    class SurfaceMesh;
    template < index_t D >
    class SurfaceMeshBuilder;
    template < index_t D >
    class SolidMesh;
    template < index_t D >
    class SolidMeshBuilder;

    namespace detail
    {
        /// Removes, on both sides, every polygon adjacency between two
        /// polygons whose attribute values differ, so that grouping by
        /// adjacency gives one group per region.
        ///
        /// Values of an arithmetic type are compared exactly as stored:
        /// distinct integers never merge, +0.0 equals -0.0, and a NaN
        /// differs from every value, itself included. An attribute of any
        /// other type is compared through its float reading, so one that
        /// has none separates nothing.
        /// \pre the builder writes `mesh`; the attribute is one of its
        /// polygon attributes.
        /// \throw whatever the mesh or builder throws, once the parallel
        /// loop has stopped; adjacencies already removed stay removed.
        void unset_polygon_adjacencies_by_attribute(
            const SurfaceMesh< 2 >& mesh,
            SurfaceMeshBuilder< 2 >& builder,
            const AttributeBase& attribute );

        /// Refuses, before anything changes, a mesh on which
        /// convert_surface_into_section could not write its own polygon
        /// attributes, "surface_identifier" (unsigned int) and
        /// "surface_uuid" (uuid): one of those names taken by an attribute
        /// of another type or storage. The separation must not run first,
        /// as it would leave the mesh cut for nothing.
        /// \throw CorvaneException "[<operation>] Polygon attribute
        /// \"<name>\" of the mesh has another type than the one the
        /// conversion writes under that name".
        void check_section_attribute_names( const SurfaceMesh< 2 >& mesh,
                                            absl::string_view operation );

        /// The same for the polyhedra of a solid and their facets.
        void unset_polyhedron_adjacencies_by_attribute(
            const SolidMesh< 3 >& solid,
            SolidMeshBuilder< 3 >& builder,
            const AttributeBase& attribute );
    } // namespace detail
} // namespace vorna
