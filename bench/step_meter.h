#pragma once

// Time and memory of a benchmark's loop and of the successive steps of one
// iteration.

#include <algorithm>
#include <chrono>
#include <string>

#include <absl/container/flat_hash_map.h>
#include <benchmark/benchmark.h>

#include <bench/memory_usage.h>

namespace vorna
{
    namespace bench
    {
        /// Per step: seconds (summed over iterations), processor seconds of
        /// all threads and pages faulted in (both summed), the highest peak
        /// reached during the step and what the step leaves behind, both in
        /// MB above the resident size when the meter was made.
        class StepMeter
        {
          public:
            using Clock = std::chrono::steady_clock;

            explicit StepMeter(
                absl::flat_hash_map< std::string, double >& counters )
                : counters_( counters ), base_rss_( current_rss_bytes() )
            {
                restart();
            }

            void end( const std::string& step )
            {
                const std::chrono::duration< double > elapsed =
                    Clock::now() - start_;
                counters_[step + "_s"] += elapsed.count();
                auto& peak = counters_[step + "_peak_MB"];
                peak = std::max( peak, ( peak_rss_bytes() - base_rss_ ) / 1e6 );
                counters_[step + "_kept_MB"] =
                    ( current_rss_bytes() - base_rss_ ) / 1e6;
                const ProcessUsage usage;
                counters_[step + "_cpu_s"] += usage.user_s + usage.system_s -
                                              usage_.user_s - usage_.system_s;
                counters_[step + "_faults"] +=
                    usage.minor_faults - usage_.minor_faults;
                restart();
            }

          private:
            void restart()
            {
                reset_peak_rss();
                usage_ = ProcessUsage{};
                start_ = Clock::now();
            }

            absl::flat_hash_map< std::string, double >& counters_;
            double base_rss_;
            ProcessUsage usage_;
            Clock::time_point start_;
        };

        /// The steps of a corners and lines builder whose set-up is done:
        /// "wireframe", "corners_lines" (corners, then lines) and
        /// "surfaces".
        template < typename CornersLinesBuilder >
        void build_metered( CornersLinesBuilder& builder, StepMeter& meter )
        {
            builder.build_wireframe_step();
            meter.end( "wireframe" );
            builder.build_corners_step();
            builder.build_lines_step();
            meter.end( "corners_lines" );
            builder.build_surfaces();
            meter.end( "surfaces" );
        }

        /// Reports what StepMeters filled: seconds per iteration, memory as
        /// it is.
        inline void
        report_steps( benchmark::State& state,
                      const absl::flat_hash_map< std::string, double >& steps )
        {
            for( const auto& step : steps )
            {
                const auto& name = step.first;
                const bool seconds =
                    name.size() > 2 &&
                    name.compare( name.size() - 2, 2, "_s" ) == 0;
                state.counters[name] =
                    seconds
                        ? benchmark::Counter(
                              step.second, benchmark::Counter::kAvgIterations )
                        : benchmark::Counter( step.second );
            }
        }

        /// Memory of a benchmark's loop: the resident size when made, and
        /// the peak reached since.
        class LoopMemory
        {
          public:
            LoopMemory() : before_( current_rss_bytes() )
            {
                reset_peak_rss();
            }

            /// Counters input_MB (the size when made), peak_MB, and per
            /// element of the input, bytes_per_<element> (the growth to the
            /// peak) and peak_bytes_per_<element>.
            void report( benchmark::State& state,
                         double nb_elements,
                         const std::string& element ) const
            {
                const auto peak = peak_rss_bytes();
                state.counters["input_MB"] = before_ / 1e6;
                state.counters["peak_MB"] = peak / 1e6;
                state.counters["bytes_per_" + element] =
                    ( peak - before_ ) / nb_elements;
                state.counters["peak_bytes_per_" + element] =
                    peak / nb_elements;
            }

          private:
            double before_;
        };
    } // namespace bench
} // namespace vorna
