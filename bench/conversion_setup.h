#pragma once

#include <vorna/basic/logger.h>
#include <vorna/conversion/conversion_model.h>

namespace vorna
{
    namespace bench
    {
        /// The conversion library started, its log kept to warnings so
        /// that logging does not weigh on the measures.
        inline void set_up_conversion()
        {
            ConversionModel::initialize();
            Logger::set_level( Logger::Level::warn );
        }
    } // namespace bench
} // namespace vorna
