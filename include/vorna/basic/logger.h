#pragma once

#include <functional>

#include <absl/strings/string_view.h>

namespace vorna
{
    /// Process-wide text log. Messages below the current level are dropped;
    /// the others go unchanged to the sink (standard error by default),
    /// one call at a time.
    class Logger
    {
      public:
        enum class Level
        {
            trace,
            debug,
            info,
            warn,
            error,
            off
        };
        using Sink = std::function< void( Level, absl::string_view ) >;

        static void log_trace( absl::string_view message );
        static void log_debug( absl::string_view message );
        static void log_info( absl::string_view message );
        static void log_warn( absl::string_view message );
        static void log_error( absl::string_view message );

        static void set_level( Level level );
        static Level level();
        /// Replaces the sink; an empty function restores standard error.
        static void set_sink( Sink sink );

      private:
        static void log( Level level, absl::string_view message );
    };
} // namespace vorna
