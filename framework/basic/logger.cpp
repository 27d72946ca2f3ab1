#include <vorna/basic/logger.h>

#include <atomic>
#include <iostream>
#include <mutex>

namespace
{
    struct LoggerState
    {
        std::mutex mutex;
        std::atomic< vorna::Logger::Level > level{ vorna::Logger::Level::info };
        vorna::Logger::Sink sink;
    };

    LoggerState& state()
    {
        static LoggerState logger_state;
        return logger_state;
    }
} // namespace

namespace vorna
{
    void Logger::log_trace( absl::string_view message )
    {
        log( Level::trace, message );
    }
    void Logger::log_debug( absl::string_view message )
    {
        log( Level::debug, message );
    }
    void Logger::log_info( absl::string_view message )
    {
        log( Level::info, message );
    }
    void Logger::log_warn( absl::string_view message )
    {
        log( Level::warn, message );
    }
    void Logger::log_error( absl::string_view message )
    {
        log( Level::error, message );
    }

    void Logger::set_level( Level level )
    {
        state().level = level;
    }

    Logger::Level Logger::level()
    {
        return state().level;
    }

    void Logger::set_sink( Sink sink )
    {
        auto& logger = state();
        std::lock_guard< std::mutex > lock{ logger.mutex };
        logger.sink = std::move( sink );
    }

    void Logger::log( Level level, absl::string_view message )
    {
        auto& logger = state();
        if( level < logger.level.load() || level == Level::off )
        {
            return;
        }
        std::lock_guard< std::mutex > lock{ logger.mutex };
        if( logger.sink )
        {
            logger.sink( level, message );
            return;
        }
        std::cerr << message << '\n';
    }
} // namespace vorna
