#pragma once

#include <vorna/basic/library.h>

namespace vorna
{
    /// Start-up of the mesh library: registers every mesh type, its default
    /// implementation and its builder before any lookup.
    class CorvaneMesh : public Library
    {
      public:
        /// Thread-safe and idempotent.
        static void initialize();

      private:
        CorvaneMesh() = default;
        void do_initialize() final;
    };
} // namespace vorna
