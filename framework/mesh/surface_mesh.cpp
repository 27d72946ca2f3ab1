#include <vorna/mesh/surface_mesh.h>

#include <cmath>

#include <absl/strings/str_cat.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/tolerance.h>

#include "mesh_creation.h"

namespace vorna
{
    namespace
    {
        template < index_t D >
        std::array< double, 3 > lift( const Point< D >& point )
        {
            std::array< double, 3 > result{ 0., 0., 0. };
            for( index_t i = 0; i < D; i++ )
            {
                result[i] = point.value( i );
            }
            return result;
        }
    } // namespace

    template < index_t D >
    SurfaceMesh< D >::SurfaceMesh( bool triangulated )
        : triangulated_( triangulated ), polygon_offsets_{ 0 }
    {
    }
    template < index_t D >
    SurfaceMesh< D >::~SurfaceMesh() = default;
    template < index_t D >
    SurfaceMesh< D >::SurfaceMesh( SurfaceMesh&& ) noexcept = default;
    template < index_t D >
    SurfaceMesh< D >&
    SurfaceMesh< D >::operator=( SurfaceMesh&& ) noexcept = default;

    template < index_t D >
    std::unique_ptr< SurfaceMesh< D > > SurfaceMesh< D >::create()
    {
        return create( PolygonalSurface< D >::impl_name_static() );
    }

    template < index_t D >
    std::unique_ptr< SurfaceMesh< D > >
    SurfaceMesh< D >::create( const MeshImpl& impl )
    {
        return detail::create_typed_mesh< SurfaceMesh< D > >(
            impl, "SurfaceMesh::create" );
    }

    template < index_t D >
    std::unique_ptr< SurfaceMesh< D > > SurfaceMesh< D >::clone() const
    {
        auto copy = create( impl_name() );
        copy->copy_vertex_set( *this );
        copy->points_ = points_;
        copy->polygon_offsets_ = polygon_offsets_;
        copy->polygon_vertices_ = polygon_vertices_;
        copy->polygon_adjacents_ = polygon_adjacents_;
        copy->polygons_around_vertex_ = polygons_around_vertex_;
        copy->polygon_attributes_.copy( polygon_attributes_ );
        return copy;
    }

