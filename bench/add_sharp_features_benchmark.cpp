// A box with a cylindrical through hole, meshed as one closed surface:
// convert_surface_into_brep, then add_sharp_features at 140 degrees. Time
// and peak memory of the two calls with both models and their mappings
// held, then where add_sharp_features spends its time and memory.

#include <chrono>
#include <string>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/string_view.h>
#include <benchmark/benchmark.h>

#include <bench/conversion_setup.h>
#include <bench/memory_usage.h>
#include <bench/step_meter.h>

#include <conversion/model/add_sharp_features_probe.h>
#include <vorna/conversion/model/add_sharp_features.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/brep.h>

#include <support/shape_fixtures.h>

namespace
{
    using namespace vorna;
    using Clock = std::chrono::steady_clock;

    constexpr double ANGLE = 140;

    double seconds_since( Clock::time_point start )
    {
        return std::chrono::duration< double >( Clock::now() - start ).count();
    }

    // The mesh is made outside the timed calls; its size counts in the
    // peak, as the caller holds it too.
    void BM_convert_then_add_sharp_features( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto start = Clock::now();
        const auto mesh = test::box_with_through_hole(
            static_cast< index_t >( state.range( 0 ) ) );
        state.counters["mesh_s"] = seconds_since( start );
        const double triangles = mesh->nb_polygons();
        const bench::LoopMemory memory;
        for( auto _ : state )
        {
            const auto convert_start = Clock::now();
            auto converted = convert_surface_into_brep( *mesh );
            state.counters["convert_s"] = seconds_since( convert_start );
            const auto sharp_start = Clock::now();
            auto sharp =
                add_sharp_features( std::get< 0 >( converted ), ANGLE );
            state.counters["sharp_s"] = seconds_since( sharp_start );
            const auto& model = std::get< 0 >( sharp );
            state.counters["surfaces"] = model.nb_surfaces();
            state.counters["lines"] = model.nb_lines();
            state.counters["corners"] = model.nb_corners();
            state.counters["blocks"] = model.nb_blocks();
            state.counters["held_MB"] = bench::current_rss_bytes() / 1e6;
            benchmark::DoNotOptimize( converted );
            benchmark::DoNotOptimize( sharp );
        }
        memory.report( state, triangles, "triangle" );
        state.counters["triangles"] = triangles;
    }

    // Seconds per stage of add_sharp_features, the per-surface stages
    // summed over the surfaces.
    void BM_add_sharp_features_stages( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto mesh = test::box_with_through_hole(
            static_cast< index_t >( state.range( 0 ) ) );
        const auto converted = convert_surface_into_brep( *mesh );
        absl::flat_hash_map< std::string, double > stages;
        for( auto _ : state )
        {
            const auto start = Clock::now();
            bench::StepMeter meter{ stages };
            detail::SharpFeaturesProbe probe;
            probe.on_stage_end = [&meter]( absl::string_view stage )
            { meter.end( std::string{ stage } ); };
            auto sharp = detail::add_sharp_features(
                std::get< 0 >( converted ), ANGLE, probe );
            stages["total_s"] += seconds_since( start );
            benchmark::DoNotOptimize( sharp );
        }
        bench::report_steps( state, stages );
        state.counters["triangles"] = mesh->nb_polygons();
    }

    // 205: 1,010,240 triangles. Memory freed by one case stays with the
    // process: run one case per process (--benchmark_filter) for clean
    // memory figures.
    BENCHMARK( BM_convert_then_add_sharp_features )
        ->ArgName( "resolution" )
        ->Arg( 205 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 1 );
    BENCHMARK( BM_add_sharp_features_stages )
        ->ArgName( "resolution" )
        ->Arg( 205 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 );
} // namespace

BENCHMARK_MAIN();
