#pragma once

#include <vorna/basic/library.h>

namespace vorna
{
    /// Start-up of the model library; initialises the libraries below it.
    class CorvaneModel : public Library
    {
      public:
        /// Thread-safe and idempotent.
        static void initialize();

      private:
        CorvaneModel() = default;
        void do_initialize() final;
    };
} // namespace vorna
