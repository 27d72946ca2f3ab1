#pragma once

#include <mutex>

namespace vorna
{
    /// Base of a library's start-up object. call_initialize runs
    /// do_initialize once per object: concurrent callers wait for the first
    /// one, later calls return at once, and a failed run lets the next call
    /// try again.
    class Library
    {
      public:
        virtual ~Library() = default;
        Library( const Library& ) = delete;
        Library& operator=( const Library& ) = delete;

        bool is_initialized() const;

      protected:
        Library() = default;

        void call_initialize( const char* name );

      private:
        virtual void do_initialize() = 0;

      private:
        mutable std::mutex mutex_;
        bool initialized_{ false };
    };
} // namespace vorna
