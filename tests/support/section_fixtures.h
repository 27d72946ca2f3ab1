#pragma once

// 2D meshes for the Section conversions: literal meshes and triangulated
// graded grids over shapes (also used by the Section benchmark, which
// compiles this file without GoogleTest).

#include <functional>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/conversion/common/variable_attribute.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    class Section;
} // namespace vorna

namespace vorna
{
    namespace test
    {
        /// Triangles {0, 1, 2} and {1, 3, 2} over the unit square, joined or
        /// not (then each is a region of its own).
        std::unique_ptr< SurfaceMesh< 2 > > two_triangles_2d( bool joined );

        /// Triangles {0, 1, 2} and {0, 3, 4} touching only at vertex 0,
        /// (0, 0).
        std::unique_ptr< SurfaceMesh< 2 > > bowtie_2d();

        /// grid_sheet_2d(4, 4) without adjacency across the slit y = 2,
        /// 1 <= x <= 3 (two grid edges): one region with an inner slit.
        std::unique_ptr< SurfaceMesh< 2 > > grid_with_slit_2d();

        /// The corner points of the Section, in creation order.
        std::vector< Point< 2 > > corner_points( const Section& section );

        /// A polygon attribute whose copy fails, as a fault inside the task
        /// that copies the region holding `polygon`: extracting it throws
        /// CorvaneException "[test] polygon <polygon> cannot be copied"
        /// when the old-to-new table maps that polygon.
        class FailingCopyAttribute : public VariableAttribute< index_t >
        {
          public:
            explicit FailingCopyAttribute( index_t polygon );

            std::shared_ptr< AttributeBase >
            extract( absl::Span< const index_t > old2new,
                     index_t nb_elements ) const override;

          private:
            index_t polygon_;
        };

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
