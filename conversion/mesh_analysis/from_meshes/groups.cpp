#include <conversion/mesh_analysis/from_meshes/groups.h>

#include <deque>

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
                labels_.assign( merged_.nb_polygons(), INVALID_INDEX );
                nb_groups_ = 0;
                std::deque< index_t > queue;
                for( index_t seed = 0; seed < labels_.size(); seed++ )
                {
                    if( labels_[seed] != INVALID_INDEX )
                    {
                        continue;
                    }
                    labels_[seed] = nb_groups_;
                    queue.push_back( seed );
                    while( !queue.empty() )
                    {
                        const auto polygon = queue.front();
                        queue.pop_front();
                        const auto nb_edges =
                            merged_.nb_polygon_edges( polygon );
                        for( local_index_t e = 0; e < nb_edges; e++ )
                        {
                            const auto adjacent =
                                merged_.polygon_adjacent( { polygon, e } );
                            if( adjacent &&
                                labels_[adjacent.value()] == INVALID_INDEX )
                            {
                                labels_[adjacent.value()] = nb_groups_;
                                queue.push_back( adjacent.value() );
                            }
                        }
                    }
                    nb_groups_++;
                }
            }

            template < index_t D >
            std::vector< std::vector< index_t > >
            PolygonGroups< D >::groups() const
            {
                std::vector< std::vector< index_t > > groups( nb_groups_ );
                for( index_t p = 0; p < labels_.size(); p++ )
                {
                    groups[labels_[p]].push_back( p );
                }
                return groups;
            }

            template class PolygonGroups< 2 >;
            template class PolygonGroups< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
