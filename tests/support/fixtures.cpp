#include <support/fixtures.h>

#include <algorithm>

#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace test
    {
        namespace
        {
            void add_cube( std::vector< Point< 3 > >& points,
                           std::vector< std::array< index_t, 3 > >& triangles,
                           const Point< 3 >& origin,
                           double size )
            {
                const auto offset = static_cast< index_t >( points.size() );
                const auto corners = cube_points( origin, size );
                points.insert( points.end(), corners.begin(), corners.end() );
                for( const auto& triangle : cube_triangles() )
                {
                    triangles.push_back( { triangle[0] + offset,
                                           triangle[1] + offset,
                                           triangle[2] + offset } );
                }
            }
        } // namespace

        std::unique_ptr< SurfaceMesh< 3 > > triangulated_surface(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles,
            absl::string_view name )
        {
            return surface_of( points, as_polygons( triangles ), true, name );
        }

        template < index_t D >
        std::unique_ptr< SurfaceMesh< D > >
        empty_surface( bool triangulated, absl::string_view name )
        {
            auto mesh = SurfaceMesh< D >::create(
                triangulated ? TriangulatedSurface< D >::impl_name_static()
                             : PolygonalSurface< D >::impl_name_static() );
            SurfaceMeshBuilder< D >::create( *mesh )->set_name( name );
            return mesh;
        }

        std::vector< std::vector< index_t > >
        as_polygons( const std::vector< std::array< index_t, 3 > >& triangles )
        {
            std::vector< std::vector< index_t > > polygons;
            for( const auto& t : triangles )
            {
                polygons.push_back( { t[0], t[1], t[2] } );
            }
            return polygons;
        }

        template < index_t D >
        std::unique_ptr< SurfaceMesh< D > >
        surface_of( const std::vector< Point< D > >& points,
                    const std::vector< std::vector< index_t > >& polygons,
                    bool adjacencies,
                    absl::string_view name )
        {
            const bool triangulated =
                std::all_of( polygons.begin(),
                             polygons.end(),
                             []( const std::vector< index_t >& polygon )
                             { return polygon.size() == 3; } );
            auto mesh = empty_surface< D >( triangulated, name );
            auto builder = SurfaceMeshBuilder< D >::create( *mesh );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( const auto& polygon : polygons )
            {
                builder->create_polygon( polygon );
            }
            if( adjacencies )
            {
                builder->compute_polygon_adjacencies();
            }
            return mesh;
        }

        template std::unique_ptr< SurfaceMesh< 2 > >
        surface_of( const std::vector< Point< 2 > >&,
                    const std::vector< std::vector< index_t > >&,
                    bool,
                    absl::string_view );
        template std::unique_ptr< SurfaceMesh< 3 > >
        surface_of( const std::vector< Point< 3 > >&,
                    const std::vector< std::vector< index_t > >&,
                    bool,
                    absl::string_view );
        template std::unique_ptr< SurfaceMesh< 3 > >
        empty_surface( bool, absl::string_view );

        std::vector< Point< 3 > > cube_points( const Point< 3 >& origin,
                                               double size )
        {
            std::vector< Point< 3 > > points;
            for( index_t i = 0; i < 8; i++ )
            {
                points.push_back( cube_point( i, origin, size ) );
            }
            return points;
        }

        template < index_t D >
        std::unique_ptr< SurfaceMesh< D > >
        make_grid_sheet( const Point< D >& origin,
                         const Vector< D >& u,
                         const Vector< D >& v,
                         index_t nu,
                         index_t nv,
                         absl::string_view name )
        {
            auto mesh = SurfaceMesh< D >::create(
                TriangulatedSurface< D >::impl_name_static() );
            auto builder = SurfaceMeshBuilder< D >::create( *mesh );
            builder->set_name( name );
            for( index_t j = 0; j <= nv; j++ )
            {
                for( index_t i = 0; i <= nu; i++ )
                {
                    std::array< double, D > values;
                    for( index_t axis = 0; axis < D; axis++ )
                    {
                        values[axis] =
                            origin.value( axis ) +
                            u.value( axis ) * static_cast< double >( i ) / nu +
                            v.value( axis ) * static_cast< double >( j ) / nv;
                    }
                    builder->create_point( Point< D >{ values } );
                }
            }
            const auto vertex = [nu]( index_t i, index_t j )
            { return j * ( nu + 1 ) + i; };
            for( index_t j = 0; j < nv; j++ )
            {
                for( index_t i = 0; i < nu; i++ )
                {
                    builder->create_polygon( { vertex( i, j ),
                                               vertex( i + 1, j ),
                                               vertex( i + 1, j + 1 ) } );
                    builder->create_polygon( { vertex( i, j ),
                                               vertex( i + 1, j + 1 ),
                                               vertex( i, j + 1 ) } );
                }
            }
            builder->compute_polygon_adjacencies();
            return mesh;
        }

        template std::unique_ptr< SurfaceMesh< 2 > >
        make_grid_sheet( const Point< 2 >&,
                         const Vector< 2 >&,
                         const Vector< 2 >&,
                         index_t,
                         index_t,
                         absl::string_view );
        template std::unique_ptr< SurfaceMesh< 3 > >
        make_grid_sheet( const Point< 3 >&,
                         const Vector< 3 >&,
                         const Vector< 3 >&,
                         index_t,
                         index_t,
                         absl::string_view );

        std::unique_ptr< SurfaceMesh< 3 > > closed_cube(
            const Point< 3 >& origin, double size, absl::string_view name )
        {
            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
            add_cube( points, triangles, origin, size );
            return triangulated_surface( points, triangles, name );
        }

        std::unique_ptr< SurfaceMesh< 3 > > nested_boxes()
        {
            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
            add_cube( points, triangles, Point< 3 >{ { 0, 0, 0 } }, 3 );
            add_cube( points, triangles, Point< 3 >{ { 1, 1, 1 } }, 1 );
            return triangulated_surface( points, triangles, "boxes" );
        }

        std::unique_ptr< SurfaceMesh< 3 > >
        grid_sheet( index_t nx, index_t ny, absl::string_view name )
        {
            return make_grid_sheet( Point< 3 >{ { 0, 0, 0 } },
                                    Vector< 3 >{ { double( nx ), 0, 0 } },
                                    Vector< 3 >{ { 0, double( ny ), 0 } },
                                    nx,
                                    ny,
                                    name );
        }

        std::unique_ptr< SurfaceMesh< 2 > > grid_sheet_2d( index_t nx,
                                                           index_t ny )
        {
            return make_grid_sheet( Point< 2 >{ { 0, 0 } },
                                    Vector< 2 >{ { double( nx ), 0 } },
                                    Vector< 2 >{ { 0, double( ny ) } },
                                    nx,
                                    ny );
        }

        template < index_t D >
        void cut_adjacencies(
            SurfaceMesh< D >& mesh,
            const std::function< index_t( index_t ) >& region_of_polygon )
        {
            auto builder = SurfaceMeshBuilder< D >::create( mesh );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto region = region_of_polygon( p );
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    const auto adjacent = mesh.polygon_adjacent( { p, e } );
                    if( adjacent && region_of_polygon( *adjacent ) != region )
                    {
                        builder->unset_polygon_adjacent( { p, e } );
                    }
                }
            }
        }

        template void
        cut_adjacencies( SurfaceMesh< 2 >&,
                         const std::function< index_t( index_t ) >& );
        template void
        cut_adjacencies( SurfaceMesh< 3 >&,
                         const std::function< index_t( index_t ) >& );

        std::unique_ptr< SurfaceMesh< 3 > >
        grid_sheet_in_regions( index_t nx, index_t ny, index_t blocks )
        {
            auto mesh = grid_sheet( nx, ny );
            const auto block_x = std::max< index_t >( nx / blocks, 1 );
            const auto block_y = std::max< index_t >( ny / blocks, 1 );
            cut_adjacencies< 3 >( *mesh,
                                  [=]( index_t polygon )
                                  {
                                      const auto cell = polygon / 2;
                                      const auto bi = std::min(
                                          ( cell % nx ) / block_x, blocks - 1 );
                                      const auto bj = std::min(
                                          ( cell / nx ) / block_y, blocks - 1 );
                                      return bj * blocks + bi;
                                  } );
            return mesh;
        }

        std::unique_ptr< SurfaceMesh< 3 > >
        sheet_with_cut( index_t nx, index_t ny, index_t column )
        {
            auto mesh = grid_sheet( nx, ny );
            cut_adjacencies< 3 >( *mesh,
                                  [=]( index_t polygon ) {
                                      return ( polygon / 2 ) % nx < column ? 0u
                                                                           : 1u;
                                  } );
            return mesh;
        }

        std::pair< std::unique_ptr< SurfaceMesh< 3 > >,
                   std::unique_ptr< SurfaceMesh< 3 > > >
        two_boxes_sharing_a_face()
        {
            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
            add_cube( points, triangles, Point< 3 >{ { 0, 0, 0 } }, 1 );
            auto left = triangulated_surface( points, triangles, "left" );
            points.clear();
            triangles.clear();
            add_cube( points, triangles, Point< 3 >{ { 1, 0, 0 } }, 1 );
            auto right = triangulated_surface( points, triangles, "right" );
            return { std::move( left ), std::move( right ) };
        }

        template < index_t D >
        std::unique_ptr< EdgedCurve< D > >
        polyline( const std::vector< Point< D > >& points, bool closed )
        {
            auto curve = EdgedCurve< D >::create();
            auto builder = EdgedCurveBuilder< D >::create( *curve );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            const auto nb = static_cast< index_t >( points.size() );
            for( index_t v = 0; v + 1 < nb; v++ )
            {
                builder->create_edge( v, v + 1 );
            }
            if( closed && nb > 2 )
            {
                builder->create_edge( nb - 1, 0 );
            }
            return curve;
        }

        template std::unique_ptr< EdgedCurve< 2 > >
        polyline( const std::vector< Point< 2 > >&, bool );
        template std::unique_ptr< EdgedCurve< 3 > >
        polyline( const std::vector< Point< 3 > >&, bool );

        std::unique_ptr< EdgedCurve< 3 > >
        curve_of( const std::vector< Point< 3 > >& points,
                  const std::vector< std::array< index_t, 2 > >& edges )
        {
            auto curve = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *curve );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( const auto& edge : edges )
            {
                builder->create_edge( edge[0], edge[1] );
            }
            return curve;
        }

        std::unique_ptr< EdgedCurve< 3 > > closed_square_curve( double size,
                                                                double height )
        {
            return polyline< 3 >( { Point< 3 >{ { 0, 0, height } },
                                    Point< 3 >{ { size, 0, height } },
                                    Point< 3 >{ { size, size, height } },
                                    Point< 3 >{ { 0, size, height } } },
                                  true );
        }

        std::unique_ptr< EdgedCurve< 3 > >
        curve_on_grid_border( index_t length )
        {
            std::vector< Point< 3 > > points;
            for( index_t i = 0; i <= length; i++ )
            {
                points.push_back( Point< 3 >{ { double( i ), 0, 0 } } );
            }
            return polyline< 3 >( points, false );
        }
    } // namespace test
} // namespace vorna
