#include <vorna/model/block.h>
#include <vorna/model/corner.h>
#include <vorna/model/line.h>
#include <vorna/model/surface.h>

#include <utility>

namespace vorna
{
    template < index_t D >
    Corner< D >::Corner( std::unique_ptr< PointSet< D > > mesh )
        : mesh_( std::move( mesh ) )
    {
    }

    template < index_t D >
    Corner< D >::~Corner() = default;

    template < index_t D >
    void Corner< D >::set_mesh( std::unique_ptr< PointSet< D > > mesh )
    {
        mesh_ = std::move( mesh );
    }

    template class Corner< 2 >;
    template class Corner< 3 >;

    template < index_t D >
    Line< D >::Line( std::unique_ptr< EdgedCurve< D > > mesh )
        : mesh_( std::move( mesh ) )
    {
    }

    template < index_t D >
    Line< D >::~Line() = default;

    template < index_t D >
    void Line< D >::set_mesh( std::unique_ptr< EdgedCurve< D > > mesh )
    {
        mesh_ = std::move( mesh );
    }

    template class Line< 2 >;
    template class Line< 3 >;

    template < index_t D >
    Surface< D >::Surface( std::unique_ptr< SurfaceMesh< D > > mesh )
        : mesh_( std::move( mesh ) )
    {
    }

    template < index_t D >
    Surface< D >::~Surface() = default;

    template < index_t D >
    void Surface< D >::set_mesh( std::unique_ptr< SurfaceMesh< D > > mesh )
    {
        mesh_ = std::move( mesh );
    }

    template class Surface< 2 >;
    template class Surface< 3 >;

    template < index_t D >
    Block< D >::Block( std::unique_ptr< SolidMesh< D > > mesh )
        : mesh_( std::move( mesh ) )
    {
    }

    template < index_t D >
    Block< D >::~Block() = default;

    template < index_t D >
    void Block< D >::set_mesh( std::unique_ptr< SolidMesh< D > > mesh )
    {
        mesh_ = std::move( mesh );
    }

    template class Block< 3 >;

} // namespace vorna
