#pragma once

// Resident memory of the benchmark process, read from /proc (Linux), and
// the processor time and page faults it has taken.

#include <fstream>
#include <string>

#include <sys/resource.h>

namespace vorna
{
    namespace bench
    {
        /// A "Vm...:" field of /proc/self/status, in bytes (0 if absent).
        inline double status_bytes( const char* field )
        {
            std::ifstream status{ "/proc/self/status" };
            const std::string prefix{ field };
            std::string line;
            while( std::getline( status, line ) )
            {
                if( line.rfind( prefix, 0 ) == 0 )
                {
                    return std::stod( line.substr( prefix.size() ) ) * 1024.0;
                }
            }
            return 0.0;
        }

        /// Peak resident set size since start or the last reset.
        inline double peak_rss_bytes()
        {
            return status_bytes( "VmHWM:" );
        }

        inline double current_rss_bytes()
        {
            return status_bytes( "VmRSS:" );
        }

        /// Makes the peak start again from the current size (Linux 4.0+).
        inline void reset_peak_rss()
        {
            std::ofstream{ "/proc/self/clear_refs" } << "5";
        }

        /// Processor time of all the process's threads, and the pages it
        /// faulted in, since start: differences of two of them tell where a
        /// parallel run spends time that the clock hides (memory first
        /// touched is a kernel call per page, and those calls scale poorly).
        struct ProcessUsage
        {
            ProcessUsage()
            {
                rusage usage;
                getrusage( RUSAGE_SELF, &usage );
                user_s = seconds( usage.ru_utime );
                system_s = seconds( usage.ru_stime );
                minor_faults = static_cast< double >( usage.ru_minflt );
            }

            double user_s;
            double system_s;
            double minor_faults;

          private:
            static double seconds( const timeval& time )
            {
                return static_cast< double >( time.tv_sec ) +
                       static_cast< double >( time.tv_usec ) * 1e-6;
            }
        };
    } // namespace bench
} // namespace vorna
