#include <vorna/mesh/solid_mesh_builder.h>

#include <algorithm>
#include <cstdint>

#include <absl/container/inlined_vector.h>

#include <vorna/basic/corvane_exception.h>

#include "mesh_creation.h"

namespace vorna
{
    namespace
    {
        constexpr std::size_t MAX_LOCAL_ELEMENTS = INVALID_LOCAL_INDEX;
    } // namespace

    template < index_t D >
    SolidMeshBuilder< D >::SolidMeshBuilder( VertexSet& mesh,
                                             MeshBuilderFactoryKey key )
        : VertexSetBuilder( mesh, key ),
          solid_( detail::typed_mesh< SolidMesh< D > >(
              mesh, "SolidMeshBuilder::SolidMeshBuilder", "a solid mesh" ) )
    {
    }

    template < index_t D >
    std::unique_ptr< SolidMeshBuilder< D > >
    SolidMeshBuilder< D >::create( SolidMesh< D >& mesh )
    {
        return detail::create_mesh_builder< SolidMeshBuilder< D > >(
            mesh, "SolidMeshBuilder::create" );
    }

    template < index_t D >
    index_t SolidMeshBuilder< D >::create_point( const Point< D >& point )
    {
        const auto vertex = create_vertex();
        solid_.points_[vertex] = point;
        return vertex;
    }

    template < index_t D >
    void SolidMeshBuilder< D >::set_point( index_t vertex,
                                           const Point< D >& point )
    {
        detail::set_mesh_point(
            solid_.points_, vertex, point, "SolidMeshBuilder::set_point" );
    }

    template < index_t D >
    index_t SolidMeshBuilder< D >::create_polyhedron(
        absl::Span< const index_t > vertices,
        absl::Span< const std::vector< local_index_t > > facets )
    {
        return do_create_polyhedron(
            vertices, facets, "SolidMeshBuilder::create_polyhedron" );
    }

    template < index_t D >
    index_t SolidMeshBuilder< D >::create_tetrahedron(
        const std::array< index_t, 4 >& vertices )
    {
        // Facet f is opposite vertex f, oriented outwards for a positive
        // volume.
        static const std::array< std::vector< local_index_t >, 4 > facets{ {
            { 1, 2, 3 },
            { 0, 3, 2 },
            { 0, 1, 3 },
            { 0, 2, 1 },
        } };
        return do_create_polyhedron(
            vertices, facets, "SolidMeshBuilder::create_tetrahedron" );
    }

