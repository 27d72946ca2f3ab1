#include <vorna/geometry/mensuration.h>

#include <vorna/geometry/vector.h>

namespace vorna
{
    double tetrahedron_signed_volume( const Tetrahedron& tetrahedron )
    {
        const auto& vertices = tetrahedron.vertices();
        const Vector3D ab{ vertices[0], vertices[1] };
        const Vector3D ac{ vertices[0], vertices[2] };
        const Vector3D ad{ vertices[0], vertices[3] };
        return ab.cross( ac ).dot( ad ) / 6.;
    }
} // namespace vorna
