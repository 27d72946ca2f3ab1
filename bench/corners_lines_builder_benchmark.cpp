// Corners, lines and surfaces from large surface meshes split into about
// a hundred regions: build, build_surfaces and mappings.

#include <string>

#include <benchmark/benchmark.h>

#include <bench/memory_usage.h>

#include <support/fixtures.h>

#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corvane_model.h>

namespace
{
    using namespace vorna;
    using FromMeshes =
        detail::CornersLinesBuilderFromMeshes< BRep, BRepBuilder, 3 >;

    /// A grid of about `triangles` triangles in 10 x 10 regions, moved by
    /// `shift` along x.
    std::unique_ptr< SurfaceMesh< 3 > > regions_mesh( index_t triangles,
                                                      double shift )
    {
        index_t n{ 1 };
        while( 2 * ( n + 1 ) * ( n + 1 ) <= triangles )
        {
            n++;
        }
        auto mesh = test::grid_sheet_in_regions( n, n, 10 );
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            const auto& point = mesh->point( v );
            builder->set_point(
                v,
                Point< 3 >{
                    { point.value( 0 ) + shift, point.value( 1 ), 0 } } );
        }
        return mesh;
    }

    void
    run( benchmark::State& state,
         absl::Span< const std::reference_wrapper< const SurfaceMesh< 3 > > >
             surfaces )
    {
        index_t nb_surfaces{ 0 };
        for( auto _ : state )
        {
            auto model = std::make_unique< BRep >();
            auto builder = std::make_unique< FromMeshes >(
                *model,
                absl::Span<
                    const std::reference_wrapper< const EdgedCurve< 3 > > >{},
                surfaces );
            builder->build();
            builder->build_surfaces();
            auto mappings = builder->mappings();
            benchmark::DoNotOptimize( mappings );
            nb_surfaces = model->nb_surfaces();
            // Tearing down is not part of the measure.
            state.PauseTiming();
            builder.reset();
            model.reset();
            {
                auto released = std::move( mappings );
            }
            state.ResumeTiming();
        }
        state.counters["surfaces"] = nb_surfaces;
        state.counters["peak_rss_MiB"] =
            vorna::bench::peak_rss_bytes() / ( 1024.0 * 1024.0 );
    }

    void one_mesh( benchmark::State& state )
    {
        CorvaneModel::initialize();
        const auto mesh =
            regions_mesh( static_cast< index_t >( state.range( 0 ) ), 0 );
        const test::SurfaceRefs surfaces{ *mesh };
        run( state, surfaces );
        state.counters["triangles"] = mesh->nb_polygons();
    }

    void two_meshes_merged( benchmark::State& state )
    {
        CorvaneModel::initialize();
        const auto triangles = static_cast< index_t >( state.range( 0 ) );
        const auto first = regions_mesh( triangles, 0 );
        // The second one continues the first beyond its last column.
        const auto width = first->point( first->nb_vertices() - 1 ).value( 0 );
        const auto second = regions_mesh( triangles, width );
        const test::SurfaceRefs surfaces{ *first, *second };
        run( state, surfaces );
        state.counters["triangles"] =
            first->nb_polygons() + second->nb_polygons();
    }
} // namespace

BENCHMARK( one_mesh )
    ->Arg( 250000 )
    ->Arg( 1000000 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 2 );
BENCHMARK( two_meshes_merged )
    ->Arg( 1000000 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 2 );

BENCHMARK_MAIN();
