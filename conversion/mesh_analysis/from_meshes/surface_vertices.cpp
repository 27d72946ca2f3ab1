#include <conversion/mesh_analysis/from_meshes/surface_vertices.h>

#include <algorithm>

#include <conversion/common/tasks.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;

    // Polygons per piece of work: pieces never straddle two groups.
    constexpr index_t CHUNK_POLYGONS{ 4096 };
    // Uses of one vertex compared pairwise up to this many; sorted beyond.
    constexpr std::size_t FEW_USES{ 16 };

    struct Chunk
    {
        index_t group;
        index_t begin;
        index_t end;
    };

    std::vector< Chunk >
    make_chunks( const detail::from_meshes::GroupTable& table )
    {
        std::vector< Chunk > chunks;
        for( index_t s = 0; s < table.nb_groups(); s++ )
        {
            for( auto begin = table.begin[s]; begin < table.begin[s + 1];
                 begin += CHUNK_POLYGONS )
            {
                chunks.push_back( { s,
                                    begin,
                                    std::min( begin + CHUNK_POLYGONS,
                                              table.begin[s + 1] ) } );
            }
        }
        return chunks;
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            SurfaceVertices< D >::SurfaceVertices(
                const SurfaceMesh< D >& merged,
                const PolygonGroups< D >& groups,
                const GroupTable& table )
            {
                const auto offsets = merged.polygon_offsets();
                const auto vertices = merged.polygon_slot_vertices();
                const auto nb_polygons = merged.nb_polygons();
                const auto nb_vertices = merged.nb_vertices();
                slot_offsets_.resize( nb_polygons + 1 );
                slot_offsets_[0] = 0;
                for( index_t k = 0; k < nb_polygons; k++ )
                {
                    const auto p = table.polygons[k];
                    slot_offsets_[k + 1] =
                        slot_offsets_[k] + offsets[p + 1] - offsets[p];
                }
                const auto group_slot = [&]( const PolygonVertex& use ) {
                    return slot_offsets_[table.position[use.polygon_id]] +
                           use.vertex_id;
                };

                // Per slot, the slot where its group first uses its vertex:
                // the smallest slot among the uses of that vertex by that
                // group, as slots follow group order.
                std::vector< index_t > first( slot_offsets_.back() );
                std::vector< index_t > nb_groups_at( nb_vertices, 0 );
                parallel_for(
                    0,
                    nb_vertices,
                    1024,
                    [&]( index_t m )
                    {
                        const auto& uses = merged.polygons_around_vertex( m );
                        if( uses.size() <= FEW_USES )
                        {
                            for( const auto& use : uses )
                            {
                                const auto group =
                                    groups.group( use.polygon_id );
                                auto smallest = group_slot( use );
                                for( const auto& other : uses )
                                {
                                    if( groups.group( other.polygon_id ) ==
                                        group )
                                    {
                                        smallest = std::min(
                                            smallest, group_slot( other ) );
                                    }
                                }
                                first[group_slot( use )] = smallest;
                                if( smallest == group_slot( use ) )
                                {
                                    nb_groups_at[m]++;
                                }
                            }
                            return;
                        }
                        // (group, slot), sorted: each group's run starts at
                        // its first use.
                        std::vector< std::pair< index_t, index_t > > sorted;
                        sorted.reserve( uses.size() );
                        for( const auto& use : uses )
                        {
                            sorted.emplace_back( groups.group( use.polygon_id ),
                                                 group_slot( use ) );
                        }
                        std::sort( sorted.begin(), sorted.end() );
                        for( std::size_t k = 0; k < sorted.size(); k++ )
                        {
                            const bool opens =
                                k == 0 ||
                                sorted[k].first != sorted[k - 1].first;
                            first[sorted[k].second] =
                                opens ? sorted[k].second
                                      : first[sorted[k - 1].second];
                            nb_groups_at[m] += opens ? 1 : 0;
                        }
                    } );

                // Number the first uses, group by group in slot order:
                // counted per chunk, then numbered from each chunk's start.
                const auto chunks = make_chunks( table );
                const auto nb_chunks = static_cast< index_t >( chunks.size() );
                std::vector< index_t > chunk_start( nb_chunks, 0 );
                parallel_for(
                    0,
                    nb_chunks,
                    1,
                    [&]( index_t c )
                    {
                        for( auto slot = slot_offsets_[chunks[c].begin];
                             slot < slot_offsets_[chunks[c].end];
                             slot++ )
                        {
                            chunk_start[c] += first[slot] == slot ? 1 : 0;
                        }
                    } );
                vertex_begin_.assign( table.nb_groups() + 1, 0 );
                index_t total{ 0 };
                for( index_t c = 0; c < nb_chunks; c++ )
                {
                    const auto group = chunks[c].group;
                    const auto count = chunk_start[c];
                    chunk_start[c] = total - vertex_begin_[group];
                    total += count;
                    vertex_begin_[group + 1] = total;
                }
                merged_vertices_.resize( total );
                slot_vertices_.resize( slot_offsets_.back() );
                parallel_for(
                    0,
                    nb_chunks,
                    1,
                    [&]( index_t c )
                    {
                        const auto& chunk = chunks[c];
                        auto next = chunk_start[c];
                        auto* surface_vertices = merged_vertices_.data() +
                                                 vertex_begin_[chunk.group];
                        for( auto k = chunk.begin; k < chunk.end; k++ )
                        {
                            const auto p = table.polygons[k];
                            for( auto slot = slot_offsets_[k];
                                 slot < slot_offsets_[k + 1];
                                 slot++ )
                            {
                                if( first[slot] == slot )
                                {
                                    slot_vertices_[slot] = next;
                                    surface_vertices[next++] =
                                        vertices[offsets[p] + slot -
                                                 slot_offsets_[k]];
                                }
                            }
                        }
                    } );
                parallel_for( 0,
                              nb_chunks,
                              1,
                              [&]( index_t c )
                              {
                                  for( auto slot =
                                           slot_offsets_[chunks[c].begin];
                                       slot < slot_offsets_[chunks[c].end];
                                       slot++ )
                                  {
                                      if( first[slot] != slot )
                                      {
                                          slot_vertices_[slot] =
                                              slot_vertices_[first[slot]];
                                      }
                                  }
                              } );

                at_merged_begin_.resize( nb_vertices + 1 );
                at_merged_begin_[0] = 0;
                for( index_t m = 0; m < nb_vertices; m++ )
                {
                    at_merged_begin_[m + 1] =
                        at_merged_begin_[m] + nb_groups_at[m];
                }
                at_merged_.resize( at_merged_begin_.back() );
                parallel_for(
                    0,
                    nb_vertices,
                    1024,
                    [&]( index_t m )
                    {
                        auto* at = at_merged_.data() + at_merged_begin_[m];
                        index_t nb{ 0 };
                        for( const auto& use :
                             merged.polygons_around_vertex( m ) )
                        {
                            const auto slot = group_slot( use );
                            if( first[slot] == slot )
                            {
                                at[nb++] = { groups.group( use.polygon_id ),
                                             slot_vertices_[slot] };
                            }
                        }
                        std::sort( at, at + nb );
                    } );
            }

            template class SurfaceVertices< 2 >;
            template class SurfaceVertices< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
