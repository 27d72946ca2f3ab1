#pragma once

// Small solids built in code for the solid conversion tests and benchmarks.
// No test framework is needed to compile them.

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/conversion/common/variable_attribute.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/mesh_element.h>
#include <vorna/mesh/solid_mesh.h>

namespace vorna
{
    namespace test
    {
        /// The tetrahedron (0,0,0), (1,0,0), (0,1,0), (0,0,1) (vertices 0 to
        /// 3, positive volume) on a tetrahedral solid.
        std::unique_ptr< SolidMesh< 3 > > one_tetrahedron();

        /// one_tetrahedron() and a second tetrahedron (4, 1, 3, 2), vertex 4
        /// at (1,1,1), beyond the facet (1, 2, 3) they share. That facet is
        /// polyhedron facet {0, 0} and {1, 0}; their adjacency is stored on
        /// both sides when `adjacent`, on neither otherwise.
        std::unique_ptr< SolidMesh< 3 > > two_tetrahedra( bool adjacent );

        /// one_tetrahedron() and a copy of it moved by `distance` along x
        /// (vertices 4 to 7, polyhedron 1); no adjacency stored.
        std::unique_ptr< SolidMesh< 3 > >
        two_tetrahedra_apart( double distance );

        /// The hexahedron [0,1]^3 alone on a polyhedral solid: vertex i at
        /// cube_point(i), its facets the CUBE_QUADS in order; no adjacency
        /// stored.
        std::unique_ptr< SolidMesh< 3 > > one_hexahedron();

        /// nx x ny x nz cubes of side `size` on a polyhedral solid,
        /// adjacencies computed: the point size * (i, j, k) is vertex
        /// i + (nx + 1) * (j + (ny + 1) * k), and each hexahedron has the
        /// facets of one_hexahedron() (the CUBE_QUADS) over its corners.
        /// Hexahedron x + nx * (y + ny * z) has its corner nearest the origin
        /// at size * (x, y, z); along x, the face it shares with the next is
        /// its facet 5 and the next one's facet 4.
        std::unique_ptr< SolidMesh< 3 > >
        hexahedral_grid( index_t nx, index_t ny, index_t nz, double size = 1 );

        /// n x n x n unit cubes of 6 tetrahedra each (the grid of
        /// mesh/solid_grid.h) on a tetrahedral solid, adjacencies computed.
        /// Polyhedra 6c to 6c+5 fill cube c = x + n * (y + n * z), whose
        /// corner nearest the origin is at (x, y, z).
        std::unique_ptr< SolidMesh< 3 > > tetrahedral_grid( index_t n );

        /// The cube (x, y, z) of a polyhedron of tetrahedral_grid(n).
        std::array< index_t, 3 > grid_cube( index_t n, index_t polyhedron );

        /// Cuts the grid of tetrahedral_grid(n) into parts^3 boxes of whole
        /// cubes (parts slabs per axis, the last taking the remainder) and
        /// numbers them in the polyhedron attribute `name`: box
        /// (i, j, k) is region i + parts * (j + parts * k).
        std::shared_ptr< VariableAttribute< unsigned int > >
        add_box_regions( SolidMesh< 3 >& grid,
                         index_t n,
                         index_t parts,
                         absl::string_view name = "region" );

        /// Removes the adjacency across the facet on both sides.
        /// \pre the facet has an adjacent polyhedron that stores the
        /// adjacency back.
        void cut_adjacency( SolidMesh< 3 >& solid,
                            const PolyhedronFacet& facet );

        /// A polyhedral solid of four polyhedra joined across whole facets,
        /// adjacencies computed: the hexahedron [0,1]^3 (polyhedron 0,
        /// vertices 0 to 7, vertex i at (i & 1, (i >> 1) & 1, i >> 2)), the
        /// prism beyond its face x = 1 over the triangle (1,0), (2,0), (1,1)
        /// of the xz-plane (polyhedron 1, from y = 0 to y = 1), and one
        /// tetrahedron on each triangular face of the prism (polyhedra 2 and
        /// 3). Every facet faces outwards.
        std::unique_ptr< SolidMesh< 3 > > mixed_polyhedra();

        /// Two unit cubes of 6 tetrahedra side by side on a tetrahedral
        /// solid, [0,1]^3 (vertices 0 to 7, polyhedra 0 to 5) and
        /// [1+gap, 2+gap] x [0,1]^2 (vertices 8 to 15, polyhedra 6 to 11),
        /// as a mesher that meshes each region on its own gives them: the
        /// four points of the common face exist twice (within `gap`), and
        /// adjacencies are computed, so none joins the two cubes.
        std::unique_ptr< SolidMesh< 3 > >
        two_cubes_with_duplicated_nodes( double gap );

        /// The edge of the solid between vertices a and b.
        /// \pre the solid has that edge.
        index_t edge( const SolidMesh< 3 >& solid, index_t a, index_t b );

        using PointFilter = std::function< bool( const Point< 3 >& ) >;

        /// The points whose coordinate `axis` is `value`.
        PointFilter plane( index_t axis, double value );

        /// The facets of the solid whose vertices all pass `keep`,
        /// ascending.
        std::vector< index_t > facets_where( const SolidMesh< 3 >& solid,
                                             const PointFilter& keep );

        /// The edges that one of the facets alone uses (a facet listed
        /// twice uses its edges twice), ascending.
        std::vector< index_t >
        border_edges( const SolidMesh< 3 >& solid,
                      absl::Span< const index_t > facets );

        /// The edges that the facets use other than exactly twice (alone,
        /// or where three or more meet), ascending.
        std::vector< index_t >
        unpaired_edges( const SolidMesh< 3 >& solid,
                        absl::Span< const index_t > facets );
    } // namespace test
} // namespace vorna