    template < index_t D >
    index_t SolidMeshBuilder< D >::do_create_polyhedron(
        absl::Span< const index_t > vertices,
        absl::Span< const std::vector< local_index_t > > facets,
        const char* operation )
    {
        // Everything is checked before the first write, so a failure leaves
        // the mesh untouched.
        if( vertices.size() < 4 || vertices.size() > MAX_LOCAL_ELEMENTS )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] A polyhedron needs 4 to ",
                                    MAX_LOCAL_ELEMENTS,
                                    " vertices, got ",
                                    vertices.size() );
        }
        if( facets.size() < 4 || facets.size() > MAX_LOCAL_ELEMENTS )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] A polyhedron needs 4 to ",
                                    MAX_LOCAL_ELEMENTS,
                                    " facets, got ",
                                    facets.size() );
        }
        for( const auto vertex : vertices )
        {
            solid_.check_vertex( vertex, operation );
        }
        std::size_t nb_facet_vertices{ 0 };
        for( std::size_t f = 0; f < facets.size(); f++ )
        {
            const auto& facet = facets[f];
            if( facet.size() < 3 || facet.size() > MAX_LOCAL_ELEMENTS )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] Facet ",
                                        f,
                                        " needs 3 to ",
                                        MAX_LOCAL_ELEMENTS,
                                        " vertices, got ",
                                        facet.size() );
            }
            for( const auto local : facet )
            {
                if( local >= vertices.size() )
                {
                    throw CorvaneException(
                        "[",
                        operation,
                        "] Facet ",
                        f,
                        " uses local vertex ",
                        static_cast< unsigned int >( local ),
                        " of a polyhedron with ",
                        vertices.size(),
                        " vertices" );
                }
            }
            nb_facet_vertices += facet.size();
        }
        if( solid_.tetrahedral_ )
        {
            bool tetrahedron = vertices.size() == 4 && facets.size() == 4;
            for( const auto& facet : facets )
            {
                tetrahedron = tetrahedron && facet.size() == 3;
            }
            if( !tetrahedron )
            {
                throw CorvaneException(
                    "[",
                    operation,
                    "] A tetrahedral solid accepts only tetrahedra (4 "
                    "vertices, 4 triangular facets), got ",
                    vertices.size(),
                    " vertices and ",
                    facets.size(),
                    " facets" );
            }
        }
        const auto polyhedron = solid_.nb_polyhedra();
        if( polyhedron >= INVALID_INDEX - 1 ||
            solid_.polyhedron_vertices_.size() + vertices.size() >=
                INVALID_INDEX ||
            solid_.polyhedron_adjacents_.size() + facets.size() >=
                INVALID_INDEX ||
            solid_.facet_local_vertices_.size() + nb_facet_vertices >=
                INVALID_INDEX )
        {
            throw CorvaneException( "[", operation, "] Too many polyhedra" );
        }

        solid_.polyhedron_vertices_.insert( solid_.polyhedron_vertices_.end(),
                                            vertices.begin(),
                                            vertices.end() );
        solid_.vertex_offsets_.push_back(
            static_cast< index_t >( solid_.polyhedron_vertices_.size() ) );
        absl::InlinedVector< index_t, 4 > facet_vertices;
        for( const auto& facet : facets )
        {
            solid_.facet_local_vertices_.insert(
                solid_.facet_local_vertices_.end(),
                facet.begin(),
                facet.end() );
            solid_.facet_vertex_offsets_.push_back(
                static_cast< index_t >( solid_.facet_local_vertices_.size() ) );
            solid_.polyhedron_adjacents_.push_back( INVALID_INDEX );

            facet_vertices.clear();
            for( const auto local : facet )
            {
                facet_vertices.push_back( vertices[local] );
            }
            const auto nb_known_facets = solid_.facets_.nb_facets();
            const auto facet_id =
                solid_.facets_.find_or_create_facet( facet_vertices );
            solid_.polyhedron_facet_ids_.push_back( facet_id );
            // A known triangle has all its vertex pairs as edges already;
            // other known facets may list their vertices in another cycle.
            if( facet_id < nb_known_facets && facet.size() == 3 )
            {
                continue;
            }
            for( std::size_t k = 0; k < facet_vertices.size(); k++ )
            {
                solid_.edges_.find_or_create_edge(
                    facet_vertices[k],
                    facet_vertices[( k + 1 ) % facet_vertices.size()] );
            }
        }
        solid_.facet_offsets_.push_back(
            static_cast< index_t >( solid_.polyhedron_adjacents_.size() ) );
        solid_.polyhedron_attributes_.resize( polyhedron + 1 );
        return polyhedron;
    }

    template < index_t D >
    void SolidMeshBuilder< D >::set_polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet, index_t adjacent )
    {
        const auto slot = solid_.facet_slot(
            polyhedron_facet, "SolidMeshBuilder::set_polyhedron_adjacent" );
        if( adjacent != INVALID_INDEX && adjacent >= solid_.nb_polyhedra() )
        {
            throw CorvaneException( "[SolidMeshBuilder::set_polyhedron_"
                                    "adjacent] Invalid adjacent polyhedron ",
                                    adjacent,
                                    " (",
                                    solid_.nb_polyhedra(),
                                    " polyhedra)" );
        }
        solid_.polyhedron_adjacents_[slot] = adjacent;
    }

    template < index_t D >
    void SolidMeshBuilder< D >::unset_polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet )
    {
        // Writes only this facet's slot, so different facets may be unset
        // from several threads.
        const auto slot = solid_.facet_slot(
            polyhedron_facet, "SolidMeshBuilder::unset_polyhedron_adjacent" );
        solid_.polyhedron_adjacents_[slot] = INVALID_INDEX;
    }

    template < index_t D >
    void SolidMeshBuilder< D >::compute_polyhedron_adjacencies()
    {
        // Every polyhedron facet already knows its solid facet, so counting
        // the uses of each facet is one linear pass.
        const auto nb_facets = solid_.facets_.nb_facets();
        std::vector< std::uint8_t > nb_uses( nb_facets, 0 );
        std::vector< index_t > first_slot( nb_facets, INVALID_INDEX );
        std::vector< index_t > second_slot( nb_facets, INVALID_INDEX );
        const auto& ids = solid_.polyhedron_facet_ids_;
        for( std::size_t slot = 0; slot < ids.size(); slot++ )
        {
            auto& uses = nb_uses[ids[slot]];
            if( uses == 0 )
            {
                first_slot[ids[slot]] = static_cast< index_t >( slot );
            }
            else if( uses == 1 )
            {
                second_slot[ids[slot]] = static_cast< index_t >( slot );
            }
            if( uses < 3 )
            {
                uses++;
            }
        }
        auto& adjacents = solid_.polyhedron_adjacents_;
        std::fill( adjacents.begin(), adjacents.end(), INVALID_INDEX );
        // Slots are numbered polyhedron by polyhedron, so the polyhedron of
        // a slot is found with one pass over the polyhedra.
        const auto nb_polyhedra = solid_.nb_polyhedra();
        for( index_t polyhedron = 0; polyhedron < nb_polyhedra; polyhedron++ )
        {
            for( auto slot = solid_.facet_offsets_[polyhedron];
                 slot < solid_.facet_offsets_[polyhedron + 1];
                 slot++ )
            {
                const auto facet = ids[slot];
                if( nb_uses[facet] != 2 )
                {
                    continue;
                }
                const auto other = first_slot[facet] == slot
                                       ? second_slot[facet]
                                       : first_slot[facet];
                // Seen from the other slot, this polyhedron is across.
                adjacents[other] = polyhedron;
            }
        }
    }

    template class SolidMeshBuilder< 3 >;
} // namespace vorna
