#include <conversion/mesh_analysis/from_meshes/common.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            const ComponentType& surface_type()
            {
                static const ComponentType type{ "Surface" };
                return type;
            }

            const ComponentType& line_type()
            {
                static const ComponentType type{ "Line" };
                return type;
            }

            const ComponentType& corner_type()
            {
                static const ComponentType type{ "Corner" };
                return type;
            }
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
