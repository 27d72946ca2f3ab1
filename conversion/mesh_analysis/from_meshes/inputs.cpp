#include <conversion/mesh_analysis/from_meshes/inputs.h>

#include <cmath>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include <conversion/common/input_checks.h>
#include <conversion/common/tasks.h>
#include <conversion/mesh_analysis/from_meshes/close_points.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;
    using namespace vorna::detail::from_meshes;

    constexpr index_t CHUNK_POLYGONS{ 4096 };

    constexpr const char* OPERATION = "CornersLinesBuilderFromMeshes";

    /// The first fault of a range of polygons, in the order of a walk over
    /// their vertices: at each vertex, a non-finite point before a repeat.
    struct PolygonFault
    {
        bool operator<( const PolygonFault& other ) const
        {
            return slot != other.slot ? slot < other.slot
                                      : repeat < other.repeat;
        }

        index_t slot{ INVALID_INDEX };
        bool repeat{ false };
        index_t polygon{ INVALID_INDEX };
        index_t vertex{ INVALID_INDEX };
    };

    /// \throw CorvaneException when a used point of the inputs has a
    /// coordinate beyond the bound: the first input with one (surfaces,
    /// then curves, in the given order), naming its farthest coordinate.
    /// The box of all the points is looked at first, which is cheaper: only
    /// when it reaches beyond the bound are the points that polygons and
    /// edges use looked at.
    /// \pre the used points are finite.
    template < index_t D >
    void refuse_far_points( CurveSpan< D > curves, SurfaceSpan< D > surfaces )
    {
        BoundingBox< D > all;
        for( const auto& surface : surfaces )
        {
            for( const auto& point : surface.get().points() )
            {
                all.add_point( point );
            }
        }
        for( const auto& curve : curves )
        {
            for( index_t v = 0; v < curve.get().nb_vertices(); v++ )
            {
                all.add_point( curve.get().point( v ) );
            }
        }
        if( detail::lies_within_bound( all ) )
        {
            return;
        }
        for( const auto& surface : surfaces )
        {
            detail::refuse_far_vertices( surface.get(),
                                         surface.get().polygon_slot_vertices(),
                                         OPERATION );
        }
        for( const auto& curve : curves )
        {
            detail::FarthestCoordinate farthest;
            for( index_t e = 0; e < curve.get().nb_edges(); e++ )
            {
                for( const auto v : curve.get().edge_vertices( e ) )
                {
                    farthest.add( v, curve.get().point( v ) );
                }
            }
            farthest.refuse_beyond_bound( curve.get(), OPERATION, "curve" );
        }
    }

    /// Whether the adjacency stored across the slot's edge, if any, joins a
    /// distinct polygon over the same two vertices and is answered back.
    bool is_sound_adjacency( absl::Span< const index_t > offsets,
                             absl::Span< const index_t > vertices,
                             absl::Span< const index_t > adjacents,
                             index_t polygon,
                             index_t slot )
    {
        const auto adjacent = adjacents[slot];
        if( adjacent == INVALID_INDEX )
        {
            return true;
        }
        if( adjacent == polygon )
        {
            return false;
        }
        const auto next =
            slot + 1 == offsets[polygon + 1] ? offsets[polygon] : slot + 1;
        const auto a = vertices[slot];
        const auto b = vertices[next];
        // Some edge of the neighbour over the same two vertices must point
        // back.
        for( auto other = offsets[adjacent]; other < offsets[adjacent + 1];
             other++ )
        {
            const auto other_next = other + 1 == offsets[adjacent + 1]
                                        ? offsets[adjacent]
                                        : other + 1;
            const auto c = vertices[other];
            const auto d = vertices[other_next];
            if( !( ( c == a && d == b ) || ( c == b && d == a ) ) )
            {
                continue;
            }
            if( adjacents[other] == polygon )
            {
                return true;
            }
        }
        return false;
    }

    /// One pass over the polygons, in parallel. Refuses a used vertex with
    /// a non-finite coordinate, which would poison every later geometric
    /// test (unused vertices are ignored anyway), and a polygon edge from a
    /// vertex to itself, which would make a looped line of no length: the
    /// first such fault in polygon order. With check_adjacency, returns
    /// whether every stored adjacency joins two distinct polygons over that
    /// edge's two vertices and is answered back; otherwise true.
    template < index_t D >
    bool check_polygons( const SurfaceMesh< D >& mesh, bool check_adjacency )
    {
        const auto offsets = mesh.polygon_offsets();
        const auto vertices = mesh.polygon_slot_vertices();
        const auto adjacents = mesh.polygon_slot_adjacents();
        const auto points = mesh.points();
        const auto nb_polygons = mesh.nb_polygons();
        const auto nb_chunks =
            ( nb_polygons + CHUNK_POLYGONS - 1 ) / CHUNK_POLYGONS;
        std::vector< PolygonFault > faults( nb_chunks );
        std::vector< char > sound( nb_chunks, 1 );
        detail::parallel_for(
            0,
            nb_chunks,
            1,
            [&]( index_t chunk )
            {
                const auto end =
                    std::min( ( chunk + 1 ) * CHUNK_POLYGONS, nb_polygons );
                for( auto p = chunk * CHUNK_POLYGONS; p < end; p++ )
                {
                    for( auto slot = offsets[p]; slot < offsets[p + 1]; slot++ )
                    {
                        const auto v = vertices[slot];
                        if( !is_finite( points[v] ) )
                        {
                            faults[chunk] = { slot, false, p, v };
                            return;
                        }
                        const auto next =
                            slot + 1 == offsets[p + 1] ? offsets[p] : slot + 1;
                        if( vertices[next] == v )
                        {
                            faults[chunk] = { slot, true, p, v };
                            return;
                        }
                        if( check_adjacency && sound[chunk] &&
                            !is_sound_adjacency(
                                offsets, vertices, adjacents, p, slot ) )
                        {
                            sound[chunk] = 0;
                        }
                    }
                }
            } );
        const auto fault = std::min_element( faults.begin(), faults.end() );
        if( fault != faults.end() && fault->slot != INVALID_INDEX )
        {
            if( fault->repeat )
            {
                throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                        "Polygon ",
                                        fault->polygon,
                                        " of mesh '",
                                        mesh_label( mesh ),
                                        "' repeats vertex ",
                                        fault->vertex,
                                        " in a row" );
            }
            throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                    "Vertex ",
                                    fault->vertex,
                                    " of mesh '",
                                    mesh_label( mesh ),
                                    "' has a non-finite coordinate" );
        }
        return !check_adjacency ||
               std::find( sound.begin(), sound.end(), 0 ) == sound.end();
    }

    template < index_t D >
    void check_curve( const EdgedCurve< D >& curve )
    {
        for( index_t e = 0; e < curve.nb_edges(); e++ )
        {
            const auto& vertices = curve.edge_vertices( e );
            if( vertices[0] == INVALID_INDEX || vertices[1] == INVALID_INDEX )
            {
                throw CorvaneException( "[CornersLinesBuilderFromMeshes] Edge ",
                                        e,
                                        " of curve '",
                                        mesh_label( curve ),
                                        "' has an unset end" );
            }
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

    /// Refuses unusable inputs, and tells whether a single input can
    /// serve as the merged mesh as it is: merging welds vertices within the
    /// tolerance and rebuilds a symmetric adjacency from what the input
    /// stored, which the grouping and the border tests need.
    template < index_t D >
    bool check_inputs( CurveSpan< D > curves, SurfaceSpan< D > surfaces )
    {
        const bool single = surfaces.size() == 1;
        bool symmetric{ true };
        bool colocated{ true };
        detail::fork(
            [&]
            {
                for( const auto& surface : surfaces )
                {
                    symmetric =
                        check_polygons( surface.get(), single ) && symmetric;
                }
                for( const auto& curve : curves )
                {
                    check_curve( curve.get() );
                }
                refuse_far_points( curves, surfaces );
            },
            [&]
            {
                colocated = single &&
                            has_points_within( surfaces.front().get().points(),
                                               COLOCATION_EPSILON );
            } );
        return single && symmetric && !colocated;
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
                                           SurfaceSpan< D > surfaces,
                                           bool merge_identical_polygons )
                : curves_( curves.begin(), curves.end() ),
                  surfaces_( surfaces.begin(), surfaces.end() ),
                  merger_(
                      surfaces_, COLOCATION_EPSILON, merge_identical_polygons ),
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
