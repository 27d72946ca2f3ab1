#include <vorna/mesh/solid_mesh.h>

#include <absl/strings/str_cat.h>

#include <vorna/basic/corvane_exception.h>

#include "mesh_creation.h"

namespace vorna
{
    template < index_t D >
    SolidMesh< D >::SolidMesh( bool tetrahedral )
        : tetrahedral_( tetrahedral ), vertex_offsets_{ 0 },
          facet_offsets_{ 0 }, facet_vertex_offsets_{ 0 }
    {
    }
    template < index_t D >
    SolidMesh< D >::~SolidMesh() = default;
    template < index_t D >
    SolidMesh< D >::SolidMesh( SolidMesh&& ) noexcept = default;
    template < index_t D >
    SolidMesh< D >& SolidMesh< D >::operator=( SolidMesh&& ) noexcept = default;

    template < index_t D >
    std::unique_ptr< SolidMesh< D > > SolidMesh< D >::create()
    {
        return create( PolyhedralSolid< D >::impl_name_static() );
    }

    template < index_t D >
    std::unique_ptr< SolidMesh< D > >
    SolidMesh< D >::create( const MeshImpl& impl )
    {
        return detail::create_typed_mesh< SolidMesh< D > >(
            impl, "SolidMesh::create" );
    }

    template < index_t D >
    std::unique_ptr< SolidMesh< D > > SolidMesh< D >::clone() const
    {
        auto copy = create( impl_name() );
        copy->copy_vertex_set( *this );
        copy->points_ = points_;
        copy->vertex_offsets_ = vertex_offsets_;
        copy->polyhedron_vertices_ = polyhedron_vertices_;
        copy->facet_offsets_ = facet_offsets_;
        copy->facet_vertex_offsets_ = facet_vertex_offsets_;
        copy->facet_local_vertices_ = facet_local_vertices_;
        copy->polyhedron_adjacents_ = polyhedron_adjacents_;
        copy->polyhedron_facet_ids_ = polyhedron_facet_ids_;
        copy->edges_.copy( edges_ );
        copy->facets_.copy( facets_ );
        copy->polyhedron_attributes_.copy( polyhedron_attributes_ );
        return copy;
    }

