#include <conversion/mesh_analysis/from_meshes/groups.h>

#include <vorna/mesh/surface_mesh.h>

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
                labels_.assign( merged_.nb_polygons(), INVALID_INDEX );
                nb_groups_ = 0;
                // Breadth-first, each polygon queued once: a vector read
                // from its front.
                std::vector< index_t > queue;
                queue.reserve( labels_.size() );
                for( index_t seed = 0; seed < labels_.size(); seed++ )
                {
                    if( labels_[seed] != INVALID_INDEX )
                    {
                        continue;
                    }
                    labels_[seed] = nb_groups_;
                    queue.push_back( seed );
                    for( auto front = queue.size() - 1; front < queue.size();
                         front++ )
                    {
                        const auto polygon = queue[front];
                        for( auto slot = offsets[polygon];
                             slot < offsets[polygon + 1];
                             slot++ )
                        {
                            const auto adjacent = adjacents[slot];
                            if( adjacent != INVALID_INDEX &&
                                labels_[adjacent] == INVALID_INDEX )
                            {
                                labels_[adjacent] = nb_groups_;
                                queue.push_back( adjacent );
                            }
                        }
                    }
                    nb_groups_++;
                }
            }

            template < index_t D >
            GroupTable PolygonGroups< D >::table() const
            {
                GroupTable table;
                table.begin.assign( nb_groups_ + 1, 0 );
                for( const auto label : labels_ )
                {
                    table.begin[label + 1]++;
                }
                for( index_t s = 0; s < nb_groups_; s++ )
                {
                    table.begin[s + 1] += table.begin[s];
                }
                table.polygons.resize( labels_.size() );
                table.position.resize( labels_.size() );
                auto next = table.begin;
                for( index_t p = 0; p < labels_.size(); p++ )
                {
                    const auto position = next[labels_[p]]++;
                    table.polygons[position] = p;
                    table.position[p] = position;
                }
                return table;
            }

            template class PolygonGroups< 2 >;
            template class PolygonGroups< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
