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

        /// The same for the polyhedra of a solid and their facets.
        void unset_polyhedron_adjacencies_by_attribute(
            const SolidMesh< 3 >& solid,
            SolidMeshBuilder< 3 >& builder,
            const AttributeBase& attribute );
    } // namespace detail
} // namespace vorna
