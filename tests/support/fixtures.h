#pragma once

// Small literal meshes shared by the tests and benchmarks.

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <absl/strings/string_view.h>

#include <vorna/basic/common.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>

#include <support/cube_tables.h>

namespace vorna
{
    namespace test
    {
        /// Lists of meshes as the conversions take them.
        using SurfaceRefs =
            std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > >;
        using CurveRefs =
            std::vector< std::reference_wrapper< const EdgedCurve< 3 > > >;

        inline Point< 3 > point( double x, double y, double z )
        {
            return Point< 3 >{ { x, y, z } };
        }

        /// The attribute `name` of the manager (T{} by default), found or
        /// created, with value i on element i.
        template < typename T >
        std::shared_ptr< VariableAttribute< T > >
        set_values( AttributeManager& manager,
                    absl::string_view name,
                    const std::vector< T >& values )
        {
            auto attribute =
                manager.find_or_create_attribute< VariableAttribute, T >( name,
                                                                          T{} );
            for( index_t i = 0; i < values.size(); i++ )
            {
                attribute->set_value( i, values[i] );
            }
            return attribute;
        }

        /// A triangulated surface over the points and triangles, with
        /// adjacencies computed, named `name`.
        std::unique_ptr< SurfaceMesh< 3 > > triangulated_surface(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles,
            absl::string_view name = "" );

        /// Empty surface named `name`: triangulated, or polygonal when not
        /// `triangulated`.
        template < index_t D = 3 >
        std::unique_ptr< SurfaceMesh< D > >
        empty_surface( bool triangulated, absl::string_view name = "" );

        /// The triangles as a list of polygons, for surface_of.
        std::vector< std::vector< index_t > >
        as_polygons( const std::vector< std::array< index_t, 3 > >& triangles );

        /// A surface over the points and polygons, named `name`:
        /// triangulated when every polygon is a triangle, polygonal
        /// otherwise; adjacencies computed when `adjacencies`.
        template < index_t D >
        std::unique_ptr< SurfaceMesh< D > >
        surface_of( const std::vector< Point< D > >& points,
                    const std::vector< std::vector< index_t > >& polygons,
                    bool adjacencies = true,
                    absl::string_view name = "" );

        /// The 8 cube_point corners of the cube [origin, origin + size]^3.
        std::vector< Point< 3 > > cube_points( const Point< 3 >& origin,
                                               double size );

        /// Closed cube [origin, origin + size]^3 named `name`: the 12
        /// cube_triangles over the 8 cube_points, oriented outwards,
        /// adjacencies computed, one region.
        std::unique_ptr< SurfaceMesh< 3 > >
        closed_cube( const Point< 3 >& origin = Point< 3 >{ { 0, 0, 0 } },
                     double size = 1,
                     absl::string_view name = "cube" );

        /// One mesh with two closed shells: the cube [0, 3]^3 and, nested
        /// inside it, the cube [1, 2]^3 (vertices 8 to 15, polygons 12 to
        /// 23).
        std::unique_ptr< SurfaceMesh< 3 > > nested_boxes();

        /// Flat triangulated grid of the points origin + i/nu * u + j/nv * v
        /// (i <= nu, j <= nv), named `name`: vertex (i, j) is
        /// j * (nu + 1) + i; cell (i, j) holds the triangles 2c and 2c + 1,
        /// c = j * nu + i, both turning from u to v. Adjacencies computed.
        template < index_t D >
        std::unique_ptr< SurfaceMesh< D > >
        make_grid_sheet( const Point< D >& origin,
                         const Vector< D >& u,
                         const Vector< D >& v,
                         index_t nu,
                         index_t nv,
                         absl::string_view name = "" );

        /// Open sheet in the plane z = 0 over [0, nx] x [0, ny]: vertex
        /// (i, j) is j * (nx + 1) + i; cell (i, j) holds triangles 2c and
        /// 2c + 1, c = j * nx + i. Adjacencies computed, one region.
        std::unique_ptr< SurfaceMesh< 3 > >
        grid_sheet( index_t nx, index_t ny, absl::string_view name = "sheet" );

        /// Same grid in 2D.
        std::unique_ptr< SurfaceMesh< 2 > > grid_sheet_2d( index_t nx,
                                                           index_t ny );

        /// Removes, on both sides, every adjacency between two polygons
        /// whose regions differ.
        template < index_t D >
        void cut_adjacencies(
            SurfaceMesh< D >& mesh,
            const std::function< index_t( index_t ) >& region_of_polygon );

        /// The grid sheet cut into blocks x blocks regions of whole cells
        /// (the last row and column of blocks take the remainder).
        std::unique_ptr< SurfaceMesh< 3 > >
        grid_sheet_in_regions( index_t nx, index_t ny, index_t blocks );

        /// grid_sheet(nx, ny) cut along the grid line x = column into two
        /// regions (cells with i < column, the others).
        std::unique_ptr< SurfaceMesh< 3 > >
        sheet_with_cut( index_t nx, index_t ny, index_t column );

        /// Two closed boxes sharing the face x = 1, as two meshes named
        /// "left" ([0, 1]^3) and "right" ([1, 2] x [0, 1]^2), triangulated
        /// so that the shared face has the same two triangles in both.
        std::pair< std::unique_ptr< SurfaceMesh< 3 > >,
                   std::unique_ptr< SurfaceMesh< 3 > > >
        two_boxes_sharing_a_face();

        /// A polyline through the points; closed when `closed` (the last
        /// point joins the first, no repeated vertex).
        template < index_t D >
        std::unique_ptr< EdgedCurve< D > >
        polyline( const std::vector< Point< D > >& points, bool closed );

        /// A curve over the points and edges.
        std::unique_ptr< EdgedCurve< 3 > >
        curve_of( const std::vector< Point< 3 > >& points,
                  const std::vector< std::array< index_t, 2 > >& edges );

        /// Closed square curve of 4 edges in the plane z = height, around
        /// [0, size]^2.
        std::unique_ptr< EdgedCurve< 3 > > closed_square_curve( double size,
                                                                double height );

        /// Curve along the border y = 0 of grid_sheet(nx, ...) from x = 0 to
        /// x = length, one edge per cell.
        std::unique_ptr< EdgedCurve< 3 > >
        curve_on_grid_border( index_t length );
    } // namespace test
} // namespace vorna
