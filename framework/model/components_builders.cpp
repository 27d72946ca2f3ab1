#include <vorna/model/blocks_builder.h>
#include <vorna/model/corners_builder.h>
#include <vorna/model/lines_builder.h>
#include <vorna/model/surfaces_builder.h>

#include <utility>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/identifier_builder.h>

namespace vorna
{
    template < index_t D >
    void CornersBuilder< D >::set_corner_name( const uuid& id,
                                               absl::string_view name )
    {
        IdentifierBuilder{ corners_.modifiable_corner( id ) }.set_name( name );
    }

    template < index_t D >
    std::unique_ptr< PointSetBuilder< D > >
    CornersBuilder< D >::corner_mesh_builder( const uuid& id )
    {
        return PointSetBuilder< D >::create(
            corners_.modifiable_corner( id ).get_modifiable_mesh() );
    }

    template < index_t D >
    const uuid& CornersBuilder< D >::create_corner()
    {
        return create_corner( PointSet< D >::create() );
    }

    template < index_t D >
    const uuid& CornersBuilder< D >::create_corner( const MeshImpl& impl )
    {
        return create_corner( PointSet< D >::create( impl ) );
    }

    template < index_t D >
    const uuid&
    CornersBuilder< D >::create_corner( std::unique_ptr< PointSet< D > > mesh )
    {
        if( !mesh )
        {
            throw CorvaneException(
                "[CornersBuilder::create_corner] Null mesh given" );
        }
        return corners_.create_corner( std::move( mesh ) ).id();
    }

    template < index_t D >
    void CornersBuilder< D >::delete_corner( const uuid& id )
    {
        corners_.delete_corner( id );
    }

    template class CornersBuilder< 2 >;
    template class CornersBuilder< 3 >;

    template < index_t D >
    void LinesBuilder< D >::set_line_name( const uuid& id,
                                           absl::string_view name )
    {
        IdentifierBuilder{ lines_.modifiable_line( id ) }.set_name( name );
    }

    template < index_t D >
    std::unique_ptr< EdgedCurveBuilder< D > >
    LinesBuilder< D >::line_mesh_builder( const uuid& id )
    {
        return EdgedCurveBuilder< D >::create(
            lines_.modifiable_line( id ).get_modifiable_mesh() );
    }

    template < index_t D >
    const uuid& LinesBuilder< D >::create_line()
    {
        return create_line( EdgedCurve< D >::create() );
    }

    template < index_t D >
    const uuid& LinesBuilder< D >::create_line( const MeshImpl& impl )
    {
        return create_line( EdgedCurve< D >::create( impl ) );
    }

    template < index_t D >
    const uuid&
    LinesBuilder< D >::create_line( std::unique_ptr< EdgedCurve< D > > mesh )
    {
        if( !mesh )
        {
            throw CorvaneException(
                "[LinesBuilder::create_line] Null mesh given" );
        }
        return lines_.create_line( std::move( mesh ) ).id();
    }

    template < index_t D >
    void LinesBuilder< D >::delete_line( const uuid& id )
    {
        lines_.delete_line( id );
    }

    template class LinesBuilder< 2 >;
    template class LinesBuilder< 3 >;

    template < index_t D >
    void SurfacesBuilder< D >::set_surface_name( const uuid& id,
                                                 absl::string_view name )
    {
        IdentifierBuilder{ surfaces_.modifiable_surface( id ) }.set_name(
            name );
    }

    template < index_t D >
    std::unique_ptr< SurfaceMeshBuilder< D > >
    SurfacesBuilder< D >::surface_mesh_builder( const uuid& id )
    {
        return SurfaceMeshBuilder< D >::create(
            surfaces_.modifiable_surface( id ).get_modifiable_mesh() );
    }

    template < index_t D >
    const uuid& SurfacesBuilder< D >::create_surface()
    {
        return create_surface( SurfaceMesh< D >::create() );
    }

    template < index_t D >
    const uuid& SurfacesBuilder< D >::create_surface( const MeshImpl& impl )
    {
        return create_surface( SurfaceMesh< D >::create( impl ) );
    }

    template < index_t D >
    const uuid& SurfacesBuilder< D >::create_surface(
        std::unique_ptr< SurfaceMesh< D > > mesh )
    {
        if( !mesh )
        {
            throw CorvaneException(
                "[SurfacesBuilder::create_surface] Null mesh given" );
        }
        return surfaces_.create_surface( std::move( mesh ) ).id();
    }

    template < index_t D >
    void SurfacesBuilder< D >::delete_surface( const uuid& id )
    {
        surfaces_.delete_surface( id );
    }

    template < index_t D >
    void SurfacesBuilder< D >::set_surface_mesh(
        const uuid& id, std::unique_ptr< SurfaceMesh< D > > mesh )
    {
        if( !mesh )
        {
            throw CorvaneException(
                "[SurfacesBuilder::set_surface_mesh] Null mesh given for "
                "surface ",
                id.string() );
        }
        surfaces_.set_surface_mesh( id, std::move( mesh ) );
    }

    template class SurfacesBuilder< 2 >;
    template class SurfacesBuilder< 3 >;

    template < index_t D >
    void BlocksBuilder< D >::set_block_name( const uuid& id,
                                             absl::string_view name )
    {
        IdentifierBuilder{ blocks_.modifiable_block( id ) }.set_name( name );
    }

    template < index_t D >
    std::unique_ptr< SolidMeshBuilder< D > >
    BlocksBuilder< D >::block_mesh_builder( const uuid& id )
    {
        return SolidMeshBuilder< D >::create(
            blocks_.modifiable_block( id ).get_modifiable_mesh() );
    }

    template < index_t D >
    const uuid& BlocksBuilder< D >::create_block()
    {
        return create_block( SolidMesh< D >::create() );
    }

    template < index_t D >
    const uuid& BlocksBuilder< D >::create_block( const MeshImpl& impl )
    {
        return create_block( SolidMesh< D >::create( impl ) );
    }

    template < index_t D >
    const uuid&
    BlocksBuilder< D >::create_block( std::unique_ptr< SolidMesh< D > > mesh )
    {
        if( !mesh )
        {
            throw CorvaneException(
                "[BlocksBuilder::create_block] Null mesh given" );
        }
        return blocks_.create_block( std::move( mesh ) ).id();
    }

    template < index_t D >
    void BlocksBuilder< D >::delete_block( const uuid& id )
    {
        blocks_.delete_block( id );
    }

    template class BlocksBuilder< 3 >;

} // namespace vorna
