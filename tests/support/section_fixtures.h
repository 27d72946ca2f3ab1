#pragma once

// 2D meshes for the Section conversions: literal meshes and triangulated
// graded grids over shapes (also used by the Section benchmark, which
// compiles this file without GoogleTest).

#include <functional>
#include <memory>
#include <vector>

#include <vorna/basic/common.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    namespace test
    {
        /// A 2D surface over the points and polygons: triangulated when
        /// every polygon is a triangle, polygonal otherwise; adjacencies
        /// computed when `adjacencies`.
        std::unique_ptr< SurfaceMesh< 2 > >
        surface_2d( const std::vector< Point< 2 > >& points,
                    const std::vector< std::vector< index_t > >& polygons,
                    bool adjacencies = true );

        /// Coordinates along one axis: each interval between consecutive
        /// breaks is split into `cells` parts whose lengths grow by `ratio`
        /// from one to the next. Breaks are kept exactly.
        std::vector< double > graded_axis( const std::vector< double >& breaks,
                                           index_t cells,
                                           double ratio );

        /// Region of the cell whose center is given; NO_CELL leaves the cell
        /// out of the mesh.
        using CellRegion = std::function< index_t( const Point< 2 >& ) >;
        constexpr index_t NO_CELL = INVALID_INDEX;

        /// Triangulates the grid of the coordinates xs times ys: every kept
        /// cell becomes two triangles (the diagonal alternating from cell to
        /// cell), over the grid vertices that kept cells use only, numbered
        /// row by row. Adjacencies are computed over the whole mesh, and the
        /// polygon attribute "region" (unsigned int) holds each triangle's
        /// cell region.
        std::unique_ptr< SurfaceMesh< 2 > >
        triangulated_grid( const std::vector< double >& xs,
                           const std::vector< double >& ys,
                           const CellRegion& region_of_cell );
    } // namespace test
} // namespace vorna
