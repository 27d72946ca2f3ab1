#include <vorna/model/corvane_model.h>

#include <vorna/mesh/corvane_mesh.h>

namespace vorna
{
    void CorvaneModel::initialize()
    {
        static CorvaneModel library;
        library.call_initialize( "CorvaneModel" );
    }

    void CorvaneModel::do_initialize()
    {
        CorvaneMesh::initialize();
    }
} // namespace vorna
