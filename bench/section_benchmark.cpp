// Conversion of a 2D mesh with a region attribute into a Section: whole-call
// time and peak memory, then the same road step by step to see where time
// goes.

#include <algorithm>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <benchmark/benchmark.h>

#include <bench/conversion_setup.h>
#include <bench/memory_usage.h>
#include <bench/step_meter.h>

#include <conversion/model/region_separation.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_surface.h>
#include <vorna/conversion/model/convert_surfaces_into_section.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/cut_along_internal_lines.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

#include <support/section_fixtures.h>

namespace
{
    using namespace vorna;

    /// A square grid of cells x cells unit cells (two triangles each) cut
    /// into blocks x blocks square regions of the "region" attribute.
    std::unique_ptr< SurfaceMesh< 2 > > make_input( index_t cells,
                                                    index_t blocks )
    {
        std::vector< double > axis( cells + 1 );
        for( index_t i = 0; i <= cells; i++ )
        {
            axis[i] = i;
        }
        const double block = static_cast< double >( cells ) / blocks;
        return test::triangulated_grid(
            axis,
            axis,
            [block, blocks]( const Point< 2 >& center )
            {
                const auto bx = std::min(
                    static_cast< index_t >( center.value( 0 ) / block ),
                    blocks - 1 );
                const auto by = std::min(
                    static_cast< index_t >( center.value( 1 ) / block ),
                    blocks - 1 );
                return by * blocks + bx;
            } );
    }

    void
    BM_convert_surface_into_section_from_attribute( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto cells = static_cast< index_t >( state.range( 0 ) );
        const auto blocks = static_cast< index_t >( state.range( 1 ) );
        double triangles{ 0 };
        double growth{ 0 };
        double peak{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto mesh = make_input( cells, blocks );
            triangles = mesh->nb_polygons();
            const auto before = bench::current_rss_bytes();
            bench::reset_peak_rss();
            state.ResumeTiming();
            auto section =
                convert_surface_into_section_from_attribute( *mesh, "region" );
            benchmark::DoNotOptimize( section );
            state.PauseTiming();
            peak = bench::peak_rss_bytes();
            growth = std::max( growth, peak - before );
            state.ResumeTiming();
        }
        state.counters["triangles"] = triangles;
        state.counters["peak_MB"] = peak / 1e6;
        state.counters["bytes_per_triangle"] = growth / triangles;
        state.counters["peak_bytes_per_triangle"] = peak / triangles;
    }

    // The road of convert_surface_into_section_from_attribute, one timed
    // step at a time.
    void BM_section_steps( benchmark::State& state )
    {
        bench::set_up_conversion();
        const auto cells = static_cast< index_t >( state.range( 0 ) );
        const auto blocks = static_cast< index_t >( state.range( 1 ) );
        absl::flat_hash_map< std::string, double > steps;
        for( auto _ : state )
        {
            auto mesh = make_input( cells, blocks );
            Section section;
            bench::StepMeter meter{ steps };
            {
                auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
                detail::unset_polygon_adjacencies_by_attribute(
                    *mesh,
                    *builder,
                    *mesh->polygon_attribute_manager().find_generic_attribute(
                        "region" ) );
            }
            meter.end( "separation" );
            detail::CornersLinesBuilderFromSurface< Section, SectionBuilder, 2 >
                corners_lines{ section, *mesh };
            meter.end( "setup" );
            bench::build_metered( corners_lines, meter );
            SectionBuilder builder{ section };
            const auto& boundary =
                section.model_boundary( builder.add_model_boundary() );
            for( const auto& line : section.lines() )
            {
                if( section.nb_incidences( line.id() ) == 1 )
                {
                    builder.add_line_in_model_boundary( line, boundary );
                }
            }
            meter.end( "model_boundary" );
            detail::CutAlongInternalLines< Section, SectionBuilder, 2 >{
                section }
                .cut_all_surfaces();
            meter.end( "cut" );
            benchmark::DoNotOptimize( section );
        }
        bench::report_steps( state, steps );
    }

    // 708 x 708 cells: 1,002,528 triangles in 100 regions. Memory freed by
    // one case stays with the process: run one case per process
    // (--benchmark_filter) for clean memory figures.
    BENCHMARK( BM_convert_surface_into_section_from_attribute )
        ->ArgNames( { "cells", "blocks" } )
        ->Args( { 708, 10 } )
        ->Args( { 354, 10 } )
        ->Args( { 708, 30 } )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 );
    BENCHMARK( BM_section_steps )
        ->ArgNames( { "cells", "blocks" } )
        ->Args( { 708, 10 } )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 );
} // namespace

BENCHMARK_MAIN();
