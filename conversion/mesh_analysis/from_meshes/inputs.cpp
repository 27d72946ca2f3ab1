#include <conversion/mesh_analysis/from_meshes/inputs.h>

#include <cmath>

#include <vorna/geometry/nn_search.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;
    using namespace vorna::detail::from_meshes;

    template < index_t D >
    bool is_finite( const Point< D >& point )
    {
        for( index_t axis = 0; axis < D; axis++ )
        {
            if( !std::isfinite( point.value( axis ) ) )
            {
                return false;
            }
        }
        return true;
    }

    /// One pass over the polygons. Refuses a used vertex with a non-finite
    /// coordinate, which would poison every later geometric test (unused
    /// vertices are ignored anyway), and a polygon edge from a vertex to
    /// itself, which would make a looped line of no length. With
    /// check_adjacency, returns whether every stored adjacency joins two
    /// distinct polygons over that edge's two vertices and is answered
    /// back; otherwise true.
    template < index_t D >
    bool check_polygons( const SurfaceMesh< D >& mesh, bool check_adjacency )
    {
        bool sound{ check_adjacency };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto nb_vertices = mesh.nb_polygon_vertices( p );
            const auto first = mesh.polygon_vertex( { p, 0 } );
            auto v = first;
            for( local_index_t k = 0; k < nb_vertices; k++ )
            {
                if( !is_finite( mesh.point( v ) ) )
                {
                    throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                            "Vertex ",
                                            v,
                                            " of mesh '",
                                            mesh_label( mesh ),
                                            "' has a non-finite coordinate" );
                }
                const auto next =
                    k + 1 < nb_vertices
                        ? mesh.polygon_vertex(
                              { p, static_cast< local_index_t >( k + 1 ) } )
                        : first;
                if( next == v )
                {
                    throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                            "Polygon ",
                                            p,
                                            " of mesh '",
                                            mesh_label( mesh ),
                                            "' repeats vertex ",
                                            v,
                                            " in a row" );
                }
                v = next;
                if( !sound )
                {
                    continue;
                }
                const PolygonEdge edge{ p, k };
                const auto adjacent = mesh.polygon_adjacent( edge );
                if( !adjacent )
                {
                    continue;
                }
                // The neighbour's edge over the same two vertices.
                const auto across = adjacent.value() != p
                                        ? mesh.polygon_adjacent_edge( edge )
                                        : absl::nullopt;
                sound = across && mesh.polygon_adjacent( *across ) == p;
            }
        }
        return sound || !check_adjacency;
    }

    template < index_t D >
    void check_curve( const EdgedCurve< D >& curve )
    {
        for( index_t e = 0; e < curve.nb_edges(); e++ )
        {
            const auto& vertices = curve.edge_vertices( e );
            if( vertices[0] == vertices[1] )
            {
                throw CorvaneException( "[CornersLinesBuilderFromMeshes] Edge ",
                                        e,
                                        " of curve '",
                                        mesh_label( curve ),
                                        "' joins vertex ",
                                        vertices[0],
                                        " to itself" );
            }
            for( const auto v : vertices )
            {
                if( !is_finite( curve.point( v ) ) )
                {
                    throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                            "Vertex ",
                                            v,
                                            " of curve '",
                                            mesh_label( curve ),
                                            "' has a non-finite coordinate" );
                }
            }
        }
    }

    template < index_t D >
    bool has_colocated_vertices( const SurfaceMesh< D >& mesh )
    {
        std::vector< Point< D > > points;
        points.reserve( mesh.nb_vertices() );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            points.push_back( mesh.point( v ) );
        }
        return NNSearch< D >{ std::move( points ) }
                   .colocated_index_mapping( COLOCATION_EPSILON )
                   .nb_colocated_points() > 0;
    }

    /// Refuses unusable inputs, and tells whether a single input can
    /// serve as the merged mesh as it is: merging welds vertices within the
    /// tolerance and rebuilds a symmetric adjacency from what the input
    /// stored, which the grouping and the border tests need.
    template < index_t D >
    bool check_inputs( CurveSpan< D > curves, SurfaceSpan< D > surfaces )
    {
        const bool single = surfaces.size() == 1;
        bool symmetric{ true };
        for( const auto& surface : surfaces )
        {
            symmetric = check_polygons( surface.get(), single ) && symmetric;
        }
        for( const auto& curve : curves )
        {
            check_curve( curve.get() );
        }
        return single && symmetric &&
               !has_colocated_vertices( surfaces.front().get() );
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            MeshesInput< D >::MeshesInput( CurveSpan< D > curves,
                                           SurfaceSpan< D > surfaces )
                : curves_( curves.begin(), curves.end() ),
                  surfaces_( surfaces.begin(), surfaces.end() ),
                  merger_( surfaces_, COLOCATION_EPSILON ),
                  use_input_( check_inputs( curves, surfaces ) ),
                  merged_( use_input_ ? surfaces.front().get()
                                      : merger_.merged() )
            {
                if( !use_input_ )
                {
                    merger_.create_surface_step();
                }
            }

            template class MeshesInput< 2 >;
            template class MeshesInput< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
