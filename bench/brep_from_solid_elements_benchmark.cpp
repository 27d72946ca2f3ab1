// Corners, lines and surfaces from chosen elements of a tetrahedral grid:
// the internal facets of the plane x = n/2 as facets, their border edges as
// line edges (and, cut into unit squares, all its axis-aligned edges). The
// whole road is timed, and each step on its own.

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include <absl/container/flat_hash_map.h>

#include <bench/memory_usage.h>

#include "mesh/solid_grid.h"

#include <vorna/conversion/model/brep_from_solid_elements_builder.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/corvane_model.h>

namespace
{
    using namespace vorna;
    using Clock = std::chrono::steady_clock;

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
        absl::flat_hash_map< index_t, index_t > uses;
        for( index_t f = 0; f < solid.facets().nb_facets(); f++ )
        {
            const auto vertices = solid.facets().facet_vertices( f );
            bool in_plane{ true };
            for( const auto v : vertices )
            {
                in_plane = in_plane && solid.point( v ).value( 0 ) == x;
            }
            if( !in_plane )
            {
                continue;
            }
            choice.facets.push_back( f );
            for( std::size_t k = 0; k < vertices.size(); k++ )
            {
                uses[solid.edges()
                         .edge_from_vertices(
                             { vertices[k],
                               vertices[( k + 1 ) % vertices.size()] } )
                         .value()]++;
            }
        }
        for( index_t e = 0; e < solid.edges().nb_edges(); e++ )
        {
            const auto found = uses.find( e );
            if( found == uses.end() )
            {
                continue;
            }
            const auto& ends = solid.edges().edge_vertices( e );
            const auto& a = solid.point( ends[0] );
            const auto& b = solid.point( ends[1] );
            const bool axis_aligned =
                a.value( 1 ) == b.value( 1 ) || a.value( 2 ) == b.value( 2 );
            if( found->second == 1 || ( squares && axis_aligned ) )
            {
                choice.line_edges.push_back( e );
            }
        }
        return choice;
    }

    double seconds_since( Clock::time_point start )
    {
        return std::chrono::duration< double >( Clock::now() - start ).count();
    }

    void run( benchmark::State& state, bool squares )
    {
        CorvaneModel::initialize();
        const auto n = static_cast< index_t >( state.range( 0 ) );
        auto solid =
            SolidMesh< 3 >::create( TetrahedralSolid3D::impl_name_static() );
        test::build_tetrahedral_grid( *SolidMeshBuilder< 3 >::create( *solid ),
                                      n );
        const auto choice = plane_through( *solid, double( n / 2 ), squares );
        const auto with_solid = bench::current_rss_bytes();

        double construct{ 0 };
        double build{ 0 };
        double whole_surface{ 0 };
        double surfaces{ 0 };
        double peak_growth{ 0 };
        index_t nb_surfaces{ 0 };
        index_t nb_lines{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto model = std::make_unique< BRep >();
            // Hands freed pages back, so that the road's own growth shows.
            malloc_trim( 0 );
            const auto before = bench::current_rss_bytes();
            bench::reset_peak_rss();
            state.ResumeTiming();

            auto start = Clock::now();
            auto builder =
                std::make_unique< detail::BRepFromSolidElementsBuilder >(
                    *model, *solid, choice.line_edges, choice.facets );
            construct += seconds_since( start );
            start = Clock::now();
            builder->build();
            build += seconds_since( start );
            start = Clock::now();
            builder->build_whole_surface_step();
            whole_surface += seconds_since( start );
            start = Clock::now();
            auto result = builder->build_surfaces();
            surfaces += seconds_since( start );
            benchmark::DoNotOptimize( result );

            state.PauseTiming();
            peak_growth =
                std::max( peak_growth, bench::peak_rss_bytes() - before );
            nb_surfaces = model->nb_surfaces();
            nb_lines = model->nb_lines();
            builder.reset();
            model.reset();
            state.ResumeTiming();
        }
        const auto runs = static_cast< double >( state.iterations() );
        state.counters["tetrahedra"] = solid->nb_polyhedra();
        state.counters["facets"] = choice.facets.size();
        state.counters["line_edges"] = choice.line_edges.size();
        state.counters["surfaces"] = nb_surfaces;
        state.counters["lines"] = nb_lines;
        state.counters["construct_ms"] = 1e3 * construct / runs;
        state.counters["build_ms"] = 1e3 * build / runs;
        state.counters["whole_surface_ms"] = 1e3 * whole_surface / runs;
        state.counters["surfaces_ms"] = 1e3 * surfaces / runs;
        state.counters["road_peak_MiB"] = peak_growth / ( 1024.0 * 1024.0 );
        state.counters["with_solid_MiB"] = with_solid / ( 1024.0 * 1024.0 );
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
