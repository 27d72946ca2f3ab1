#include <conversion/model/section_input.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <absl/strings/str_cat.h>

#include <conversion/common/input_checks.h>
#include <conversion/common/tasks.h>
#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/uuid.h>
#include <vorna/conversion/common/variable_attribute.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_surface.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;

    // Polygons a task of the parallel passes takes at least.
    constexpr index_t GRAIN = 4096;

    /// The polygons' flat tables: vertices and neighbours by slot.
    struct FlatPolygons
    {
        explicit FlatPolygons( const SurfaceMesh< 2 >& mesh )
            : offsets( mesh.polygon_offsets() ),
              vertices( mesh.polygon_slot_vertices() ),
              adjacents( mesh.polygon_slot_adjacents() )
        {
        }

        index_t nb_polygons() const
        {
            return offsets.empty()
                       ? 0
                       : static_cast< index_t >( offsets.size() - 1 );
        }

        local_index_t size( index_t polygon ) const
        {
            return static_cast< local_index_t >( offsets[polygon + 1] -
                                                 offsets[polygon] );
        }

        /// The vertices of edge k of the polygon, from and to.
        std::pair< index_t, index_t > edge( index_t polygon,
                                            local_index_t k ) const
        {
            const auto begin = offsets[polygon];
            const auto next = k + 1u == size( polygon ) ? 0u : k + 1u;
            return { vertices[begin + k], vertices[begin + next] };
        }

        /// The neighbour stored across edge k, INVALID_INDEX when none.
        index_t adjacent( index_t polygon, local_index_t k ) const
        {
            return adjacents[offsets[polygon] + k];
        }

        absl::Span< const index_t > offsets;
        absl::Span< const index_t > vertices;
        absl::Span< const index_t > adjacents;
    };

    /// Runs make(first, end) over the polygons [0, nb) in contiguous
    /// chunks, as pool tasks, and apply(result) on the calling thread in
    /// chunk order.
    template < typename Make, typename Apply >
    void over_polygon_chunks( index_t nb, const Make& make, const Apply& apply )
    {
        const auto nb_chunks = std::min< index_t >(
            nb / GRAIN + 1, 4 * detail::hardware_concurrency() );
        detail::run_group_and_apply(
            nb_chunks,
            [&make, nb, nb_chunks]( index_t chunk )
            {
                return make(
                    static_cast< index_t >( std::uint64_t{ chunk } * nb /
                                            nb_chunks ),
                    static_cast< index_t >( std::uint64_t{ chunk + 1 } * nb /
                                            nb_chunks ) );
            },
            [&apply]( index_t, const auto& result ) { apply( result ); } );
    }

    /// Stored adjacencies, and those from a polygon to a later one that
    /// the later one stores back across the same two vertices.
    struct AdjacencyCounts
    {
        index_t nb_adjacent{ 0 };
        index_t nb_answered{ 0 };
    };

    class SectionInputCheck
    {
      public:
        SectionInputCheck( const SurfaceMesh< 2 >& mesh,
                           absl::string_view operation,
                           absl::Span< const index_t > merged )
            : mesh_( mesh ), operation_( operation ), points_( mesh.points() ),
              polygons_( mesh ), merged_( merged )
        {
        }

        /// One pass over the polygon edges: the vertices that polygons
        /// use (refused when not finite), the first edge of no length, and
        /// per vertex the number of edges whose smaller end it is (once
        /// merged).
        void refuse_bad_points_and_edges()
        {
            std::vector< bool > used( mesh_.nb_vertices(), false );
            for( const auto v : polygons_.vertices )
            {
                used[v] = true;
            }
            BoundingBox< 2 > box;
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                if( !used[v] )
                {
                    continue;
                }
                const auto& point = points_[v];
                if( !std::isfinite( point.value( 0 ) ) ||
                    !std::isfinite( point.value( 1 ) ) )
                {
                    detail::refuse_non_finite_point( mesh_, v, operation_ );
                }
                box.add_point( point );
            }
            if( !detail::lies_within_bound( box ) )
            {
                detail::refuse_far_points( mesh_, operation_ );
            }
            // Merged vertices are apart already. Unmerged, only an edge
            // whose ends are the very same point has no length: however
            // short, any other keeps its direction.
            const auto at_one_point =
                merged_.empty() && polygons_.nb_polygons() > 0
                    ? first_polygon_with_points_together()
                    : polygons_.nb_polygons();
            const auto nb_merged =
                merged_.empty()
                    ? mesh_.nb_vertices()
                    : *std::max_element( merged_.begin(), merged_.end() ) + 1;
            starts_.assign( nb_merged + 1, 0 );
            for( index_t p = 0; p < polygons_.nb_polygons(); p++ )
            {
                for( local_index_t k = 0; k < polygons_.size( p ); k++ )
                {
                    const auto edge = polygons_.edge( p, k );
                    const auto a = merged( edge.first );
                    const auto b = merged( edge.second );
                    if( a == b ||
                        ( p == at_one_point && at_same_point( edge ) ) )
                    {
                        refuse_edge_of_no_length( p, edge );
                    }
                    starts_[std::min( a, b ) + 1]++;
                }
            }
        }

        /// Each answered pair is counted once, from its first polygon:
        /// when some stored adjacency is left over, the first one is
        /// searched for.
        /// \pre refuse_crowded_edges passed.
        void refuse_unanswered_adjacency() const
        {
            const auto nb = polygons_.nb_polygons();
            AdjacencyCounts total;
            over_polygon_chunks(
                nb,
                [this]( index_t first, index_t end )
                {
                    AdjacencyCounts counts;
                    for( auto p = first; p < end; p++ )
                    {
                        for( local_index_t e = 0; e < polygons_.size( p ); e++ )
                        {
                            const auto adjacent = polygons_.adjacent( p, e );
                            if( adjacent == INVALID_INDEX )
                            {
                                continue;
                            }
                            counts.nb_adjacent++;
                            if( adjacent > p && is_answered( p, e, adjacent ) )
                            {
                                counts.nb_answered++;
                            }
                        }
                    }
                    return counts;
                },
                [&total]( const AdjacencyCounts& counts )
                {
                    total.nb_adjacent += counts.nb_adjacent;
                    total.nb_answered += counts.nb_answered;
                } );
            if( total.nb_adjacent == 2 * total.nb_answered )
            {
                return;
            }
            for( index_t p = 0; p < nb; p++ )
            {
                for( local_index_t e = 0; e < polygons_.size( p ); e++ )
                {
                    const auto adjacent = mesh_.polygon_adjacent( { p, e } );
                    if( !adjacent || is_answered( p, e, adjacent.value() ) )
                    {
                        continue;
                    }
                    const auto fault =
                        adjacent.value() == p
                            ? std::string{ "its own polygon" }
                            : absl::StrCat( "polygon ",
                                            adjacent.value(),
                                            ", which is not adjacent back "
                                            "across it" );
                    throw CorvaneException( "[",
                                            operation_,
                                            "] Edge ",
                                            unsigned{ e },
                                            " of polygon ",
                                            p,
                                            " of mesh '",
                                            detail::input_label( mesh_ ),
                                            "' is adjacent to ",
                                            fault );
                }
            }
        }

        /// Buckets the polygon edges by their smaller vertex, so that the
        /// uses of one vertex pair come together once each bucket is
        /// sorted.
        void refuse_crowded_edges()
        {
            const auto nb_merged = static_cast< index_t >( starts_.size() - 1 );
            for( index_t v = 0; v < nb_merged; v++ )
            {
                starts_[v + 1] += starts_[v];
            }
            highs_.resize( starts_.back() );
            auto next = starts_;
            for( index_t p = 0; p < polygons_.nb_polygons(); p++ )
            {
                for( local_index_t k = 0; k < polygons_.size( p ); k++ )
                {
                    const auto pair = merged_pair( p, k );
                    highs_[next[pair.first]++] = pair.second;
                }
            }
            std::vector< char > crowded( nb_merged, false );
            detail::parallel_for(
                0,
                nb_merged,
                GRAIN,
                [this, &crowded]( index_t v )
                {
                    const auto begin = highs_.begin() + starts_[v];
                    const auto end = highs_.begin() + starts_[v + 1];
                    std::sort( begin, end );
                    for( auto it = begin; it + 2 < end; ++it )
                    {
                        crowded[v] = crowded[v] || *it == *( it + 2 );
                    }
                } );
            if( std::find( crowded.begin(), crowded.end(), true ) !=
                crowded.end() )
            {
                refuse_first_crowded_polygon();
            }
        }

      private:
        index_t merged( index_t vertex ) const
        {
            return merged_.empty() ? vertex : merged_[vertex];
        }

        /// Whether polygon q stores p back across the vertices of edge e
        /// of p. Once refuse_crowded_edges has passed, no pair of vertices
        /// has more than two uses, so an answer serves one edge only and
        /// stored adjacencies are twice those answered exactly when all
        /// are.
        bool is_answered( index_t p, local_index_t e, index_t q ) const
        {
            return answer( p, e, q ).has_value();
        }

        /// The edge of q that answers edge e of p, as is_answered says.
        std::optional< local_index_t >
        answer( index_t p, local_index_t e, index_t q ) const
        {
            if( q == p || q >= polygons_.nb_polygons() )
            {
                return std::nullopt;
            }
            const auto edge = polygons_.edge( p, e );
            for( local_index_t k = 0; k < polygons_.size( q ); k++ )
            {
                if( same_ends( polygons_.edge( q, k ), edge ) &&
                    polygons_.adjacent( q, k ) == p )
                {
                    return k;
                }
            }
            return std::nullopt;
        }

        static bool same_ends( const std::pair< index_t, index_t >& edge,
                               const std::pair< index_t, index_t >& other )
        {
            return ( other.first == edge.second &&
                     other.second == edge.first ) ||
                   ( other.first == edge.first && other.second == edge.second );
        }

        /// Whether the edge's ends have the same coordinates.
        bool at_same_point( const std::pair< index_t, index_t >& edge ) const
        {
            const auto& a = points_[edge.first];
            const auto& b = points_[edge.second];
            return a.value( 0 ) == b.value( 0 ) && a.value( 1 ) == b.value( 1 );
        }

        /// The first polygon with an edge between distinct vertices at the
        /// same point; the number of polygons when none.
        index_t first_polygon_with_points_together() const
        {
            const auto nb = polygons_.nb_polygons();
            index_t found{ nb };
            over_polygon_chunks(
                nb,
                [this, nb]( index_t first, index_t end )
                {
                    const auto edge = mesh_.find_polygon_edge(
                        first,
                        end,
                        [this]( index_t from, index_t to ) {
                            return from != to && at_same_point( { from, to } );
                        } );
                    return edge ? edge->polygon_id : nb;
                },
                [&found]( index_t p ) { found = std::min( found, p ); } );
            return found;
        }

        /// The edge's two vertices as merged, smaller first.
        std::pair< index_t, index_t > merged_pair( index_t polygon,
                                                   local_index_t k ) const
        {
            const auto edge = polygons_.edge( polygon, k );
            const auto a = merged( edge.first );
            const auto b = merged( edge.second );
            return { std::min( a, b ), std::max( a, b ) };
        }

        void refuse_edge_of_no_length(
            index_t polygon, const std::pair< index_t, index_t >& edge ) const
        {
            throw CorvaneException(
                "[",
                operation_,
                "] Polygon ",
                polygon,
                " of mesh '",
                detail::input_label( mesh_ ),
                edge.first == edge.second
                    ? absl::StrCat(
                          "' repeats vertex ", edge.first, " in a row" )
                    : absl::StrCat( "' joins vertices ",
                                    edge.first,
                                    " and ",
                                    edge.second,
                                    merged_.empty()
                                        ? " in a row, which lie at one point"
                                        : " in a row, which merge into one" ) );
        }

        /// Refuses the first pair of vertices, in polygon order, that
        /// more than two polygon edges run along. Its first use and the
        /// use that answers its adjacency (else the second use) are
        /// ordinary neighbours: the next use belongs to the polygon that
        /// overlaps them.
        void refuse_first_crowded_polygon() const
        {
            for( index_t p = 0; p < polygons_.nb_polygons(); p++ )
            {
                for( local_index_t k = 0; k < polygons_.size( p ); k++ )
                {
                    const auto pair = merged_pair( p, k );
                    const auto uses = std::equal_range(
                        highs_.begin() + starts_[pair.first],
                        highs_.begin() + starts_[pair.first + 1],
                        pair.second );
                    if( uses.second - uses.first > 2 )
                    {
                        refuse_crowded_pair( pair );
                    }
                }
            }
        }

        void
        refuse_crowded_pair( const std::pair< index_t, index_t >& pair ) const
        {
            using Use = std::pair< index_t, local_index_t >;
            std::vector< Use > uses;
            for( index_t p = 0; p < polygons_.nb_polygons(); p++ )
            {
                for( local_index_t k = 0; k < polygons_.size( p ); k++ )
                {
                    if( merged_pair( p, k ) == pair )
                    {
                        uses.emplace_back( p, k );
                    }
                }
            }
            const auto first = uses.front();
            auto neighbour = uses[1];
            if( const auto adjacent =
                    mesh_.polygon_adjacent( { first.first, first.second } ) )
            {
                if( const auto k =
                        answer( first.first, first.second, adjacent.value() ) )
                {
                    neighbour = { adjacent.value(), k.value() };
                }
            }
            const auto overlapping =
                *std::find_if( uses.begin(),
                               uses.end(),
                               [&]( const Use& use )
                               { return use != first && use != neighbour; } );
            const auto again =
                std::find_if( uses.begin(),
                              uses.end(),
                              [&overlapping]( const Use& use )
                              {
                                  return use.first == overlapping.first &&
                                         use.second != overlapping.second;
                              } );
            if( again != uses.end() )
            {
                throw CorvaneException(
                    "[",
                    operation_,
                    "] Polygon ",
                    overlapping.first,
                    " of mesh '",
                    detail::input_label( mesh_ ),
                    "' runs twice along one edge: its edges ",
                    unsigned{ std::min( again->second, overlapping.second ) },
                    " and ",
                    unsigned{ std::max( again->second, overlapping.second ) },
                    " join the same two vertices" );
            }
            throw CorvaneException( "[",
                                    operation_,
                                    "] Polygon ",
                                    overlapping.first,
                                    " of mesh '",
                                    detail::input_label( mesh_ ),
                                    "' shares its edge ",
                                    unsigned{ overlapping.second },
                                    " with more than one other polygon" );
        }

        const SurfaceMesh< 2 >& mesh_;
        absl::string_view operation_;
        absl::Span< const Point< 2 > > points_;
        FlatPolygons polygons_;
        absl::Span< const index_t > merged_;
        /// Polygon edges by smaller (merged) vertex: those of vertex v
        /// give their other vertex in highs_[starts_[v], starts_[v + 1]).
        std::vector< index_t > starts_;
        std::vector< index_t > highs_;
    };
    /// Throws unless `name` is free in the manager or holds what
    /// find_or_create_attribute< VariableAttribute, T > takes over.
    template < typename T >
    void check_name_takes( const AttributeManager& manager,
                           absl::string_view name,
                           absl::string_view operation )
    {
        const auto existing = manager.find_attribute_base( name );
        if( existing &&
            !dynamic_cast< const VariableAttribute< T >* >( existing.get() ) )
        {
            throw CorvaneException( "[",
                                    operation,
                                    "] Polygon attribute \"",
                                    name,
                                    "\" of the mesh has another type than "
                                    "the one the conversion writes under "
                                    "that name" );
        }
    }

} // namespace

namespace vorna
{
    namespace detail
    {
        void refuse_non_finite_points( const SurfaceMesh< 2 >& mesh,
                                       absl::string_view operation )
        {
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                refuse_non_finite_point( mesh, v, operation );
            }
        }

        void refuse_far_points( const SurfaceMesh< 2 >& mesh,
                                absl::string_view operation )
        {
            refuse_far_vertices(
                mesh, mesh.polygon_slot_vertices(), operation );
        }

        void check_section_polygons( const SurfaceMesh< 2 >& mesh,
                                     absl::string_view operation,
                                     absl::Span< const index_t > merged )
        {
            SectionInputCheck check{ mesh, operation, merged };
            check.refuse_bad_points_and_edges();
            check.refuse_crowded_edges();
            check.refuse_unanswered_adjacency();
        }

        void check_section_attribute_names( const SurfaceMesh< 2 >& mesh,
                                            absl::string_view operation )
        {
            const auto& polygons = mesh.polygon_attribute_manager();
            check_name_takes< index_t >(
                polygons,
                SurfaceIdentifier< 2 >::surface_id_attribute_name,
                operation );
            check_name_takes< uuid >(
                polygons, surface_uuid_attribute_text, operation );
        }
    } // namespace detail
} // namespace vorna
