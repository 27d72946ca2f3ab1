#include <vorna/mesh/repair_polygon_orientations.h>

#include <array>
#include <vector>

#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace
    {
        // Reads the mesh's flat tables, which reversing a polygon updates in
        // place.
        class Orientation
        {
          public:
            template < index_t D >
            explicit Orientation( const SurfaceMesh< D >& mesh )
                : offsets_( mesh.polygon_offsets() ),
                  vertices_( mesh.polygon_slot_vertices() ),
                  adjacents_( mesh.polygon_slot_adjacents() )
            {
            }

            index_t nb_edges( index_t polygon ) const
            {
                return offsets_[polygon + 1] - offsets_[polygon];
            }

            index_t adjacent( index_t polygon, index_t edge ) const
            {
                return adjacents_[offsets_[polygon] + edge];
            }

            // True when the neighbour's edge on the same vertices (the one
            // whose adjacency points back, else the first) runs the same
            // way as `edge`; false when it runs the other way or is absent.
            bool runs_same_way( index_t polygon, index_t edge ) const
            {
                const auto ends = edge_vertices( polygon, edge );
                const auto neighbour = adjacent( polygon, edge );
                const auto nb = nb_edges( neighbour );
                bool found{ false };
                bool same_way{ false };
                for( index_t f = 0; f < nb; f++ )
                {
                    if( neighbour == polygon && f == edge )
                    {
                        continue;
                    }
                    const auto other = edge_vertices( neighbour, f );
                    const bool same = other == ends;
                    if( !same &&
                        !( other[0] == ends[1] && other[1] == ends[0] ) )
                    {
                        continue;
                    }
                    if( adjacent( neighbour, f ) == polygon )
                    {
                        return same;
                    }
                    if( !found )
                    {
                        found = true;
                        same_way = same;
                    }
                }
                return same_way;
            }

          private:
            std::array< index_t, 2 > edge_vertices( index_t polygon,
                                                    index_t edge ) const
            {
                const auto begin = offsets_[polygon];
                const auto next =
                    edge + 1 == nb_edges( polygon ) ? begin : begin + edge + 1;
                return { vertices_[begin + edge], vertices_[next] };
            }

            absl::Span< const index_t > offsets_;
            absl::Span< const index_t > vertices_;
            absl::Span< const index_t > adjacents_;
        };
    } // namespace

    template < index_t D >
    void repair_polygon_orientations( SurfaceMesh< D >& mesh )
    {
        auto builder = SurfaceMeshBuilder< D >::create( mesh );
        const Orientation orientation{ mesh };
        const auto nb_polygons = mesh.nb_polygons();
        std::vector< unsigned char > visited( nb_polygons, 0 );
        // Breadth-first: a vector read from its front, each polygon pushed
        // once.
        std::vector< index_t > queue;
        queue.reserve( nb_polygons );
        for( index_t root = 0; root < nb_polygons; root++ )
        {
            if( visited[root] )
            {
                continue;
            }
            visited[root] = 1;
            queue.push_back( root );
            for( std::size_t front = queue.size() - 1; front < queue.size();
                 front++ )
            {
                const auto polygon = queue[front];
                const auto nb_edges = orientation.nb_edges( polygon );
                for( index_t e = 0; e < nb_edges; e++ )
                {
                    const auto adjacent = orientation.adjacent( polygon, e );
                    if( adjacent == INVALID_INDEX || visited[adjacent] )
                    {
                        continue;
                    }
                    if( orientation.runs_same_way( polygon, e ) )
                    {
                        builder->reverse_polygon( adjacent );
                    }
                    visited[adjacent] = 1;
                    queue.push_back( adjacent );
                }
            }
        }
    }

    template void repair_polygon_orientations( SurfaceMesh< 2 >& );
    template void repair_polygon_orientations( SurfaceMesh< 3 >& );
} // namespace vorna
