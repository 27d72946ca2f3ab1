#pragma once

// Finely meshed solids with smooth and sharp parts, for the sharp-feature
// tests and benchmarks (no GoogleTest needed). Each is one welded,
// triangulated, closed surface mesh with its adjacencies computed, normals
// pointing out of the solid, and the same mesh for the same resolution.

#include <memory>

#include <vorna/basic/common.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    namespace test
    {
        /// The box [-1, 1]^3 pierced along z by a cylindrical hole of radius
        /// 0.5 centred on the axis. With n = `resolution` (at least 1): 4n
        /// segments around the hole and around the box, n layers along z,
        /// ceil(n / 2) rings between hole and box on the top and bottom
        /// faces; 16 n^2 + 16 n ceil(n / 2) triangles (1,010,240 for n =
        /// 205). Adjacent facets of the hole's wall turn by 90 / n
        /// degrees; every other dihedral angle is 180 inside a face and 90
        /// on the box's edges and the hole's rims.
        std::unique_ptr< SurfaceMesh< 3 > >
        box_with_through_hole( index_t resolution );

        /// The cylinder of radius 1 around the z axis over z in [-1, 1],
        /// closed by two disks. With n = `resolution` (at least 1): 4n
        /// segments around, n layers along the wall, n rings on each disk
        /// around a centre vertex. Adjacent wall facets turn by 90 / n
        /// degrees; the rims are at 90.
        std::unique_ptr< SurfaceMesh< 3 > >
        closed_cylinder( index_t resolution );

        /// The box [-1, 1]^3 with a spherical cavity of radius 0.5 at its
        /// centre, as one mesh with two shells: the box (vertices and
        /// polygons first) with 2 n^2 triangles per face, then the sphere,
        /// a cube of n x n squares per face projected onto it, its normals
        /// pointing to its centre, for n = `resolution` (at least 1).
        std::unique_ptr< SurfaceMesh< 3 > >
        box_with_sphere_cavity( index_t resolution );
    } // namespace test
} // namespace vorna
