#include <conversion/mesh_analysis/from_meshes/groups.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include <conversion/common/tasks.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;

    using Parents = std::vector< std::atomic< index_t > >;

    // Polygons per piece of work.
    constexpr index_t CHUNK_POLYGONS{ 4096 };
    // Polygons per run of the group table, at least.
    constexpr index_t RUN_POLYGONS{ 65536 };

    /// The polygon at the end of the parents' chain, each step halving the
    /// chain behind it: a polygon may point to any polygon further along
    /// its chain, all of its group and smaller.
    index_t smallest( Parents& parents, index_t polygon )
    {
        auto parent = parents[polygon].load( std::memory_order_relaxed );
        while( parent != polygon )
        {
            const auto next = parents[parent].load( std::memory_order_relaxed );
            if( next != parent )
            {
                parents[polygon].store( next, std::memory_order_relaxed );
            }
            polygon = parent;
            parent = next;
        }
        return polygon;
    }

    /// Joins the groups of two polygons: the larger of their chain ends
    /// comes to point to the smaller, unless another join moved it first.
    void join( Parents& parents, index_t first, index_t second )
    {
        while( true )
        {
            first = smallest( parents, first );
            second = smallest( parents, second );
            if( first == second )
            {
                return;
            }
            if( first < second )
            {
                std::swap( first, second );
            }
            auto expected = first;
            if( parents[first].compare_exchange_strong(
                    expected, second, std::memory_order_relaxed ) )
            {
                return;
            }
        }
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            PolygonGroups< D >::PolygonGroups( const SurfaceMesh< D >& merged )
                : merged_( merged )
            {
            }

            template < index_t D >
            void PolygonGroups< D >::identify()
            {
                const auto offsets = merged_.polygon_offsets();
                const auto adjacents = merged_.polygon_slot_adjacents();
                const auto nb_polygons = merged_.nb_polygons();
                // Joined on the pool, each polygon pointing to a smaller
                // polygon of its group or to itself: the group's smallest
                // polygon, whatever order the joins came in.
                std::vector< std::atomic< index_t > > parents( nb_polygons );
                parallel_for(
                    0,
                    nb_polygons,
                    CHUNK_POLYGONS,
                    [&]( index_t p )
                    { parents[p].store( p, std::memory_order_relaxed ); } );
                parallel_for( 0,
                              nb_polygons,
                              CHUNK_POLYGONS,
                              [&]( index_t p )
                              {
                                  for( auto slot = offsets[p];
                                       slot < offsets[p + 1];
                                       slot++ )
                                  {
                                      if( adjacents[slot] != INVALID_INDEX )
                                      {
                                          join( parents, p, adjacents[slot] );
                                      }
                                  }
                              } );
                labels_.resize( nb_polygons );
                parallel_for( 0,
                              nb_polygons,
                              CHUNK_POLYGONS,
                              [&]( index_t p )
                              { labels_[p] = smallest( parents, p ); } );
                // Groups numbered in the order of their smallest polygons:
                // a polygon's smallest comes before it, numbered already.
                nb_groups_ = 0;
                for( index_t p = 0; p < nb_polygons; p++ )
                {
                    const auto first = labels_[p];
                    labels_[p] = first == p ? nb_groups_++ : labels_[first];
                }
            }

            template < index_t D >
            GroupTable PolygonGroups< D >::table() const
            {
                // Polygons counted, then placed, a run at a time on the
                // pool, each run keeping a count of every group: as many
                // runs as that keeps the counts within one per polygon.
                const auto nb_polygons =
                    static_cast< index_t >( labels_.size() );
                const index_t nb_runs = std::max< index_t >(
                    std::min( ( nb_polygons + RUN_POLYGONS - 1 ) / RUN_POLYGONS,
                              nb_polygons / std::max( nb_groups_, 1u ) ),
                    1 );
                const auto run_size = ( nb_polygons + nb_runs - 1 ) / nb_runs;
                std::vector< index_t > places(
                    static_cast< std::size_t >( nb_runs ) * nb_groups_, 0 );
                const auto run_places = [&]( index_t run ) {
                    return places.data() +
                           static_cast< std::size_t >( run ) * nb_groups_;
                };
                const auto run_end = [&]( index_t run )
                { return std::min( nb_polygons, ( run + 1 ) * run_size ); };
                parallel_for(
                    0,
                    nb_runs,
                    1,
                    [&]( index_t run )
                    {
                        auto* counts = run_places( run );
                        for( auto p = run * run_size; p < run_end( run ); p++ )
                        {
                            counts[labels_[p]]++;
                        }
                    } );
                GroupTable table;
                table.begin.assign( nb_groups_ + 1, 0 );
                index_t place{ 0 };
                for( index_t s = 0; s < nb_groups_; s++ )
                {
                    for( index_t run = 0; run < nb_runs; run++ )
                    {
                        auto& count = run_places( run )[s];
                        const auto nb_in_run = count;
                        count = place;
                        place += nb_in_run;
                    }
                    table.begin[s + 1] = place;
                }
                table.polygons.resize( nb_polygons );
                table.position.resize( nb_polygons );
                parallel_for(
                    0,
                    nb_runs,
                    1,
                    [&]( index_t run )
                    {
                        auto* next = run_places( run );
                        for( auto p = run * run_size; p < run_end( run ); p++ )
                        {
                            const auto position = next[labels_[p]]++;
                            table.polygons[position] = p;
                            table.position[p] = position;
                        }
                    } );
                return table;
            }

            template class PolygonGroups< 2 >;
            template class PolygonGroups< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
