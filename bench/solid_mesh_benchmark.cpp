#include <string>

#include <benchmark/benchmark.h>

#include <bench/memory_usage.h>

#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>

#include "mesh/solid_grid.h"

namespace
{

    // 55^3 cubes of 6 tetrahedra: about one million tetrahedra, built with
    // their facet and edge tables, then joined.
    void million_tetrahedra_build_and_adjacency( benchmark::State& state )
    {
        constexpr vorna::index_t nb_cubes = 55;
        vorna::index_t nb_polyhedra{ 0 };
        vorna::index_t nb_facets{ 0 };
        vorna::index_t nb_edges{ 0 };
        for( auto _ : state )
        {
            auto solid = vorna::SolidMesh< 3 >::create(
                vorna::TetrahedralSolid3D::impl_name_static() );
            auto builder = vorna::SolidMeshBuilder< 3 >::create( *solid );
            vorna::test::build_tetrahedral_grid( *builder, nb_cubes );
            builder->compute_polyhedron_adjacencies();
            nb_polyhedra = solid->nb_polyhedra();
            nb_facets = solid->facets().nb_facets();
            nb_edges = solid->edges().nb_edges();
            benchmark::DoNotOptimize( solid->polyhedron_adjacent( { 0, 0 } ) );
        }
        state.counters["polyhedra"] = nb_polyhedra;
        state.counters["facets"] = nb_facets;
        state.counters["edges"] = nb_edges;
        state.counters["peak_rss_kB"] = vorna::bench::peak_rss_bytes() / 1024.0;
    }

    // Adjacency alone, on a solid built once.
    void million_tetrahedra_adjacency( benchmark::State& state )
    {
        auto solid = vorna::SolidMesh< 3 >::create(
            vorna::TetrahedralSolid3D::impl_name_static() );
        auto builder = vorna::SolidMeshBuilder< 3 >::create( *solid );
        vorna::test::build_tetrahedral_grid( *builder, 55 );
        for( auto _ : state )
        {
            builder->compute_polyhedron_adjacencies();
        }
        state.counters["polyhedra"] = solid->nb_polyhedra();
        state.counters["peak_rss_kB"] = vorna::bench::peak_rss_bytes() / 1024.0;
    }
} // namespace

BENCHMARK( million_tetrahedra_build_and_adjacency )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 1 );
BENCHMARK( million_tetrahedra_adjacency )->Unit( benchmark::kMillisecond );

BENCHMARK_MAIN();
