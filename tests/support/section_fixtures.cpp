#include <support/section_fixtures.h>

#include <algorithm>
#include <cmath>

#include <support/fixtures.h>

#include <vorna/conversion/common/attribute.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/corner.h>
#include <vorna/model/section.h>

namespace vorna
{
    namespace test
    {
        std::unique_ptr< SurfaceMesh< 2 > > two_triangles_2d( bool joined )
        {
            return surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                      Point< 2 >{ { 1, 0 } },
                                      Point< 2 >{ { 0, 1 } },
                                      Point< 2 >{ { 1, 1 } } },
                                    { { 0, 1, 2 }, { 1, 3, 2 } },
                                    joined );
        }

        std::unique_ptr< SurfaceMesh< 2 > > bowtie_2d()
        {
            return surface_of< 2 >( { Point< 2 >{ { 0, 0 } },
                                      Point< 2 >{ { 1, 0 } },
                                      Point< 2 >{ { 0, 1 } },
                                      Point< 2 >{ { -1, 0 } },
                                      Point< 2 >{ { 0, -1 } } },
                                    { { 0, 1, 2 }, { 0, 3, 4 } } );
        }

        std::unique_ptr< SurfaceMesh< 2 > > grid_with_slit_2d()
        {
            auto mesh = grid_sheet_2d( 4, 4 );
            auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
            for( index_t p = 0; p < mesh->nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    const auto ends = mesh->polygon_edge_vertices( { p, e } );
                    const auto& a = mesh->point( ends[0] );
                    const auto& b = mesh->point( ends[1] );
                    if( a.value( 1 ) == 2 && b.value( 1 ) == 2 &&
                        std::min( a.value( 0 ), b.value( 0 ) ) >= 1 &&
                        std::max( a.value( 0 ), b.value( 0 ) ) <= 3 )
                    {
                        builder->unset_polygon_adjacent( { p, e } );
                    }
                }
            }
            return mesh;
        }

        std::vector< Point< 2 > > corner_points( const Section& section )
        {
            std::vector< Point< 2 > > points;
            for( const auto& corner : section.corners() )
            {
                points.push_back( corner.mesh().point( 0 ) );
            }
            return points;
        }

        FailingCopyAttribute::FailingCopyAttribute( index_t polygon )
            : VariableAttribute< index_t >( 0 ), polygon_( polygon )
        {
        }

        std::shared_ptr< AttributeBase >
        FailingCopyAttribute::extract( absl::Span< const index_t > old2new,
                                       index_t nb_elements ) const
        {
            if( polygon_ < old2new.size() &&
                old2new[polygon_] != INVALID_INDEX )
            {
                throw CorvaneException(
                    "[test] polygon ", polygon_, " cannot be copied" );
            }
            return VariableAttribute< index_t >::extract( old2new,
                                                          nb_elements );
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
