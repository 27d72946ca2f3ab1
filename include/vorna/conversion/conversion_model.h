#pragma once

#include <vorna/basic/library.h>

namespace vorna
{
    /// Start-up of the conversion library. Call initialize() once before the
    /// first conversion, on the thread that will drive it.
    class ConversionModel : public Library
    {
      public:
        ConversionModel() = default;

        /// Initialises the framework's model library (and those below it).
        /// Thread-safe; later calls pass the same library object again.
        /// \throw whatever the framework's initialisation throws; the next
        /// call then tries again.
        static void initialize();

      private:
        void do_initialize() final;
    };
} // namespace vorna
