#include <conversion/mesh_analysis/from_meshes/corner_rule.h>

#include <algorithm>

#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>

#include <vorna/mesh/edged_curve.h>

namespace
{
    using namespace vorna;
    using namespace vorna::detail::from_meshes;

    template < index_t D >
    absl::InlinedVector< index_t, 4 >
    edge_surface_ids( const MeshesWireframe< D >& edges,
                      const PolygonGroups< D >& groups,
                      index_t edge )
    {
        absl::InlinedVector< index_t, 4 > ids;
        for( const auto& polygon_edge : edges.polygon_edges( edge ) )
        {
            ids.push_back( groups.group( polygon_edge.polygon_id ) );
        }
        std::sort( ids.begin(), ids.end() );
        ids.erase( std::unique( ids.begin(), ids.end() ), ids.end() );
        return ids;
    }

    template < index_t D >
    absl::flat_hash_set< uuid >
    edge_curve_ids( const MeshesWireframe< D >& edges, index_t edge )
    {
        const auto curves = edges.edge_curves( edge );
        return { curves.begin(), curves.end() };
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            bool is_corner_vertex( const EdgedCurve< D >& wireframe,
                                   const MeshesWireframe< D >& edges,
                                   const PolygonGroups< D >& groups,
                                   index_t vertex )
            {
                const auto& around = wireframe.edges_around_vertex( vertex );
                if( around.size() != 2 )
                {
                    return true;
                }
                const auto e0 = around[0].edge_id;
                const auto e1 = around[1].edge_id;
                const auto surfaces0 = edge_surface_ids( edges, groups, e0 );
                const auto surfaces1 = edge_surface_ids( edges, groups, e1 );
                if( surfaces0.empty() != surfaces1.empty() )
                {
                    // One edge comes from curves only, the other from
                    // surface borders: the line must change there.
                    return true;
                }
                if( !surfaces0.empty() )
                {
                    return surfaces0 != surfaces1;
                }
                return edge_curve_ids( edges, e0 ) !=
                       edge_curve_ids( edges, e1 );
            }

            template bool is_corner_vertex( const EdgedCurve< 2 >&,
                                            const MeshesWireframe< 2 >&,
                                            const PolygonGroups< 2 >&,
                                            index_t );
            template bool is_corner_vertex( const EdgedCurve< 3 >&,
                                            const MeshesWireframe< 3 >&,
                                            const PolygonGroups< 3 >&,
                                            index_t );
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