    template < index_t D >
    void SurfaceMesh< D >::check_polygon( index_t polygon,
                                          const char* operation ) const
    {
        if( polygon >= nb_polygons() )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Invalid polygon ",
                                    polygon,
                                    " (",
                                    nb_polygons(),
                                    " polygons)" );
        }
    }

    template < index_t D >
    void SurfaceMesh< D >::check_edge( const PolygonEdge& polygon_edge,
                                       const char* operation ) const
    {
        check_polygon( polygon_edge.polygon_id, operation );
        if( polygon_edge.edge_id >=
            polygon_offsets_[polygon_edge.polygon_id + 1] -
                polygon_offsets_[polygon_edge.polygon_id] )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Invalid polygon edge ",
                                    polygon_edge.string() );
        }
    }

    template < index_t D >
    void SurfaceMesh< D >::check_polygon_range( index_t begin,
                                                index_t end,
                                                const char* operation ) const
    {
        if( begin > end || end > nb_polygons() )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Invalid polygon range ",
                                    begin,
                                    " to ",
                                    end,
                                    " (",
                                    nb_polygons(),
                                    " polygons)" );
        }
    }

    template < index_t D >
    void SurfaceMesh< D >::check_vertex( index_t vertex,
                                         const char* operation ) const
    {
        if( vertex >= nb_vertices() )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Invalid vertex ",
                                    vertex,
                                    " (",
                                    nb_vertices(),
                                    " vertices)" );
        }
    }

    template < index_t D >
    const Point< D >& SurfaceMesh< D >::point( index_t vertex ) const
    {
        check_vertex( vertex, "SurfaceMesh::point" );
        return points_[vertex];
    }

    template < index_t D >
    local_index_t SurfaceMesh< D >::nb_polygon_vertices( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::nb_polygon_vertices" );
        return static_cast< local_index_t >( polygon_offsets_[polygon + 1] -
                                             polygon_offsets_[polygon] );
    }

    template < index_t D >
    local_index_t SurfaceMesh< D >::nb_polygon_edges( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::nb_polygon_edges" );
        return static_cast< local_index_t >( polygon_offsets_[polygon + 1] -
                                             polygon_offsets_[polygon] );
    }

    template < index_t D >
    index_t SurfaceMesh< D >::polygon_vertex(
        const PolygonVertex& polygon_vertex ) const
    {
        check_edge( { polygon_vertex.polygon_id, polygon_vertex.vertex_id },
                    "SurfaceMesh::polygon_vertex" );
        return polygon_vertices_[polygon_offsets_[polygon_vertex.polygon_id] +
                                 polygon_vertex.vertex_id];
    }

    template < index_t D >
    std::vector< index_t >
    SurfaceMesh< D >::polygon_vertices( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::polygon_vertices" );
        return { polygon_vertices_.begin() + polygon_offsets_[polygon],
                 polygon_vertices_.begin() + polygon_offsets_[polygon + 1] };
    }

    template < index_t D >
    std::array< index_t, 2 > SurfaceMesh< D >::polygon_edge_vertices(
        const PolygonEdge& polygon_edge ) const
    {
        check_edge( polygon_edge, "SurfaceMesh::polygon_edge_vertices" );
        const auto begin = polygon_offsets_[polygon_edge.polygon_id];
        const auto size = polygon_offsets_[polygon_edge.polygon_id + 1] - begin;
        const auto slot = begin + polygon_edge.edge_id;
        const auto next = polygon_edge.edge_id + 1u == size ? begin : slot + 1;
        return { polygon_vertices_[slot], polygon_vertices_[next] };
    }

    template < index_t D >
    absl::optional< index_t >
    SurfaceMesh< D >::polygon_adjacent( const PolygonEdge& polygon_edge ) const
    {
        check_edge( polygon_edge, "SurfaceMesh::polygon_adjacent" );
        const auto adjacent = polygon_adjacents_[edge_slot( polygon_edge )];
        if( adjacent == INVALID_INDEX )
        {
            return absl::nullopt;
        }
        return adjacent;
    }

    template < index_t D >
    absl::optional< PolygonEdge > SurfaceMesh< D >::polygon_adjacent_edge(
        const PolygonEdge& polygon_edge ) const
    {
        check_edge( polygon_edge, "SurfaceMesh::polygon_adjacent_edge" );
        const auto adjacent = polygon_adjacents_[edge_slot( polygon_edge )];
        if( adjacent == INVALID_INDEX )
        {
            return absl::nullopt;
        }
        const auto vertices = polygon_edge_vertices( polygon_edge );
        absl::optional< PolygonEdge > result;
        const auto nb_edges = nb_polygon_edges( adjacent );
        for( local_index_t e = 0; e < nb_edges; e++ )
        {
            const PolygonEdge candidate{ adjacent, e };
            const auto other = polygon_edge_vertices( candidate );
            const bool same =
                ( other[0] == vertices[0] && other[1] == vertices[1] ) ||
                ( other[0] == vertices[1] && other[1] == vertices[0] );
            if( !same || candidate == polygon_edge )
            {
                continue;
            }
            // Prefer the edge whose adjacency points back.
            if( polygon_adjacents_[edge_slot( candidate )] ==
                polygon_edge.polygon_id )
            {
                return candidate;
            }
            if( !result )
            {
                result = candidate;
            }
        }
        return result;
    }

    template < index_t D >
    bool
    SurfaceMesh< D >::is_edge_on_border( const PolygonEdge& polygon_edge ) const
    {
        check_edge( polygon_edge, "SurfaceMesh::is_edge_on_border" );
        return polygon_adjacents_[edge_slot( polygon_edge )] == INVALID_INDEX;
    }

    template < index_t D >
    bool SurfaceMesh< D >::is_vertex_on_border( index_t vertex ) const
    {
        check_vertex( vertex, "SurfaceMesh::is_vertex_on_border" );
        for( const auto& use : polygons_around_vertex_[vertex] )
        {
            const auto begin = polygon_offsets_[use.polygon_id];
            const auto size = polygon_offsets_[use.polygon_id + 1] - begin;
            const auto previous = ( use.vertex_id + size - 1 ) % size;
            if( polygon_adjacents_[begin + use.vertex_id] == INVALID_INDEX ||
                polygon_adjacents_[begin + previous] == INVALID_INDEX )
            {
                return true;
            }
        }
        return false;
    }

    template < index_t D >
    const PolygonsAroundVertex&
    SurfaceMesh< D >::polygons_around_vertex( index_t vertex ) const
    {
        check_vertex( vertex, "SurfaceMesh::polygons_around_vertex" );
        return polygons_around_vertex_[vertex];
    }

    // Fan sum A of (v_k - v_0) x (v_{k+1} - v_0), 2D points lifted to z = 0.
    template < index_t D >
    static std::array< double, 3 >
    fan_area_vector( const std::vector< Point< D > >& points,
                     const index_t* vertices,
                     index_t size )
    {
        std::array< double, 3 > sum{ 0., 0., 0. };
        const auto origin = lift( points[vertices[0]] );
        for( index_t k = 1; k + 1 < size; k++ )
        {
            auto a = lift( points[vertices[k]] );
            auto b = lift( points[vertices[k + 1]] );
            for( index_t i = 0; i < 3; i++ )
            {
                a[i] -= origin[i];
                b[i] -= origin[i];
            }
            sum[0] += a[1] * b[2] - a[2] * b[1];
            sum[1] += a[2] * b[0] - a[0] * b[2];
            sum[2] += a[0] * b[1] - a[1] * b[0];
        }
        return sum;
    }

    template < index_t D >
    double SurfaceMesh< D >::polygon_area( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::polygon_area" );
        const auto begin = polygon_offsets_[polygon];
        const auto sum =
            fan_area_vector< D >( points_,
                                  polygon_vertices_.data() + begin,
                                  polygon_offsets_[polygon + 1] - begin );
        return std::sqrt( sum[0] * sum[0] + sum[1] * sum[1] +
                          sum[2] * sum[2] ) /
               2.;
    }

    template < index_t D >
    Point< D > SurfaceMesh< D >::polygon_barycenter( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::polygon_barycenter" );
        Point< D > sum;
        const auto begin = polygon_offsets_[polygon];
        const auto end = polygon_offsets_[polygon + 1];
        for( auto slot = begin; slot < end; slot++ )
        {
            sum += points_[polygon_vertices_[slot]];
        }
        return sum / static_cast< double >( end - begin );
    }

    template < index_t D >
    absl::optional< Vector< 3 > >
    SurfaceMesh< D >::optional_normal( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::new_polygon_normal" );
        const auto begin = polygon_offsets_[polygon];
        const Vector< 3 > sum{
            fan_area_vector< D >( points_,
                                  polygon_vertices_.data() + begin,
                                  polygon_offsets_[polygon + 1] - begin ) };
        const auto length = sum.length();
        // A non-finite point gives no direction either, not a NaN normal.
        if( !std::isfinite( length ) ||
            length < GLOBAL_EPSILON * GLOBAL_EPSILON )
        {
            return absl::nullopt;
        }
        return sum / length;
    }

    template < index_t D >
    Vector< 3 > SurfaceMesh< D >::normal_or_throw( index_t polygon ) const
    {
        check_polygon( polygon, "SurfaceMesh::polygon_normal" );
        const auto normal = optional_normal( polygon );
        if( !normal )
        {
            throw CorvaneException( "[SurfaceMesh::polygon_normal] Polygon ",
                                    polygon,
                                    " is degenerate and has no normal" );
        }
        return *normal;
    }

    template < index_t D >
    void SurfaceMesh< D >::resize_vertices( index_t nb_vertices )
    {
        points_.resize( nb_vertices );
        polygons_around_vertex_.resize( nb_vertices );
        VertexSet::resize_vertices( nb_vertices );
    }

    template < index_t D >
    PolygonalSurface< D >::PolygonalSurface() : SurfaceMesh< D >( false )
    {
    }

    template < index_t D >
    MeshType PolygonalSurface< D >::type_name() const
    {
        return type_name_static();
    }

    template < index_t D >
    MeshImpl PolygonalSurface< D >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t D >
    MeshType PolygonalSurface< D >::type_name_static()
    {
        return absl::StrCat( "PolygonalSurface", D, "D" );
    }

    template < index_t D >
    MeshImpl PolygonalSurface< D >::impl_name_static()
    {
        return absl::StrCat( "DefaultPolygonalSurface", D, "D" );
    }

    template < index_t D >
    TriangulatedSurface< D >::TriangulatedSurface() : SurfaceMesh< D >( true )
    {
    }

    template < index_t D >
    MeshType TriangulatedSurface< D >::type_name() const
    {
        return type_name_static();
    }

    template < index_t D >
    MeshImpl TriangulatedSurface< D >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t D >
    MeshType TriangulatedSurface< D >::type_name_static()
    {
        return absl::StrCat( "TriangulatedSurface", D, "D" );
    }

    template < index_t D >
    MeshImpl TriangulatedSurface< D >::impl_name_static()
    {
        return absl::StrCat( "DefaultTriangulatedSurface", D, "D" );
    }

    template class SurfaceMesh< 2 >;
    template class SurfaceMesh< 3 >;
    template class PolygonalSurface< 2 >;
    template class PolygonalSurface< 3 >;
    template class TriangulatedSurface< 2 >;
    template class TriangulatedSurface< 3 >;
} // namespace vorna
