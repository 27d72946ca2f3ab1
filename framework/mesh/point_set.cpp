#include <vorna/mesh/point_set.h>

#include <absl/strings/str_cat.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/point_set_builder.h>

#include "mesh_creation.h"

namespace vorna
{
    template < index_t D >
    PointSet< D >::PointSet() = default;
    template < index_t D >
    PointSet< D >::~PointSet() = default;
    template < index_t D >
    PointSet< D >::PointSet( PointSet&& ) noexcept = default;
    template < index_t D >
    PointSet< D >& PointSet< D >::operator=( PointSet&& ) noexcept = default;

    template < index_t D >
    std::unique_ptr< PointSet< D > > PointSet< D >::create()
    {
        return create( impl_name_static() );
    }

    template < index_t D >
    std::unique_ptr< PointSet< D > >
    PointSet< D >::create( const MeshImpl& impl )
    {
        return detail::create_typed_mesh< PointSet< D > >( impl,
                                                           "PointSet::create" );
    }

    template < index_t D >
    std::unique_ptr< PointSet< D > > PointSet< D >::clone() const
    {
        auto copy = create( impl_name() );
        copy->copy_vertex_set( *this );
        copy->points_ = points_;
        return copy;
    }

    template < index_t D >
    const Point< D >& PointSet< D >::point( index_t vertex ) const
    {
        if( vertex >= nb_vertices() )
        {
            throw CorvaneException( "[PointSet::point] Invalid vertex ",
                                    vertex,
                                    " (",
                                    nb_vertices(),
                                    " vertices)" );
        }
        return points_[vertex];
    }

    template < index_t D >
    MeshType PointSet< D >::type_name() const
    {
        return type_name_static();
    }

    template < index_t D >
    MeshImpl PointSet< D >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t D >
    MeshType PointSet< D >::type_name_static()
    {
        return absl::StrCat( "PointSet", D, "D" );
    }

    template < index_t D >
    MeshImpl PointSet< D >::impl_name_static()
    {
        return absl::StrCat( "DefaultPointSet", D, "D" );
    }

    template < index_t D >
    void PointSet< D >::resize_vertices( index_t nb_vertices )
    {
        points_.resize( nb_vertices );
        VertexSet::resize_vertices( nb_vertices );
    }

    template < index_t D >
    PointSetBuilder< D >::PointSetBuilder( VertexSet& mesh,
                                           MeshBuilderFactoryKey key )
        : VertexSetBuilder( mesh, key ),
          point_set_( detail::typed_mesh< PointSet< D > >(
              mesh, "PointSetBuilder::PointSetBuilder", "a point set" ) )
    {
    }

    template < index_t D >
    std::unique_ptr< PointSetBuilder< D > >
    PointSetBuilder< D >::create( PointSet< D >& mesh )
    {
        return detail::create_mesh_builder< PointSetBuilder< D > >(
            mesh, "PointSetBuilder::create" );
    }

    template < index_t D >
    index_t PointSetBuilder< D >::create_point( const Point< D >& point )
    {
        const auto vertex = create_vertex();
        point_set_.points_[vertex] = point;
        return vertex;
    }

    template < index_t D >
    void PointSetBuilder< D >::set_point( index_t vertex,
                                          const Point< D >& point )
    {
        detail::set_mesh_point(
            point_set_.points_, vertex, point, "PointSetBuilder::set_point" );
    }

    template class PointSet< 2 >;
    template class PointSet< 3 >;
    template class PointSetBuilder< 2 >;
    template class PointSetBuilder< 3 >;
} // namespace vorna
