#include <conversion/model/solid_input.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <absl/container/inlined_vector.h>
#include <absl/strings/str_cat.h>
#include <absl/types/optional.h>
#include <absl/types/span.h>

#include <conversion/common/input_checks.h>
#include <conversion/common/tasks.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/solid_mesh.h>

namespace
{
    using namespace vorna;

    using FacetVertices = absl::InlinedVector< index_t, 4 >;

    // A group whose volume is at most this times its facets' area times its
    // extent (a thickness below this fraction of its extent) encloses
    // nothing: a block of it would have no inside.
    constexpr double ZERO_VOLUME_RATIO = 1e-9;

    /// Absolute volume and facet area of polyhedra.
    struct Measure
    {
        double volume{ 0 };
        double area{ 0 };
    };

    /// What one chunk of polyhedra measured.
    struct ChunkMeasures
    {
        std::vector< Measure > polyhedra;
        /// Facets that store a neighbour, and those among them that store
        /// a later polyhedron which stores them back, each paired with a
        /// facet of its own.
        std::uint64_t nb_adjacent{ 0 };
        std::uint64_t nb_answered{ 0 };
    };

    FacetVertices facet_vertices( const SolidMesh< 3 >& solid,
                                  const PolyhedronFacet& facet )
    {
        FacetVertices vertices;
        const auto nb = solid.nb_polyhedron_facet_vertices( facet );
        for( local_index_t k = 0; k < nb; k++ )
        {
            vertices.push_back( solid.polyhedron_facet_vertex( { facet, k } ) );
        }
        return vertices;
    }

    bool same_vertices( const FacetVertices& lhs, const FacetVertices& rhs )
    {
        return lhs.size() == rhs.size() &&
               std::is_permutation( lhs.begin(), lhs.end(), rhs.begin() );
    }

    /// Whether the facet stores `neighbour` and lies on the given vertices.
    bool stores_across( const SolidMesh< 3 >& solid,
                        const PolyhedronFacet& facet,
                        index_t neighbour,
                        const FacetVertices& vertices )
    {
        return solid.polyhedron_adjacent( facet ) == neighbour &&
               same_vertices( facet_vertices( solid, facet ), vertices );
    }

    /// The facet of `neighbour`, among those not `taken`, that stores the
    /// facet's polyhedron back across the same vertices.
    absl::optional< local_index_t >
    answer( const SolidMesh< 3 >& solid,
            const PolyhedronFacet& facet,
            const FacetVertices& vertices,
            index_t neighbour,
            absl::Span< const PolyhedronFacet > taken )
    {
        if( neighbour == facet.polyhedron_id ||
            neighbour >= solid.nb_polyhedra() )
        {
            return absl::nullopt;
        }
        const auto nb_facets = solid.nb_polyhedron_facets( neighbour );
        for( local_index_t f = 0; f < nb_facets; f++ )
        {
            const PolyhedronFacet back{ neighbour, f };
            if( stores_across( solid, back, facet.polyhedron_id, vertices ) &&
                std::find( taken.begin(), taken.end(), back ) == taken.end() )
            {
                return f;
            }
        }
        return absl::nullopt;
    }

    class PolyhedronCheck
    {
      public:
        PolyhedronCheck( const SolidMesh< 3 >& solid,
                         absl::string_view operation )
            : solid_( solid ), operation_( operation )
        {
        }

        /// Refuses a facet over one vertex twice; measures the polyhedron
        /// and counts its adjacencies into `chunk`.
        void operator()( index_t polyhedron, ChunkMeasures& chunk ) const
        {
            const auto nb_facets = solid_.nb_polyhedron_facets( polyhedron );
            const auto apex =
                solid_.point( solid_.polyhedron_vertex( { polyhedron, 0 } ) );
            Measure measure;
            // Facets of later polyhedra paired with this one's: a facet
            // that the neighbour stores back once pairs with one of them.
            absl::InlinedVector< PolyhedronFacet, 6 > paired;
            for( local_index_t f = 0; f < nb_facets; f++ )
            {
                const PolyhedronFacet facet{ polyhedron, f };
                const auto vertices = facet_vertices( solid_, facet );
                refuse_repeated_vertex( facet, vertices );
                if( const auto neighbour = solid_.polyhedron_adjacent( facet ) )
                {
                    chunk.nb_adjacent++;
                    // The other side counts the pair when it comes first.
                    if( neighbour.value() > polyhedron )
                    {
                        if( const auto back = answer( solid_,
                                                      facet,
                                                      vertices,
                                                      neighbour.value(),
                                                      paired ) )
                        {
                            chunk.nb_answered++;
                            paired.push_back(
                                { neighbour.value(), back.value() } );
                        }
                    }
                }
                add_facet( vertices, apex, measure );
            }
            measure.volume = std::abs( measure.volume );
            chunk.polyhedra.push_back( measure );
        }

