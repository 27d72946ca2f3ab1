// Conversion of one closed surface mesh into a BRep: whole-call time and
// peak memory, then the same road step by step to see where time goes,
// each on a given number of threads; for a box (welded, or split into its
// faces), a box with a cylindrical through hole split into its faces, and
// a non-manifold "book" of k triangles sharing one edge.

#include <chrono>
#include <cmath>
#include <functional>
#include <string>

#include <absl/container/flat_hash_map.h>
#include <absl/types/optional.h>
#include <benchmark/benchmark.h>

#include <bench/conversion_setup.h>
#include <bench/step_meter.h>
#include <conversion/common/tasks.h>

#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>
#include <vorna/conversion/model/build_blocks.h>
#include <vorna/conversion/model/convert_surfaces_into_brep.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/cut_along_internal_lines.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/surface.h>

#include <support/block_fixtures.h>
#include <support/shape_fixtures.h>

namespace
{
    using namespace vorna;

    // Removes the adjacency across every edge where the surface turns by
    // more than 60 degrees, so that each face becomes its own surface.
    void split_at_sharp_edges( SurfaceMesh< 3 >& mesh )
    {
        auto builder = SurfaceMeshBuilder< 3 >::create( mesh );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto normal = mesh.polygon_normal( p );
            for( local_index_t e = 0; e < 3; e++ )
            {
                const auto adjacent = mesh.polygon_adjacent( { p, e } );
                if( adjacent && normal.dot( mesh.polygon_normal(
                                    adjacent.value() ) ) < 0.5 )
                {
                    builder->unset_polygon_adjacent( { p, e } );
                }
            }
        }
    }

    // A welded closed box of 12 * cells^2 triangles; with `split_faces`,
    // its six faces become six surfaces bounded by twelve lines.
    std::unique_ptr< SurfaceMesh< 3 > > make_input( index_t cells,
                                                    bool split_faces )
    {
        auto mesh = test::make_box_mesh( Point3D{ { 0, 0, 0 } },
                                         Point3D{ { 1, 1, 1 } },
                                         cells,
                                         false,
                                         "box" );
        if( split_faces )
        {
            split_at_sharp_edges( *mesh );
        }
        return mesh;
    }

    // The box with a through hole, its faces split: four sides, top,
    // bottom and the hole's wall.
    std::unique_ptr< SurfaceMesh< 3 > > make_hole_input( index_t resolution )
    {
        auto mesh = test::box_with_through_hole( resolution );
        split_at_sharp_edges( *mesh );
        return mesh;
    }

    std::unique_ptr< SurfaceMesh< 3 > >
    make_case_input( const benchmark::State& state )
    {
        const auto size = static_cast< index_t >( state.range( 0 ) );
        const auto shape = state.range( 1 );
        return shape == 2 ? make_hole_input( size )
                          : make_input( size, shape != 0 );
    }

    using Clock = std::chrono::steady_clock;

    double seconds_since( Clock::time_point start )
    {
        return std::chrono::duration< double >( Clock::now() - start ).count();
    }

    // The benchmark's time also counts releasing the model and mappings
    // the call returns; call_s is the call alone, release_s the release.
    // call_cpu_s is the processor time of all threads during the call, of
    // which call_system_s in the kernel (mostly first touch of memory).
    void BM_convert_surface_into_brep( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto mesh = make_case_input( state );
        const detail::ThreadLimit threads{
            static_cast< unsigned int >( state.range( 2 ) ) };
        const double triangles = mesh->nb_polygons();
        const bench::LoopMemory memory;
        for( auto _ : state )
        {
            const bench::ProcessUsage before;
            auto start = Clock::now();
            absl::optional< BRepConversionResult > result{
                convert_surface_into_brep( *mesh ) };
            state.counters["call_s"] = seconds_since( start );
            const bench::ProcessUsage after;
            state.counters["call_cpu_s"] =
                after.user_s + after.system_s - before.user_s - before.system_s;
            state.counters["call_system_s"] = after.system_s - before.system_s;
            state.counters["faults_per_triangle"] =
                ( after.minor_faults - before.minor_faults ) / triangles;
            benchmark::DoNotOptimize( result );
            start = Clock::now();
            result.reset();
            state.counters["release_s"] = seconds_since( start );
        }
        memory.report( state, triangles, "triangle" );
        state.counters["triangles"] = triangles;
    }

    // The road of BRepFromMeshesBuilder::build_brep_with_blocks, one timed
    // step at a time.
    void BM_convert_surface_steps( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto mesh = make_case_input( state );
        const std::reference_wrapper< const SurfaceMesh< 3 > > surfaces[] = {
            *mesh };
        const detail::ThreadLimit threads{
            static_cast< unsigned int >( state.range( 2 ) ) };
        absl::flat_hash_map< std::string, double > steps;
        for( auto _ : state )
        {
            BRep brep;
            bench::StepMeter meter{ steps };
            auto corners_lines = std::make_unique<
                detail::CornersLinesBuilderFromMeshes< BRep, BRepBuilder, 3 > >(
                brep,
                absl::Span<
                    const std::reference_wrapper< const EdgedCurve< 3 > > >{},
                surfaces );
            meter.end( "setup_and_checks" );
            bench::build_metered( *corners_lines, meter );
            auto mappings = corners_lines->mappings();
            meter.end( "mappings" );
            corners_lines.reset();
            meter.end( "release_builder" );
            detail::CutAlongInternalLines< BRep, BRepBuilder, 3 > cutter{
                brep };
            for( const auto& duplicated : cutter.cut_all_surfaces() )
            {
                const auto inputs = mappings.first.out2in( duplicated.first );
                for( const auto& input : inputs )
                {
                    mappings.first.map( input, duplicated.second );
                }
            }
            meter.end( "cut" );
            build_blocks( brep );
            meter.end( "blocks" );
            BRepBuilder builder{ brep };
            absl::flat_hash_map< std::string, uuid > boundaries;
            for( const auto& surface : brep.surfaces() )
            {
                if( brep.nb_incidences( surface.id() ) != 1 )
                {
                    continue;
                }
                std::string name{ surface.name() };
                auto found = boundaries.find( name );
                if( found == boundaries.end() )
                {
                    const uuid boundary = builder.add_model_boundary();
                    builder.set_model_boundary_name( boundary, name );
                    found = boundaries.emplace( name, boundary ).first;
                }
                builder.add_surface_in_model_boundary(
                    surface, brep.model_boundary( found->second ) );
            }
            meter.end( "model_boundaries" );
            benchmark::DoNotOptimize( brep );
        }
        bench::report_steps( state, steps );
        state.counters["triangles"] = mesh->nb_polygons();
    }

    // k triangles around one edge, each with its own far vertex: one
    // line bounded by k surfaces, which every step around a line meets k
    // times.
    std::unique_ptr< SurfaceMesh< 3 > > make_book( index_t pages )
    {
        auto mesh = SurfaceMesh< 3 >::create();
        auto builder = SurfaceMeshBuilder< 3 >::create( *mesh );
        builder->create_point( Point3D{ { 0, 0, 0 } } );
        builder->create_point( Point3D{ { 0, 0, 1 } } );
        for( index_t p = 0; p < pages; p++ )
        {
            const double angle = 6.283185307179586 * p / pages;
            const auto far = builder->create_point(
                Point3D{ { std::cos( angle ), std::sin( angle ), 0.5 } } );
            const index_t triangle[3] = { 0, 1, far };
            builder->create_polygon( triangle );
        }
        builder->compute_polygon_adjacencies();
        return mesh;
    }

    void BM_convert_book( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto mesh =
            make_book( static_cast< index_t >( state.range( 0 ) ) );
        for( auto _ : state )
        {
            auto result = convert_surface_into_brep( *mesh );
            benchmark::DoNotOptimize( result );
        }
    }

    // Shape 0: welded box, 1: box split into its faces, 2: box with a
    // through hole split into its faces. Boxes of 144 cells: 248,832
    // triangles; 289 cells: 1,002,252 triangles; 577 cells: 3,995,148
    // triangles. The hole at resolution 205: 1,010,240 triangles. Memory
    // freed by one case stays with the process: run one case per process
    // (--benchmark_filter, or bench/run_convert_surface_benchmark.sh) for
    // clean memory figures.
    void main_road_cases( benchmark::internal::Benchmark* benchmark )
    {
        benchmark->ArgNames( { "size", "shape", "threads" } );
        const auto all =
            static_cast< int64_t >( vorna::detail::hardware_concurrency() );
        for( const int64_t cells : { 144, 289, 577 } )
        {
            for( const int64_t split : { 0, 1 } )
            {
                benchmark->Args( { cells, split, all } );
            }
            benchmark->Args( { cells, 1, 1 } );
        }
        benchmark->Args( { 205, 2, all } );
        benchmark->Args( { 205, 2, 1 } );
    }
    BENCHMARK( BM_convert_surface_into_brep )
        ->Apply( main_road_cases )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 1 );
    BENCHMARK( BM_convert_surface_steps )
        ->Apply( main_road_cases )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 1 );
    BENCHMARK( BM_convert_book )
        ->ArgName( "pages" )
        ->Arg( 8000 )
        ->Arg( 16000 )
        ->Arg( 32000 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 1 );
} // namespace

BENCHMARK_MAIN();
