#pragma once

// Time and memory of the successive steps of one benchmark iteration.

#include <chrono>
#include <string>

#include <absl/container/flat_hash_map.h>

#include <bench/memory_usage.h>

namespace vorna
{
    namespace bench
    {
        /// Per step: seconds (summed over iterations), the peak reached
        /// during the step and what the step leaves behind, both in MB above
        /// the resident size when the meter was made.
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
                counters_[step + "_peak_MB"] =
                    ( peak_rss_bytes() - base_rss_ ) / 1e6;
                counters_[step + "_kept_MB"] =
                    ( current_rss_bytes() - base_rss_ ) / 1e6;
                restart();
            }

          private:
            void restart()
            {
                reset_peak_rss();
                start_ = Clock::now();
            }

            absl::flat_hash_map< std::string, double >& counters_;
            double base_rss_;
            Clock::time_point start_;
        };
    } // namespace bench
} // namespace vorna