        /// Refuses the first facet (in polyhedron order) whose adjacency is
        /// not stored back: to its own polyhedron, to a neighbour that
        /// stores it back across no facet on the same vertices, or to one
        /// that does so across fewer facets than this polyhedron has
        /// adjacent to it on those vertices.
        void refuse_unpaired_adjacency() const
        {
            for( index_t p = 0; p < solid_.nb_polyhedra(); p++ )
            {
                const auto nb_facets = solid_.nb_polyhedron_facets( p );
                for( local_index_t f = 0; f < nb_facets; f++ )
                {
                    const PolyhedronFacet facet{ p, f };
                    const auto neighbour = solid_.polyhedron_adjacent( facet );
                    if( !neighbour )
                    {
                        continue;
                    }
                    if( neighbour.value() == p )
                    {
                        throw CorvaneException( "[",
                                                operation_,
                                                "] Facet ",
                                                unsigned{ f },
                                                " of polyhedron ",
                                                p,
                                                " of mesh '",
                                                detail::input_label( solid_ ),
                                                "' is adjacent to its own "
                                                "polyhedron" );
                    }
                    refuse_unpaired( facet, neighbour.value() );
                }
            }
        }

      private:
        /// The k-th facet of a polyhedron adjacent to `neighbour` on some
        /// vertices pairs with the k-th facet of `neighbour` adjacent back
        /// on them.
        void refuse_unpaired( const PolyhedronFacet& facet,
                              index_t neighbour ) const
        {
            const auto p = facet.polyhedron_id;
            const auto vertices = facet_vertices( solid_, facet );
            local_index_t first{ facet.facet_id };
            index_t rank{ 0 };
            for( local_index_t f = 0; f < facet.facet_id; f++ )
            {
                if( stores_across( solid_, { p, f }, neighbour, vertices ) )
                {
                    first = std::min( first, f );
                    rank++;
                }
            }
            index_t nb_back{ 0 };
            if( neighbour < solid_.nb_polyhedra() )
            {
                const auto nb_facets = solid_.nb_polyhedron_facets( neighbour );
                for( local_index_t f = 0; f < nb_facets; f++ )
                {
                    nb_back +=
                        stores_across( solid_, { neighbour, f }, p, vertices );
                }
            }
            if( rank < nb_back )
            {
                return;
            }
            if( nb_back == 0 )
            {
                throw CorvaneException( "[",
                                        operation_,
                                        "] Facet ",
                                        unsigned{ facet.facet_id },
                                        " of polyhedron ",
                                        p,
                                        " of mesh '",
                                        detail::input_label( solid_ ),
                                        "' is adjacent to polyhedron ",
                                        neighbour,
                                        ", which is not adjacent back "
                                        "across it" );
            }
            throw CorvaneException(
                "[",
                operation_,
                "] Facets ",
                unsigned{ first },
                " and ",
                unsigned{ facet.facet_id },
                " of polyhedron ",
                p,
                " of mesh '",
                detail::input_label( solid_ ),
                "' lie on the same vertices and are both adjacent to "
                "polyhedron ",
                neighbour,
                ", which is adjacent back across them ",
                nb_back == 1 ? std::string{ "once" }
                             : absl::StrCat( nb_back, " times" ) );
        }

        void refuse_repeated_vertex( const PolyhedronFacet& facet,
                                     const FacetVertices& vertices ) const
        {
            for( index_t i = 1; i < vertices.size(); i++ )
            {
                const auto repeated = std::find(
                    vertices.begin(), vertices.begin() + i, vertices[i] );
                if( repeated != vertices.begin() + i )
                {
                    throw CorvaneException( "[",
                                            operation_,
                                            "] Facet ",
                                            unsigned{ facet.facet_id },
                                            " of polyhedron ",
                                            facet.polyhedron_id,
                                            " of mesh '",
                                            detail::input_label( solid_ ),
                                            "' lists vertex ",
                                            vertices[i],
                                            " twice" );
                }
            }
        }

