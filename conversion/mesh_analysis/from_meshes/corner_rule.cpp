#include <conversion/mesh_analysis/from_meshes/corner_rule.h>

#include <algorithm>

#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>

#include <vorna/mesh/edged_curve.h>

namespace
{
    using namespace vorna;
    using namespace vorna::detail::from_meshes;

    using GroupIds = absl::InlinedVector< index_t, 4 >;

    GroupIds sorted_unique( GroupIds ids )
    {
        std::sort( ids.begin(), ids.end() );
        ids.erase( std::unique( ids.begin(), ids.end() ), ids.end() );
        return ids;
    }

    /// The groups that a wireframe edge borders, and those that go on
    /// across it.
    struct EdgeSurfaces
    {
        bool operator==( const EdgeSurfaces& other ) const
        {
            return borders == other.borders && inners == other.inners;
        }

        bool operator!=( const EdgeSurfaces& other ) const
        {
            return !( *this == other );
        }

        GroupIds borders;
        GroupIds inners;
    };

    template < index_t D >
    EdgeSurfaces edge_surface_ids( const MeshesWireframe< D >& edges,
                                   const PolygonGroups< D >& groups,
                                   index_t edge )
    {
        EdgeSurfaces ids;
        for( const auto& polygon_edge : edges.polygon_edges( edge ) )
        {
            ids.borders.push_back( groups.group( polygon_edge.polygon_id ) );
        }
        for( const auto& polygon_edge : edges.inner_polygon_edges( edge ) )
        {
            ids.inners.push_back( groups.group( polygon_edge.polygon_id ) );
        }
        ids.borders = sorted_unique( std::move( ids.borders ) );
        ids.inners = sorted_unique( std::move( ids.inners ) );
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
                if( surfaces0 != edge_surface_ids( edges, groups, e1 ) )
                {
                    // The surfaces along the line change there, for instance
                    // where a curve leaves a surface or meets its border.
                    return true;
                }
                if( !surfaces0.borders.empty() )
                {
                    // Curves along a border do not split it.
                    return false;
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
