#include <vorna/conversion/conversion_model.h>

#include <vorna/model/corvane_model.h>

namespace vorna
{
    void ConversionModel::initialize()
    {
        static ConversionModel library;
        library.call_initialize( "ConversionModel" );
    }

    void ConversionModel::do_initialize()
    {
        CorvaneModel::initialize();
    }
} // namespace vorna
