#include <string>

#include <benchmark/benchmark.h>

#include <bench/memory_usage.h>

#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace
{

    // A grid of columns x rows squares, each split in two triangles.
    std::unique_ptr< vorna::SurfaceMesh< 3 > >
    triangle_grid( vorna::index_t columns, vorna::index_t rows )
    {
        using vorna::index_t;
        auto mesh =
            vorna::SurfaceMesh< 3 >::create( "DefaultTriangulatedSurface3D" );
        auto builder = vorna::SurfaceMeshBuilder< 3 >::create( *mesh );
        builder->create_vertices( ( columns + 1 ) * ( rows + 1 ) );
        for( index_t j = 0; j <= rows; j++ )
        {
            for( index_t i = 0; i <= columns; i++ )
            {
                builder->set_point(
                    j * ( columns + 1 ) + i,
                    vorna::Point< 3 >{ { 1. * i, 1. * j, 0. } } );
            }
        }
        for( index_t j = 0; j < rows; j++ )
        {
            for( index_t i = 0; i < columns; i++ )
            {
                const auto v = j * ( columns + 1 ) + i;
                builder->create_polygon( { v, v + 1, v + columns + 2 } );
                builder->create_polygon(
                    { v, v + columns + 2, v + columns + 1 } );
            }
        }
        return mesh;
    }

    void million_triangle_adjacency( benchmark::State& state )
    {
        // 1000 x 500 squares: one million triangles.
        const auto mesh = triangle_grid( 1000, 500 );
        auto builder = vorna::SurfaceMeshBuilder< 3 >::create( *mesh );
        for( auto _ : state )
        {
            builder->compute_polygon_adjacencies();
            benchmark::DoNotOptimize( mesh->polygon_adjacent( { 0, 1 } ) );
        }
        state.counters["triangles"] = mesh->nb_polygons();
        state.counters["peak_rss_kB"] = vorna::bench::peak_rss_bytes() / 1024.0;
    }
    BENCHMARK( million_triangle_adjacency )->Unit( benchmark::kMillisecond );

    void million_triangle_build( benchmark::State& state )
    {
        for( auto _ : state )
        {
            auto mesh = triangle_grid( 1000, 500 );
            benchmark::DoNotOptimize( mesh->nb_polygons() );
        }
        state.counters["peak_rss_kB"] = vorna::bench::peak_rss_bytes() / 1024.0;
    }
    BENCHMARK( million_triangle_build )->Unit( benchmark::kMillisecond );
} // namespace

BENCHMARK_MAIN();
