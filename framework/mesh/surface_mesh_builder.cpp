#include <vorna/mesh/surface_mesh_builder.h>

#include <algorithm>
#include <utility>

#include <vorna/basic/corvane_exception.h>

#include "mesh_creation.h"

namespace vorna
{
    template < index_t D >
    SurfaceMeshBuilder< D >::SurfaceMeshBuilder( VertexSet& mesh,
                                                 MeshBuilderFactoryKey key )
        : VertexSetBuilder( mesh, key ),
          surface_( detail::typed_mesh< SurfaceMesh< D > >(
              mesh,
              "SurfaceMeshBuilder::SurfaceMeshBuilder",
              "a surface mesh of this dimension" ) )
    {
    }

    template < index_t D >
    std::unique_ptr< SurfaceMeshBuilder< D > >
    SurfaceMeshBuilder< D >::create( SurfaceMesh< D >& mesh )
    {
        return detail::create_mesh_builder< SurfaceMeshBuilder< D > >(
            mesh, "SurfaceMeshBuilder::create" );
    }

    template < index_t D >
    index_t SurfaceMeshBuilder< D >::create_point( const Point< D >& point )
    {
        const auto vertex = create_vertex();
        surface_.points_[vertex] = point;
        return vertex;
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::set_point( index_t vertex,
                                             const Point< D >& point )
    {
        detail::set_mesh_point(
            surface_.points_, vertex, point, "SurfaceMeshBuilder::set_point" );
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::check_new_polygon(
        absl::Span< const index_t > vertices, const char* operation ) const
    {
        if( vertices.size() < 3 )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] A polygon needs at least 3 vertices, "
                                    "got ",
                                    vertices.size() );
        }
        if( vertices.size() >= INVALID_LOCAL_INDEX + 1u )
        {
            throw CorvaneException(
                "[",
                operation,
                "] A polygon has at most ",
                static_cast< unsigned int >( INVALID_LOCAL_INDEX ),
                " vertices, got ",
                vertices.size() );
        }
        if( surface_.triangulated_ && vertices.size() != 3 )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] A triangulated surface accepts only "
                                    "triangles, got ",
                                    vertices.size(),
                                    " vertices" );
        }
        for( const auto vertex : vertices )
        {
            surface_.check_vertex( vertex, operation );
        }
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::check_room( std::size_t nb_polygons,
                                              std::size_t nb_vertices,
                                              const char* operation ) const
    {
        if( surface_.nb_polygons() + nb_polygons >= INVALID_INDEX ||
            surface_.polygon_vertices_.size() + nb_vertices >= INVALID_INDEX )
        {
            throw CorvaneException( "[", operation, "] Too many polygons" );
        }
    }

    template < index_t D >
    index_t SurfaceMeshBuilder< D >::create_polygon(
        absl::Span< const index_t > vertices )
    {
        check_new_polygon( vertices, "SurfaceMeshBuilder::create_polygon" );
        check_room( 1, vertices.size(), "SurfaceMeshBuilder::create_polygon" );
        const index_t offsets[2] = {
            0, static_cast< index_t >( vertices.size() ) };
        return append_polygons( offsets, vertices );
    }

    template < index_t D >
    index_t SurfaceMeshBuilder< D >::create_polygons(
        absl::Span< const index_t > offsets,
        absl::Span< const index_t > vertices )
    {
        static constexpr char operation[] =
            "SurfaceMeshBuilder::create_polygons";
        if( offsets.empty() || offsets.back() > vertices.size() )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Offsets must lie within the vertices "
                                    "given" );
        }
        for( std::size_t k = 0; k + 1 < offsets.size(); k++ )
        {
            if( offsets[k + 1] < offsets[k] )
            {
                throw CorvaneException(
                    "[", operation, "] Offsets must not decrease" );
            }
            check_new_polygon(
                vertices.subspan( offsets[k], offsets[k + 1] - offsets[k] ),
                operation );
        }
        check_room(
            offsets.size() - 1, offsets.back() - offsets.front(), operation );
        return append_polygons( offsets, vertices );
    }

    template < index_t D >
    index_t SurfaceMeshBuilder< D >::append_polygons(
        absl::Span< const index_t > offsets,
        absl::Span< const index_t > vertices )
    {
        const auto first = surface_.nb_polygons();
        const auto base =
            static_cast< index_t >( surface_.polygon_vertices_.size() );
        surface_.polygon_vertices_.insert( surface_.polygon_vertices_.end(),
                                           vertices.begin() + offsets.front(),
                                           vertices.begin() + offsets.back() );
        surface_.polygon_adjacents_.resize( surface_.polygon_vertices_.size(),
                                            INVALID_INDEX );
        const auto nb_new = static_cast< index_t >( offsets.size() - 1 );
        auto& polygon_offsets = surface_.polygon_offsets_;
        const auto needed = polygon_offsets.size() + nb_new;
        if( polygon_offsets.capacity() < needed )
        {
            // Geometric growth keeps polygon by polygon creation linear.
            polygon_offsets.reserve(
                std::max( needed, 2 * polygon_offsets.capacity() ) );
        }
        for( index_t k = 0; k < nb_new; k++ )
        {
            surface_.polygon_offsets_.push_back( base + offsets[k + 1] -
                                                 offsets.front() );
            const auto polygon = first + k;
            for( auto slot = offsets[k]; slot < offsets[k + 1]; slot++ )
            {
                // Polygons come in ascending order, so appending keeps every
                // list sorted.
                surface_.polygons_around_vertex_[vertices[slot]].emplace_back(
                    polygon,
                    static_cast< local_index_t >( slot - offsets[k] ) );
            }
        }
        surface_.polygon_attributes_.resize( first + nb_new );
        return first;
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::set_polygon_vertex(
        const PolygonVertex& polygon_vertex, index_t vertex )
    {
        surface_.check_edge(
            { polygon_vertex.polygon_id, polygon_vertex.vertex_id },
            "SurfaceMeshBuilder::set_polygon_vertex" );
        surface_.check_vertex( vertex,
                               "SurfaceMeshBuilder::set_polygon_vertex" );
        auto& slot = surface_.polygon_vertices_
                         [surface_.polygon_offsets_[polygon_vertex.polygon_id] +
                          polygon_vertex.vertex_id];
        if( slot == vertex )
        {
            return;
        }
        auto& old_uses = surface_.polygons_around_vertex_[slot];
        old_uses.erase(
            std::remove( old_uses.begin(), old_uses.end(), polygon_vertex ),
            old_uses.end() );
        auto& new_uses = surface_.polygons_around_vertex_[vertex];
        new_uses.insert( std::lower_bound(
                             new_uses.begin(), new_uses.end(), polygon_vertex ),
                         polygon_vertex );
        slot = vertex;
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::set_polygon_adjacent(
        const PolygonEdge& polygon_edge, index_t adjacent )
    {
        surface_.check_edge( polygon_edge,
                             "SurfaceMeshBuilder::set_polygon_adjacent" );
        if( adjacent != INVALID_INDEX && adjacent >= surface_.nb_polygons() )
        {
            throw CorvaneException( "[SurfaceMeshBuilder::set_polygon_"
                                    "adjacent] Invalid adjacent polygon ",
                                    adjacent,
                                    " (",
                                    surface_.nb_polygons(),
                                    " polygons)" );
        }
        surface_.polygon_adjacents_[surface_.edge_slot( polygon_edge )] =
            adjacent;
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::unset_polygon_adjacent(
        const PolygonEdge& polygon_edge )
    {
        surface_.check_edge( polygon_edge,
                             "SurfaceMeshBuilder::unset_polygon_adjacent" );
        surface_.polygon_adjacents_[surface_.edge_slot( polygon_edge )] =
            INVALID_INDEX;
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::reverse_polygon( index_t polygon )
    {
        surface_.check_polygon( polygon,
                                "SurfaceMeshBuilder::reverse_polygon" );
        const auto begin = surface_.polygon_offsets_[polygon];
        const auto size = surface_.polygon_offsets_[polygon + 1] - begin;
        auto* vertices = surface_.polygon_vertices_.data() + begin;
        auto* adjacents = surface_.polygon_adjacents_.data() + begin;
        std::reverse( vertices + 1, vertices + size );
        std::reverse( adjacents, adjacents + size );
        // Local vertex k now sits at (n-k) mod n, so each vertex keeps its
        // number of uses: renumber its uses of this polygon in place rather
        // than erase and reinsert them, which would shift the whole list of
        // a high-valence vertex for every reversed polygon around it.
        for( index_t k = 0; k < size; k++ )
        {
            // A repeated vertex has one run of uses: renumber it once.
            if( std::find( vertices, vertices + k, vertices[k] ) !=
                vertices + k )
            {
                continue;
            }
            auto& uses = surface_.polygons_around_vertex_[vertices[k]];
            const auto first = std::lower_bound(
                uses.begin(), uses.end(), PolygonVertex{ polygon, 0 } );
            auto last = first;
            while( last != uses.end() && last->polygon_id == polygon )
            {
                last->vertex_id = static_cast< local_index_t >(
                    ( size - last->vertex_id ) % size );
                last++;
            }
            std::sort( first, last );
        }
    }

    template < index_t D >
    void SurfaceMeshBuilder< D >::compute_polygon_adjacencies()
    {
        const auto& offsets = surface_.polygon_offsets_;
        const auto& vertices = surface_.polygon_vertices_;
        auto& adjacents = surface_.polygon_adjacents_;
        std::fill( adjacents.begin(), adjacents.end(), INVALID_INDEX );
        // Every polygon edge is met once, through the uses of its smaller
        // end (a looped edge through its one vertex): at each vertex, the
        // edges to larger vertices, sorted by that vertex. Linear for
        // bounded vertex degree, and no table beyond the mesh's own.
        struct Side
        {
            bool operator<( const Side& other ) const
            {
                return end != other.end ? end < other.end : slot < other.slot;
            }

            index_t end;
            index_t slot;
            index_t polygon;
        };
        std::vector< Side > sides;
        for( index_t v = 0; v < surface_.nb_vertices(); v++ )
        {
            sides.clear();
            for( const auto& use : surface_.polygons_around_vertex_[v] )
            {
                const auto p = use.polygon_id;
                const auto begin = offsets[p];
                const auto last = offsets[p + 1] - 1;
                const auto slot = begin + use.vertex_id;
                const auto next = slot == last ? begin : slot + 1;
                const auto previous = slot == begin ? last : slot - 1;
                if( vertices[next] >= v )
                {
                    sides.push_back( { vertices[next], slot, p } );
                }
                if( vertices[previous] > v )
                {
                    sides.push_back( { vertices[previous], previous, p } );
                }
            }
            std::sort( sides.begin(), sides.end() );
            for( std::size_t first = 0; first < sides.size(); )
            {
                auto end = first + 1;
                while( end < sides.size() &&
                       sides[end].end == sides[first].end )
                {
                    end++;
                }
                if( end - first == 2 )
                {
                    adjacents[sides[first].slot] = sides[first + 1].polygon;
                    adjacents[sides[first + 1].slot] = sides[first].polygon;
                }
                first = end;
            }
        }
    }

    template class SurfaceMeshBuilder< 2 >;
    template class SurfaceMeshBuilder< 3 >;
} // namespace vorna
