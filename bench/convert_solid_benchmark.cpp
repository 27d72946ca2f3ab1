// Conversion of a tetrahedral grid tagged with 8 box regions into a BRep:
// whole-call time and peak memory, then the same road step by step to see
// where the time goes.

#include <memory>
#include <string>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/string_view.h>
#include <benchmark/benchmark.h>

#include <bench/conversion_setup.h>
#include <bench/step_meter.h>

#include <conversion/model/region_separation.h>
#include <conversion/model/solid_adjacencies_conversion.h>
#include <vorna/conversion/model/convert_solid_into_brep.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/model/brep.h>

#include <support/solid_fixtures.h>

namespace
{
    using namespace vorna;

    // n^3 cubes of 6 tetrahedra, in 2 x 2 x 2 box regions.
    std::unique_ptr< SolidMesh< 3 > > make_input( index_t n )
    {
        auto solid = test::tetrahedral_grid( n );
        test::add_box_regions( *solid, n, 2 );
        return solid;
    }

    // Puts back the adjacencies that the last conversion removed, so that
    // every iteration separates the regions again.
    void rejoin( SolidMesh< 3 >& solid )
    {
        SolidMeshBuilder< 3 >::create( solid )
            ->compute_polyhedron_adjacencies();
    }

    void BM_convert_solid_into_brep_from_attribute( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto solid =
            make_input( static_cast< index_t >( state.range( 0 ) ) );
        const double tetrahedra = solid->nb_polyhedra();
        const bench::LoopMemory memory;
        index_t nb_blocks{ 0 };
        for( auto _ : state )
        {
            {
                auto brep =
                    convert_solid_into_brep_from_attribute( *solid, "region" );
                nb_blocks = brep.nb_blocks();
                state.PauseTiming();
            }
            rejoin( *solid );
            state.ResumeTiming();
        }
        memory.report( state, tetrahedra, "tetrahedron" );
        state.counters["tetrahedra"] = tetrahedra;
        state.counters["blocks"] = nb_blocks;
        state.counters["tetrahedra_per_second"] = benchmark::Counter(
            tetrahedra, benchmark::Counter::kIsIterationInvariantRate );
    }

    // The same road, one timed step at a time; the blocks step in its
    // parts.
    void BM_convert_solid_steps( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto solid =
            make_input( static_cast< index_t >( state.range( 0 ) ) );
        absl::flat_hash_map< std::string, double > steps;
        for( auto _ : state )
        {
            {
                BRep brep;
                bench::StepMeter meter{ steps };
                const auto regions = solid->polyhedron_attribute_manager()
                                         .find_generic_attribute( "region" );
                detail::unset_polyhedron_adjacencies_by_attribute(
                    *solid,
                    *SolidMeshBuilder< 3 >::create( *solid ),
                    *regions );
                meter.end( "separation" );
                detail::SolidAdjacenciesConversion conversion{ brep, *solid };
                conversion.build_surface_step();
                meter.end( "boundary_surface" );
                conversion.build_brep_without_block_step();
                meter.end( "brep_without_blocks" );
                conversion.build_blocks_step(
                    {},
                    [&meter]( absl::string_view part )
                    { meter.end( std::string{ part } ); } );
                state.PauseTiming();
            }
            rejoin( *solid );
            state.ResumeTiming();
        }
        bench::report_steps( state, steps );
        state.counters["tetrahedra"] = solid->nb_polyhedra();
    }

    // 35^3 cubes: 257,250 tetrahedra; 55^3 cubes: 998,250. Memory freed by
    // one case stays with the process: run one case per process
    // (--benchmark_filter) for clean memory figures.
    BENCHMARK( BM_convert_solid_into_brep_from_attribute )
        ->ArgName( "cubes" )
        ->Arg( 35 )
        ->Arg( 55 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime()
        ->Iterations( 5 );
    BENCHMARK( BM_convert_solid_steps )
        ->ArgName( "cubes" )
        ->Arg( 35 )
        ->Arg( 55 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime()
        ->Iterations( 3 );
} // namespace

BENCHMARK_MAIN();