        // Fans the facet from its first vertex: its area, and the volume
        // of the cone over it from `apex`.
        void add_facet( const FacetVertices& vertices,
                        const Point3D& apex,
                        Measure& measure ) const
        {
            const auto& first = solid_.point( vertices[0] );
            const Vector3D to_apex{ first, apex };
            for( index_t k = 1; k + 1 < vertices.size(); k++ )
            {
                const auto normal =
                    Vector3D{ first, solid_.point( vertices[k] ) }.cross(
                        Vector3D{ first, solid_.point( vertices[k + 1] ) } );
                measure.area += normal.length() / 2;
                measure.volume += normal.dot( to_apex ) / 6;
            }
        }

        const SolidMesh< 3 >& solid_;
        absl::string_view operation_;
    };

    /// Refuses the smallest vertex with a non-finite coordinate that a
    /// polyhedron uses, then a used coordinate beyond the bound (naming the
    /// farthest); unused ones never reach the model. Returns the box of all
    /// the points.
    BoundingBox< 3 > checked_points_box( const SolidMesh< 3 >& solid,
                                         absl::string_view operation )
    {
        std::vector< bool > bad( solid.nb_vertices(), false );
        bool any{ false };
        BoundingBox< 3 > box;
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            const auto& point = solid.point( v );
            for( const auto value : point.values() )
            {
                if( !std::isfinite( value ) )
                {
                    bad[v] = true;
                    any = true;
                }
            }
            box.add_point( point );
        }
        if( !any && detail::lies_within_bound( box ) )
        {
            return box;
        }
        auto first = INVALID_INDEX;
        for( index_t p = 0; p < solid.nb_polyhedra(); p++ )
        {
            for( local_index_t i = 0; i < solid.nb_polyhedron_vertices( p );
                 i++ )
            {
                const auto v = solid.polyhedron_vertex( { p, i } );
                if( bad[v] )
                {
                    first = std::min( first, v );
                }
            }
        }
        if( first != INVALID_INDEX )
        {
            detail::refuse_non_finite_point( solid, first, operation );
        }
        detail::refuse_far_points( solid, operation );
        return box;
    }

    detail::PolyhedronGroups group_polyhedra( const SolidMesh< 3 >& solid )
    {
        const auto nb_polyhedra = solid.nb_polyhedra();
        detail::PolyhedronGroups groups;
        groups.group_of.assign( nb_polyhedra, INVALID_INDEX );
        index_t nb_groups{ 0 };
        std::vector< index_t > to_visit;
        for( index_t seed = 0; seed < nb_polyhedra; seed++ )
        {
            if( groups.group_of[seed] != INVALID_INDEX )
            {
                continue;
            }
            groups.group_of[seed] = nb_groups;
            to_visit.push_back( seed );
            while( !to_visit.empty() )
            {
                const auto polyhedron = to_visit.back();
                to_visit.pop_back();
                const auto nb_facets = solid.nb_polyhedron_facets( polyhedron );
                for( local_index_t f = 0; f < nb_facets; f++ )
                {
                    const auto adjacent =
                        solid.polyhedron_adjacent( { polyhedron, f } );
                    if( adjacent &&
                        groups.group_of[adjacent.value()] == INVALID_INDEX )
                    {
                        groups.group_of[adjacent.value()] = nb_groups;
                        to_visit.push_back( adjacent.value() );
                    }
                }
            }
            nb_groups++;
        }
        groups.members.resize( nb_groups );
        groups.rank.resize( nb_polyhedra );
        for( index_t p = 0; p < nb_polyhedra; p++ )
        {
            auto& members = groups.members[groups.group_of[p]];
            groups.rank[p] = static_cast< index_t >( members.size() );
            members.push_back( p );
        }
        return groups;
    }

    /// Diagonal of the box.
    double diagonal( const BoundingBox< 3 >& box )
    {
        double squared{ 0 };
        for( const index_t axis : { 0u, 1u, 2u } )
        {
            const auto extent =
                box.max().value( axis ) - box.min().value( axis );
            squared += extent * extent;
        }
        return std::sqrt( squared );
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        void refuse_far_points( const SolidMesh< 3 >& solid,
                                absl::string_view operation )
        {
            if( all_points_within_bound( solid ) )
            {
                return;
            }
            FarthestCoordinate farthest;
            for( index_t p = 0; p < solid.nb_polyhedra(); p++ )
            {
                for( local_index_t i = 0; i < solid.nb_polyhedron_vertices( p );
                     i++ )
                {
                    const auto v = solid.polyhedron_vertex( { p, i } );
                    farthest.add( v, solid.point( v ) );
                }
            }
            farthest.refuse_beyond_bound( solid, operation );
        }

        PolyhedronGroups
        checked_polyhedron_groups( const SolidMesh< 3 >& solid,
                                   absl::string_view operation )
        {
            const auto points_box = checked_points_box( solid, operation );
            const auto nb_polyhedra = solid.nb_polyhedra();
            // A few chunks per thread; the first refusal in chunk order, so
            // in polyhedron order, is the one reported.
            const auto nb_chunks =
                std::min< index_t >( nb_polyhedra, 4 * hardware_concurrency() );
            const auto chunk_begin = [nb_polyhedra, nb_chunks]( index_t chunk )
            {
                return static_cast< index_t >( std::uint64_t{ chunk } *
                                               nb_polyhedra / nb_chunks );
            };
            std::vector< Measure > measures;
            measures.reserve( nb_polyhedra );
            std::uint64_t nb_adjacent{ 0 };
            std::uint64_t nb_answered{ 0 };
            const PolyhedronCheck check{ solid, operation };
            run_group_and_apply(
                nb_chunks,
                [&check, &chunk_begin]( index_t chunk )
                {
                    ChunkMeasures measured;
                    for( auto p = chunk_begin( chunk );
                         p < chunk_begin( chunk + 1 );
                         p++ )
                    {
                        check( p, measured );
                    }
                    return measured;
                },
                [&]( index_t /*chunk*/, const ChunkMeasures& measured )
                {
                    measures.insert( measures.end(),
                                     measured.polyhedra.begin(),
                                     measured.polyhedra.end() );
                    nb_adjacent += measured.nb_adjacent;
                    nb_answered += measured.nb_answered;
                } );
            // Each pair was counted once, from its first polyhedron, and no
            // facet of the later one serves two facets of the first: every
            // stored adjacency lies in a pair exactly when the pairs account
            // for all of them.
            if( nb_adjacent != 2 * nb_answered )
            {
                check.refuse_unpaired_adjacency();
            }
            auto groups = group_polyhedra( solid );
            std::vector< Measure > sums( groups.members.size() );
            for( index_t p = 0; p < nb_polyhedra; p++ )
            {
                auto& sum = sums[groups.group_of[p]];
                sum.volume += measures[p].volume;
                sum.area += measures[p].area;
            }
            // The whole solid's extent settles most groups; a group that
            // it does not is measured on its own.
            const auto solid_extent = diagonal( points_box );
            for( index_t g = 0; g < sums.size(); g++ )
            {
                const auto encloses = [&sums, g]( double extent ) {
                    return sums[g].volume >
                           ZERO_VOLUME_RATIO * sums[g].area * extent;
                };
                const auto group_extent = [&solid, &groups, g]
                {
                    BoundingBox< 3 > box;
                    for( const auto p : groups.members[g] )
                    {
                        for( local_index_t i = 0;
                             i < solid.nb_polyhedron_vertices( p );
                             i++ )
                        {
                            box.add_point( solid.point(
                                solid.polyhedron_vertex( { p, i } ) ) );
                        }
                    }
                    return diagonal( box );
                };
                if( !encloses( solid_extent ) && !encloses( group_extent() ) )
                {
                    throw CorvaneException( "[",
                                            operation,
                                            "] The polyhedra joined to "
                                            "polyhedron ",
                                            groups.members[g].front(),
                                            " of mesh '",
                                            input_label( solid ),
                                            "' enclose no volume" );
                }
            }
            return groups;
        }
    } // namespace detail
} // namespace vorna
