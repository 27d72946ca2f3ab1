#include <conversion/mesh_analysis/from_meshes/inputs.h>

#include <cmath>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include <conversion/common/tasks.h>
#include <conversion/mesh_analysis/from_meshes/close_points.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    using namespace vorna;
    using namespace vorna::detail::from_meshes;

    constexpr index_t CHUNK_POLYGONS{ 4096 };

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

    /// A box of points, to refuse inputs whose extent no double holds:
    /// every length, area and volume measured on them would overflow.
    template < index_t D >
    struct Extent
    {
        Extent()
        {
            min.fill( std::numeric_limits< double >::infinity() );
            max.fill( -std::numeric_limits< double >::infinity() );
        }

        void add( const Point< D >& point )
        {
            for( index_t axis = 0; axis < D; axis++ )
            {
                min[axis] = std::min( min[axis], point.value( axis ) );
                max[axis] = std::max( max[axis], point.value( axis ) );
            }
        }

        std::array< double, D > min;
        std::array< double, D > max;
    };

    /// The first axis along which the extent spans more than the largest
    /// double, D when none does.
    template < index_t D >
    index_t overflowing_axis( const Extent< D >& extent )
    {
        for( index_t axis = 0; axis < D; axis++ )
        {
            if( extent.max[axis] >= extent.min[axis] &&
                !std::isfinite( extent.max[axis] - extent.min[axis] ) )
            {
                return axis;
            }
        }
        return D;
    }

    /// \throw CorvaneException when the used points, of finite
    /// coordinates, span more than the largest double along an axis. The
    /// box of all the points is looked at first, which is cheaper: only
    /// when it overflows are the points that polygons and edges use
    /// gathered.
    template < index_t D >
    void refuse_overflowing_extent( CurveSpan< D > curves,
                                    SurfaceSpan< D > surfaces )
    {
        Extent< D > all;
        for( const auto& surface : surfaces )
        {
            for( const auto& point : surface.get().points() )
            {
                all.add( point );
            }
        }
        for( const auto& curve : curves )
        {
            for( index_t v = 0; v < curve.get().nb_vertices(); v++ )
            {
                all.add( curve.get().point( v ) );
            }
        }
        if( overflowing_axis( all ) == D )
        {
            return;
        }
        Extent< D > extent;
        for( const auto& surface : surfaces )
        {
            const auto points = surface.get().points();
            for( const auto v : surface.get().polygon_slot_vertices() )
            {
                extent.add( points[v] );
            }
        }
        for( const auto& curve : curves )
        {
            for( index_t e = 0; e < curve.get().nb_edges(); e++ )
            {
                for( const auto v : curve.get().edge_vertices( e ) )
                {
                    extent.add( curve.get().point( v ) );
                }
            }
        }
        const auto axis = overflowing_axis( extent );
        if( axis < D )
        {
            throw CorvaneException(
                "[CornersLinesBuilderFromMeshes] The points of the inputs "
                "span more than the largest double along axis ",
                axis,
                " (from ",
                extent.min[axis],
                " to ",
                extent.max[axis],
                ")" );
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
                refuse_overflowing_extent( curves, surfaces );
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
