#pragma once

// Resident memory of the benchmark process, read from /proc (Linux).

#include <fstream>
#include <string>

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
    } // namespace bench
} // namespace vorna
