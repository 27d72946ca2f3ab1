#include <support/section_fixtures.h>

#include <algorithm>
#include <cmath>

#include <vorna/conversion/common/attribute.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace test
    {
        std::unique_ptr< SurfaceMesh< 2 > >
        surface_2d( const std::vector< Point< 2 > >& points,
                    const std::vector< std::vector< index_t > >& polygons,
                    bool adjacencies )
        {
            const bool triangulated =
                std::all_of( polygons.begin(),
                             polygons.end(),
                             []( const std::vector< index_t >& polygon )
                             { return polygon.size() == 3; } );
            auto mesh = SurfaceMesh< 2 >::create(
                triangulated ? TriangulatedSurface< 2 >::impl_name_static()
                             : PolygonalSurface< 2 >::impl_name_static() );
            auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
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

        std::vector< double > graded_axis( const std::vector< double >& breaks,
                                           index_t cells,
                                           double ratio )
        {
            double total{ 0 };
            for( index_t k = 0; k < cells; k++ )
            {
                total += std::pow( ratio, k );
            }
            std::vector< double > coordinates;
            for( index_t b = 0; b + 1 < breaks.size(); b++ )
            {
                const auto length = breaks[b + 1] - breaks[b];
                double walked{ 0 };
                coordinates.push_back( breaks[b] );
                for( index_t k = 0; k + 1 < cells; k++ )
                {
                    walked += std::pow( ratio, k );
                    coordinates.push_back( breaks[b] +
                                           length * walked / total );
                }
            }
            if( !breaks.empty() )
            {
                coordinates.push_back( breaks.back() );
            }
            return coordinates;
        }

        std::unique_ptr< SurfaceMesh< 2 > >
        triangulated_grid( const std::vector< double >& xs,
                           const std::vector< double >& ys,
                           const CellRegion& region_of_cell )
        {
            const auto nx = static_cast< index_t >( xs.size() ) - 1;
            const auto ny = static_cast< index_t >( ys.size() ) - 1;
            std::vector< index_t > cell_regions( nx * ny );
            std::vector< index_t > grid_vertex( ( nx + 1 ) * ( ny + 1 ),
                                                INVALID_INDEX );
            const auto corner = [nx]( index_t i, index_t j )
            { return j * ( nx + 1 ) + i; };
            for( index_t j = 0; j < ny; j++ )
            {
                for( index_t i = 0; i < nx; i++ )
                {
                    const Point< 2 > center{ { ( xs[i] + xs[i + 1] ) / 2,
                                               ( ys[j] + ys[j + 1] ) / 2 } };
                    const auto region = region_of_cell( center );
                    cell_regions[j * nx + i] = region;
                    if( region == NO_CELL )
                    {
                        continue;
                    }
                    for( const auto v : { corner( i, j ),
                                          corner( i + 1, j ),
                                          corner( i, j + 1 ),
                                          corner( i + 1, j + 1 ) } )
                    {
                        grid_vertex[v] = 0;
                    }
                }
            }
            auto mesh = SurfaceMesh< 2 >::create(
                TriangulatedSurface< 2 >::impl_name_static() );
            auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
            for( index_t j = 0; j <= ny; j++ )
            {
                for( index_t i = 0; i <= nx; i++ )
                {
                    auto& vertex = grid_vertex[corner( i, j )];
                    if( vertex != INVALID_INDEX )
                    {
                        vertex = builder->create_point(
                            Point< 2 >{ { xs[i], ys[j] } } );
                    }
                }
            }
            std::vector< index_t > triangle_regions;
            for( index_t j = 0; j < ny; j++ )
            {
                for( index_t i = 0; i < nx; i++ )
                {
                    const auto region = cell_regions[j * nx + i];
                    if( region == NO_CELL )
                    {
                        continue;
                    }
                    const auto v00 = grid_vertex[corner( i, j )];
                    const auto v10 = grid_vertex[corner( i + 1, j )];
                    const auto v01 = grid_vertex[corner( i, j + 1 )];
                    const auto v11 = grid_vertex[corner( i + 1, j + 1 )];
                    if( ( i + j ) % 2 == 0 )
                    {
                        builder->create_polygon( { v00, v10, v11 } );
                        builder->create_polygon( { v00, v11, v01 } );
                    }
                    else
                    {
                        builder->create_polygon( { v00, v10, v01 } );
                        builder->create_polygon( { v10, v11, v01 } );
                    }
                    triangle_regions.push_back( region );
                    triangle_regions.push_back( region );
                }
            }
            builder->compute_polygon_adjacencies();
            auto regions =
                mesh->polygon_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, index_t >(
                        "region", INVALID_INDEX );
            for( index_t p = 0; p < triangle_regions.size(); p++ )
            {
                regions->set_value( p, triangle_regions[p] );
            }
            return mesh;
        }
    } // namespace test
} // namespace vorna