    template < index_t D >
    void SolidMesh< D >::check_vertex( index_t vertex,
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
    void SolidMesh< D >::check_polyhedron( index_t polyhedron,
                                           const char* operation ) const
    {
        if( polyhedron >= nb_polyhedra() )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Invalid polyhedron ",
                                    polyhedron,
                                    " (",
                                    nb_polyhedra(),
                                    " polyhedra)" );
        }
    }

    template < index_t D >
    index_t SolidMesh< D >::facet_slot( const PolyhedronFacet& polyhedron_facet,
                                        const char* operation ) const
    {
        check_polyhedron( polyhedron_facet.polyhedron_id, operation );
        const auto begin = facet_offsets_[polyhedron_facet.polyhedron_id];
        if( polyhedron_facet.facet_id >=
            facet_offsets_[polyhedron_facet.polyhedron_id + 1] - begin )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Invalid polyhedron facet ",
                                    polyhedron_facet.string() );
        }
        return begin + polyhedron_facet.facet_id;
    }

    template < index_t D >
    const Point< D >& SolidMesh< D >::point( index_t vertex ) const
    {
        check_vertex( vertex, "SolidMesh::point" );
        return points_[vertex];
    }

    template < index_t D >
    index_t SolidMesh< D >::nb_polyhedra() const
    {
        // A moved-from mesh has no offsets at all and reads as empty.
        return vertex_offsets_.empty()
                   ? 0
                   : static_cast< index_t >( vertex_offsets_.size() - 1 );
    }

    template < index_t D >
    local_index_t
    SolidMesh< D >::nb_polyhedron_vertices( index_t polyhedron ) const
    {
        check_polyhedron( polyhedron, "SolidMesh::nb_polyhedron_vertices" );
        return static_cast< local_index_t >( vertex_offsets_[polyhedron + 1] -
                                             vertex_offsets_[polyhedron] );
    }

    template < index_t D >
    local_index_t
    SolidMesh< D >::nb_polyhedron_facets( index_t polyhedron ) const
    {
        check_polyhedron( polyhedron, "SolidMesh::nb_polyhedron_facets" );
        return static_cast< local_index_t >( facet_offsets_[polyhedron + 1] -
                                             facet_offsets_[polyhedron] );
    }

    template < index_t D >
    local_index_t SolidMesh< D >::nb_polyhedron_facet_vertices(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        const auto slot = facet_slot(
            polyhedron_facet, "SolidMesh::nb_polyhedron_facet_vertices" );
        return static_cast< local_index_t >( facet_vertex_offsets_[slot + 1] -
                                             facet_vertex_offsets_[slot] );
    }

    template < index_t D >
    index_t SolidMesh< D >::polyhedron_vertex(
        const PolyhedronVertex& polyhedron_vertex ) const
    {
        const auto polyhedron = polyhedron_vertex.polyhedron_id;
        check_polyhedron( polyhedron, "SolidMesh::polyhedron_vertex" );
        const auto begin = vertex_offsets_[polyhedron];
        if( polyhedron_vertex.vertex_id >=
            vertex_offsets_[polyhedron + 1] - begin )
        {
            throw CorvaneException( "[SolidMesh::polyhedron_vertex] Invalid "
                                    "polyhedron vertex ",
                                    polyhedron_vertex.string() );
        }
        return polyhedron_vertices_[begin + polyhedron_vertex.vertex_id];
    }

    template < index_t D >
    index_t SolidMesh< D >::polyhedron_facet_vertex(
        const PolyhedronFacetVertex& polyhedron_facet_vertex ) const
    {
        const auto& facet = polyhedron_facet_vertex.facet;
        const auto slot =
            facet_slot( facet, "SolidMesh::polyhedron_facet_vertex" );
        const auto begin = facet_vertex_offsets_[slot];
        if( polyhedron_facet_vertex.vertex_id >=
            facet_vertex_offsets_[slot + 1] - begin )
        {
            throw CorvaneException( "[SolidMesh::polyhedron_facet_vertex] "
                                    "Invalid polyhedron facet vertex ",
                                    polyhedron_facet_vertex.string() );
        }
        const auto local =
            facet_local_vertices_[begin + polyhedron_facet_vertex.vertex_id];
        return polyhedron_vertices_[vertex_offsets_[facet.polyhedron_id] +
                                    local];
    }

    template < index_t D >
    std::vector< index_t > SolidMesh< D >::polyhedron_facet_vertices(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        const auto slot = facet_slot( polyhedron_facet,
                                      "SolidMesh::polyhedron_facet_vertices" );
        const auto* vertices = polyhedron_vertices_.data() +
                               vertex_offsets_[polyhedron_facet.polyhedron_id];
        std::vector< index_t > result;
        result.reserve( facet_vertex_offsets_[slot + 1] -
                        facet_vertex_offsets_[slot] );
        for( auto i = facet_vertex_offsets_[slot];
             i < facet_vertex_offsets_[slot + 1];
             i++ )
        {
            result.push_back( vertices[facet_local_vertices_[i]] );
        }
        return result;
    }

    template < index_t D >
    absl::optional< local_index_t >
    SolidMesh< D >::vertex_in_polyhedron( index_t polyhedron,
                                          index_t vertex ) const
    {
        check_polyhedron( polyhedron, "SolidMesh::vertex_in_polyhedron" );
        const auto begin = vertex_offsets_[polyhedron];
        for( auto i = begin; i < vertex_offsets_[polyhedron + 1]; i++ )
        {
            if( polyhedron_vertices_[i] == vertex )
            {
                return static_cast< local_index_t >( i - begin );
            }
        }
        return absl::nullopt;
    }

    template < index_t D >
    absl::optional< index_t > SolidMesh< D >::polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        const auto adjacent = polyhedron_adjacents_[facet_slot(
            polyhedron_facet, "SolidMesh::polyhedron_adjacent" )];
        if( adjacent == INVALID_INDEX )
        {
            return absl::nullopt;
        }
        return adjacent;
    }

    template < index_t D >
    bool SolidMesh< D >::is_polyhedron_facet_on_border(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        return polyhedron_adjacents_[facet_slot(
                   polyhedron_facet,
                   "SolidMesh::is_polyhedron_facet_on_border" )] ==
               INVALID_INDEX;
    }

    template < index_t D >
    void SolidMesh< D >::resize_vertices( index_t nb_vertices )
    {
        points_.resize( nb_vertices );
        VertexSet::resize_vertices( nb_vertices );
    }

    template < index_t D >
    PolyhedralSolid< D >::PolyhedralSolid() : SolidMesh< D >( false )
    {
    }

    template < index_t D >
    MeshType PolyhedralSolid< D >::type_name() const
    {
        return type_name_static();
    }

    template < index_t D >
    MeshImpl PolyhedralSolid< D >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t D >
    MeshType PolyhedralSolid< D >::type_name_static()
    {
        return absl::StrCat( "PolyhedralSolid", D, "D" );
    }

    template < index_t D >
    MeshImpl PolyhedralSolid< D >::impl_name_static()
    {
        return absl::StrCat( "DefaultPolyhedralSolid", D, "D" );
    }

    template < index_t D >
    TetrahedralSolid< D >::TetrahedralSolid() : SolidMesh< D >( true )
    {
    }

    template < index_t D >
    MeshType TetrahedralSolid< D >::type_name() const
    {
        return type_name_static();
    }

    template < index_t D >
    MeshImpl TetrahedralSolid< D >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t D >
    MeshType TetrahedralSolid< D >::type_name_static()
    {
        return absl::StrCat( "TetrahedralSolid", D, "D" );
    }

    template < index_t D >
    MeshImpl TetrahedralSolid< D >::impl_name_static()
    {
        return absl::StrCat( "DefaultTetrahedralSolid", D, "D" );
    }

    template class SolidMesh< 3 >;
    template class PolyhedralSolid< 3 >;
    template class TetrahedralSolid< 3 >;
} // namespace vorna
