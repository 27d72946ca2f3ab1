#include <vorna/mesh/edged_curve.h>

#include <absl/strings/str_cat.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/edged_curve_builder.h>

#include "mesh_creation.h"

namespace vorna
{
    template < index_t D >
    EdgedCurve< D >::EdgedCurve() = default;
    template < index_t D >
    EdgedCurve< D >::~EdgedCurve() = default;
    template < index_t D >
    EdgedCurve< D >::EdgedCurve( EdgedCurve&& ) noexcept = default;
    template < index_t D >
    EdgedCurve< D >&
    EdgedCurve< D >::operator=( EdgedCurve&& ) noexcept = default;

    template < index_t D >
    std::unique_ptr< EdgedCurve< D > > EdgedCurve< D >::create()
    {
        return create( impl_name_static() );
    }

    template < index_t D >
    std::unique_ptr< EdgedCurve< D > >
    EdgedCurve< D >::create( const MeshImpl& impl )
    {
        return detail::create_typed_mesh< EdgedCurve< D > >(
            impl, "EdgedCurve::create" );
    }

    template < index_t D >
    std::unique_ptr< EdgedCurve< D > > EdgedCurve< D >::clone() const
    {
        auto copy = create( impl_name() );
        copy->copy_graph( *this );
        copy->points_ = points_;
        return copy;
    }

    template < index_t D >
    const Point< D >& EdgedCurve< D >::point( index_t vertex ) const
    {
        if( vertex >= nb_vertices() )
        {
            throw CorvaneException( "[EdgedCurve::point] Invalid vertex ",
                                    vertex,
                                    " (",
                                    nb_vertices(),
                                    " vertices)" );
        }
        return points_[vertex];
    }

    template < index_t D >
    Point< D > EdgedCurve< D >::edge_barycenter( index_t edge ) const
    {
        const auto& vertices = edge_vertices( edge );
        if( vertices[0] == INVALID_INDEX || vertices[1] == INVALID_INDEX )
        {
            throw CorvaneException( "[EdgedCurve::edge_barycenter] Edge ",
                                    edge,
                                    " has an unset end" );
        }
        return ( points_[vertices[0]] + points_[vertices[1]] ) / 2.;
    }

    template < index_t D >
    double EdgedCurve< D >::edge_length( index_t edge ) const
    {
        const auto& vertices = edge_vertices( edge );
        if( vertices[0] == INVALID_INDEX || vertices[1] == INVALID_INDEX )
        {
            throw CorvaneException(
                "[EdgedCurve::edge_length] Edge ", edge, " has an unset end" );
        }
        return Vector< D >{ points_[vertices[0]], points_[vertices[1]] }
            .length();
    }

    template < index_t D >
    MeshType EdgedCurve< D >::type_name() const
    {
        return type_name_static();
    }

    template < index_t D >
    MeshImpl EdgedCurve< D >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t D >
    MeshType EdgedCurve< D >::type_name_static()
    {
        return absl::StrCat( "EdgedCurve", D, "D" );
    }

    template < index_t D >
    MeshImpl EdgedCurve< D >::impl_name_static()
    {
        return absl::StrCat( "DefaultEdgedCurve", D, "D" );
    }

    template < index_t D >
    void EdgedCurve< D >::resize_vertices( index_t nb_vertices )
    {
        points_.resize( nb_vertices );
        Graph::resize_vertices( nb_vertices );
    }

    template < index_t D >
    EdgedCurveBuilder< D >::EdgedCurveBuilder( VertexSet& mesh,
                                               MeshBuilderFactoryKey key )
        : GraphBuilder( mesh, key ),
          curve_( detail::typed_mesh< EdgedCurve< D > >(
              mesh, "EdgedCurveBuilder::EdgedCurveBuilder", "an edged curve" ) )
    {
    }

    template < index_t D >
    std::unique_ptr< EdgedCurveBuilder< D > >
    EdgedCurveBuilder< D >::create( EdgedCurve< D >& mesh )
    {
        return detail::create_mesh_builder< EdgedCurveBuilder< D > >(
            mesh, "EdgedCurveBuilder::create" );
    }

    template < index_t D >
    index_t EdgedCurveBuilder< D >::create_point( const Point< D >& point )
    {
        const auto vertex = create_vertex();
        curve_.points_[vertex] = point;
        return vertex;
    }

    template < index_t D >
    void EdgedCurveBuilder< D >::set_point( index_t vertex,
                                            const Point< D >& point )
    {
        detail::set_mesh_point(
            curve_.points_, vertex, point, "EdgedCurveBuilder::set_point" );
    }

    template class EdgedCurve< 2 >;
    template class EdgedCurve< 3 >;
    template class EdgedCurveBuilder< 2 >;
    template class EdgedCurveBuilder< 3 >;
} // namespace vorna
