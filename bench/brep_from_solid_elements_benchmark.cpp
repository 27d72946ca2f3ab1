// Corners, lines and surfaces from chosen elements of a tetrahedral grid:
// the internal facets of the plane x = n/2 as facets, their border edges as
// line edges (and, cut into unit squares, all its axis-aligned edges).
// Each step of the road is timed, with its peak memory.

#include <malloc.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <absl/container/flat_hash_map.h>

#include <bench/memory_usage.h>
#include <bench/step_meter.h>

#include <support/solid_fixtures.h>

#include <vorna/conversion/model/brep_from_solid_elements_builder.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/model/brep.h>
#include <vorna/model/corvane_model.h>

namespace
{
    using namespace vorna;

    struct Choice
    {
        std::vector< index_t > facets;
        std::vector< index_t > line_edges;
    };

    /// With `squares`, the axis-aligned edges of the plane are line edges
    /// too, which cuts it into one region per unit square.
    Choice plane_through( const SolidMesh< 3 >& solid, double x, bool squares )
    {
        Choice choice;
        choice.facets = test::facets_where( solid, test::plane( 0, x ) );
        choice.line_edges = test::border_edges( solid, choice.facets );
        if( squares )
        {
            const auto in_plane = test::plane( 0, x );
            for( index_t e = 0; e < solid.edges().nb_edges(); e++ )
            {
                const auto& ends = solid.edges().edge_vertices( e );
                const auto& a = solid.point( ends[0] );
                const auto& b = solid.point( ends[1] );
                if( in_plane( a ) && in_plane( b ) &&
                    ( a.value( 1 ) == b.value( 1 ) ||
                      a.value( 2 ) == b.value( 2 ) ) )
                {
                    choice.line_edges.push_back( e );
                }
            }
            std::sort( choice.line_edges.begin(), choice.line_edges.end() );
            choice.line_edges.erase( std::unique( choice.line_edges.begin(),
                                                  choice.line_edges.end() ),
                                     choice.line_edges.end() );
        }
        return choice;
    }

    void run( benchmark::State& state, bool squares )
    {
        CorvaneModel::initialize();
        const auto n = static_cast< index_t >( state.range( 0 ) );
        const auto solid = test::tetrahedral_grid( n );
        const auto choice = plane_through( *solid, double( n / 2 ), squares );
        const auto with_solid = bench::current_rss_bytes();

        absl::flat_hash_map< std::string, double > steps;
        index_t nb_surfaces{ 0 };
        index_t nb_lines{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto model = std::make_unique< BRep >();
            // Hands freed pages back, so that the road's own growth shows.
            malloc_trim( 0 );
            state.ResumeTiming();

            bench::StepMeter meter{ steps };
            auto builder =
                std::make_unique< detail::BRepFromSolidElementsBuilder >(
                    *model, *solid, choice.line_edges, choice.facets );
            meter.end( "construct" );
            builder->build();
            meter.end( "build" );
            builder->build_whole_surface_step();
            meter.end( "whole_surface" );
            auto result = builder->build_surfaces();
            meter.end( "surfaces" );
            benchmark::DoNotOptimize( result );

            state.PauseTiming();
            nb_surfaces = model->nb_surfaces();
            nb_lines = model->nb_lines();
            builder.reset();
            model.reset();
            state.ResumeTiming();
        }
        bench::report_steps( state, steps );
        state.counters["tetrahedra"] = solid->nb_polyhedra();
        state.counters["facets"] = choice.facets.size();
        state.counters["line_edges"] = choice.line_edges.size();
        state.counters["surfaces"] = nb_surfaces;
        state.counters["lines"] = nb_lines;
        state.counters["with_solid_MB"] = with_solid / 1e6;
    }

    void plane_in_tetrahedral_grid( benchmark::State& state )
    {
        run( state, false );
    }

    void plane_cut_into_squares( benchmark::State& state )
    {
        run( state, true );
    }
} // namespace

// 6 n^3 tetrahedra: 257,250 and 998,250.
BENCHMARK( plane_in_tetrahedral_grid )
    ->Arg( 35 )
    ->Arg( 55 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 5 );

BENCHMARK( plane_cut_into_squares )
    ->Arg( 35 )
    ->Arg( 55 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 5 );

BENCHMARK_MAIN();
