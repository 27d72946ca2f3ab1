#include <conversion/model/section_input.h>

#include <algorithm>
#include <utility>
#include <vector>

#include <conversion/common/input_checks.h>
#include <conversion/common/tasks.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;

    // Polygons a task of the parallel passes takes at least.
    constexpr index_t GRAIN = 4096;

    /// The polygons' vertices in two flat arrays, read once.
    struct FlatPolygons
    {
        explicit FlatPolygons( const SurfaceMesh< 2 >& mesh )
            : offsets( mesh.nb_polygons() + 1, 0 )
        {
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                offsets[p + 1] =
                    offsets[p] + ( mesh.is_triangulated()
                                       ? 3
                                       : mesh.nb_polygon_vertices( p ) );
            }
            vertices.resize( offsets.back() );
            detail::parallel_for( 0,
                                  mesh.nb_polygons(),
                                  GRAIN,
                                  [this, &mesh]( index_t p )
                                  {
                                      for( local_index_t k = 0; k < size( p );
                                           k++ )
                                      {
                                          vertices[offsets[p] + k] =
                                              mesh.polygon_vertex( { p, k } );
                                      }
                                  } );
        }

        index_t nb_polygons() const
        {
            return static_cast< index_t >( offsets.size() - 1 );
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

        std::vector< index_t > offsets;
        std::vector< index_t > vertices;
    };

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
            : mesh_( mesh ), operation_( operation ), polygons_( mesh ),
              merged_( merged )
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
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                if( used[v] )
                {
                    detail::refuse_non_finite_point( mesh_, v, operation_ );
                }
            }
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
                    if( a == b )
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
        void refuse_unanswered_adjacency() const
        {
            const auto nb = polygons_.nb_polygons();
            const auto nb_chunks = std::min< index_t >(
                nb / GRAIN + 1, 4 * detail::hardware_concurrency() );
            AdjacencyCounts total;
            detail::run_group_and_apply(
                nb_chunks,
                [this, nb, nb_chunks]( index_t chunk )
                {
                    AdjacencyCounts counts;
                    const auto end = static_cast< index_t >(
                        std::uint64_t{ chunk + 1 } * nb / nb_chunks );
                    for( auto p = static_cast< index_t >(
                             std::uint64_t{ chunk } * nb / nb_chunks );
                         p < end;
                         p++ )
                    {
                        for( local_index_t e = 0; e < polygons_.size( p ); e++ )
                        {
                            const auto adjacent =
                                mesh_.polygon_adjacent( { p, e } );
                            if( !adjacent )
                            {
                                continue;
                            }
                            counts.nb_adjacent++;
                            if( adjacent.value() > p &&
                                is_answered( p, e, adjacent.value() ) )
                            {
                                counts.nb_answered++;
                            }
                        }
                    }
                    return counts;
                },
                [&total]( index_t, const AdjacencyCounts& counts )
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
                    throw CorvaneException(
                        "[",
                        operation_,
                        "] Edge ",
                        unsigned{ e },
                        " of polygon ",
                        p,
                        " of mesh '",
                        detail::input_label( mesh_ ),
                        "' is adjacent to polygon ",
                        adjacent.value(),
                        ", which is not adjacent back across it" );
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
        /// of p.
        bool is_answered( index_t p, local_index_t e, index_t q ) const
        {
            if( q == p || q >= polygons_.nb_polygons() )
            {
                return false;
            }
            const auto edge = polygons_.edge( p, e );
            for( local_index_t k = 0; k < polygons_.size( q ); k++ )
            {
                const auto other = polygons_.edge( q, k );
                if( ( ( other.first == edge.second &&
                        other.second == edge.first ) ||
                      ( other.first == edge.first &&
                        other.second == edge.second ) ) &&
                    mesh_.polygon_adjacent( { q, k } ) == p )
                {
                    return true;
                }
            }
            return false;
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
                                    " in a row, which merge into one" ) );
        }

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
                        throw CorvaneException(
                            "[",
                            operation_,
                            "] Polygon ",
                            p,
                            " of mesh '",
                            detail::input_label( mesh_ ),
                            "' shares its edge ",
                            unsigned{ k },
                            " with more than one other polygon" );
                    }
                }
            }
        }

        const SurfaceMesh< 2 >& mesh_;
        absl::string_view operation_;
        FlatPolygons polygons_;
        absl::Span< const index_t > merged_;
        /// Polygon edges by smaller (merged) vertex: those of vertex v
        /// give their other vertex in highs_[starts_[v], starts_[v + 1]).
        std::vector< index_t > starts_;
        std::vector< index_t > highs_;
    };
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

        void check_section_polygons( const SurfaceMesh< 2 >& mesh,
                                     absl::string_view operation,
                                     absl::Span< const index_t > merged )
        {
            SectionInputCheck check{ mesh, operation, merged };
            check.refuse_bad_points_and_edges();
            check.refuse_crowded_edges();
            check.refuse_unanswered_adjacency();
        }
    } // namespace detail
} // namespace vorna
