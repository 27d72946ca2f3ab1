#pragma once

#include <array>
#include <memory>
#include <type_traits>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/optional.h>
#include <absl/types/span.h>

#include <vorna/geometry/point.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/mesh_element.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMeshBuilder;

    /// Uses of one vertex by polygons.
    using PolygonsAroundVertex = absl::InlinedVector< PolygonVertex, 6 >;

    /// Polygons over vertices with coordinates, with one adjacency slot per
    /// polygon edge. Polygon edge k joins local vertices k and (k+1) mod n.
    /// Concrete types are PolygonalSurface<D> and TriangulatedSurface<D>.
    template < index_t D >
    class SurfaceMesh : public VertexSet
    {
        friend class SurfaceMeshBuilder< D >;

      public:
        ~SurfaceMesh() override;
        SurfaceMesh( SurfaceMesh&& ) noexcept;
        SurfaceMesh& operator=( SurfaceMesh&& ) noexcept;

        /// A new empty PolygonalSurface<D>.
        static std::unique_ptr< SurfaceMesh< D > > create();

        /// A new empty mesh of the given implementation.
        /// \throw CorvaneException for an unknown key or one of another
        /// interface.
        static std::unique_ptr< SurfaceMesh< D > >
        create( const MeshImpl& impl );

        /// Copy with the same implementation, points, polygons, adjacency,
        /// attributes and name; it gets a fresh uuid.
        std::unique_ptr< SurfaceMesh< D > > clone() const;

        /// True when only triangles are accepted.
        bool is_triangulated() const
        {
            return triangulated_;
        }

        /// \throw CorvaneException on an out-of-range vertex.
        const Point< D >& point( index_t vertex ) const;

        index_t nb_polygons() const
        {
            // A moved-from mesh has no offsets at all and reads as empty.
            return polygon_offsets_.empty()
                       ? 0
                       : static_cast< index_t >( polygon_offsets_.size() - 1 );
        }

        /// \throw CorvaneException on an out-of-range polygon.
        local_index_t nb_polygon_vertices( index_t polygon ) const;

        /// Same as nb_polygon_vertices.
        local_index_t nb_polygon_edges( index_t polygon ) const;

        /// \throw CorvaneException on an out-of-range polygon or vertex.
        index_t polygon_vertex( const PolygonVertex& polygon_vertex ) const;

        /// Vertices in stored order.
        /// \throw CorvaneException on an out-of-range polygon.
        std::vector< index_t > polygon_vertices( index_t polygon ) const;

        /// {vertex k, vertex (k+1) mod n} of edge k.
        /// \throw CorvaneException on an out-of-range polygon or edge.
        std::array< index_t, 2 >
        polygon_edge_vertices( const PolygonEdge& polygon_edge ) const;

        /// The polygon across the edge; empty on a border.
        /// \throw CorvaneException on an out-of-range polygon or edge.
        absl::optional< index_t >
        polygon_adjacent( const PolygonEdge& polygon_edge ) const;

        /// The neighbour's edge on the same two vertices; empty on a border
        /// (or when the stored neighbour has no such edge).
        /// \throw CorvaneException on an out-of-range polygon or edge.
        absl::optional< PolygonEdge >
        polygon_adjacent_edge( const PolygonEdge& polygon_edge ) const;

        /// True when the edge has no adjacent polygon.
        /// \throw CorvaneException on an out-of-range polygon or edge.
        bool is_edge_on_border( const PolygonEdge& polygon_edge ) const;

        /// True when some polygon edge ending at the vertex is a border.
        /// \throw CorvaneException on an out-of-range vertex.
        bool is_vertex_on_border( index_t vertex ) const;

        /// Every use of the vertex by a polygon, ascending by (polygon,
        /// local vertex), which is creation order.
        /// \throw CorvaneException on an out-of-range vertex.
        const PolygonsAroundVertex&
        polygons_around_vertex( index_t vertex ) const;

        /// The flat tables behind the accessors above, for bulk readers.
        /// The vertices of polygon p, and its neighbour across each of its
        /// edges, stand in slots polygon_offsets()[p] to
        /// polygon_offsets()[p + 1] - 1 of the two slot tables: slot
        /// offset + k holds vertex k and the neighbour across edge k
        /// (INVALID_INDEX on a border).
        absl::Span< const index_t > polygon_offsets() const
        {
            return polygon_offsets_;
        }
        absl::Span< const index_t > polygon_slot_vertices() const
        {
            return polygon_vertices_;
        }
        absl::Span< const index_t > polygon_slot_adjacents() const
        {
            return polygon_adjacents_;
        }
        /// The point of every vertex.
        absl::Span< const Point< D > > points() const
        {
            return points_;
        }

        /// The first edge over polygons [begin, end), in polygon order and
        /// each polygon's closing edge first, whose two vertices satisfy
        /// joins(from, to); empty when none. For scans in parallel over
        /// ranges of polygons.
        /// \throw CorvaneException unless begin <= end <= nb_polygons().
        template < typename Joins >
        absl::optional< PolygonEdge > find_polygon_edge(
            index_t begin, index_t end, const Joins& joins ) const
        {
            check_polygon_range( begin, end, "SurfaceMesh::find_polygon_edge" );
            for( auto p = begin; p < end; p++ )
            {
                const auto first = polygon_offsets_[p];
                const auto stop = polygon_offsets_[p + 1];
                if( first == stop )
                {
                    continue;
                }
                auto from = polygon_vertices_[stop - 1];
                auto edge = static_cast< local_index_t >( stop - first - 1 );
                for( auto slot = first; slot < stop; slot++ )
                {
                    const auto to = polygon_vertices_[slot];
                    if( joins( from, to ) )
                    {
                        return PolygonEdge{ p, edge };
                    }
                    from = to;
                    edge = static_cast< local_index_t >( slot - first );
                }
            }
            return absl::nullopt;
        }

        /// The first edge over polygons [begin, end), as find_polygon_edge
        /// orders them, from a vertex to itself: its polygon repeats that
        /// vertex in a row, which makes an edge of no length.
        /// \throw CorvaneException unless begin <= end <= nb_polygons().
        absl::optional< PolygonEdge > find_repeated_vertex( index_t begin,
                                                            index_t end ) const
        {
            return find_polygon_edge( begin,
                                      end,
                                      []( index_t from, index_t to )
                                      { return from == to; } );
        }

        /// Writable through a const mesh.
        AttributeManager& polygon_attribute_manager() const
        {
            return polygon_attributes_;
        }

        /// Half the norm of the fan cross-product sum (2D: absolute
        /// shoelace area).
        /// \throw CorvaneException on an out-of-range polygon.
        double polygon_area( index_t polygon ) const;

        /// Mean of the polygon's vertices.
        /// \throw CorvaneException on an out-of-range polygon.
        Point< D > polygon_barycenter( index_t polygon ) const;

        /// Right-hand unit normal A/|A|, A the fan cross-product sum.
        /// \throw CorvaneException when |A| < GLOBAL_EPSILON^2 or is not
        /// finite, or on an out-of-range polygon.
        template < index_t T = D >
        typename std::enable_if< T == 3, Vector< T > >::type
        polygon_normal( index_t polygon ) const
        {
            return normal_or_throw( polygon );
        }

        /// As polygon_normal, empty instead of throwing on a degenerate
        /// polygon.
        template < index_t T = D >
        typename std::enable_if< T == 3, absl::optional< Vector< T > > >::type
        new_polygon_normal( index_t polygon ) const
        {
            return optional_normal( polygon );
        }

      protected:
        explicit SurfaceMesh( bool triangulated );

        void resize_vertices( index_t nb_vertices ) override;

      private:
        void check_polygon( index_t polygon, const char* operation ) const;
        void check_edge( const PolygonEdge& polygon_edge,
                         const char* operation ) const;
        void check_vertex( index_t vertex, const char* operation ) const;
        void check_polygon_range( index_t begin,
                                  index_t end,
                                  const char* operation ) const;
        index_t edge_slot( const PolygonEdge& polygon_edge ) const
        {
            return polygon_offsets_[polygon_edge.polygon_id] +
                   polygon_edge.edge_id;
        }
        absl::optional< Vector< 3 > > optional_normal( index_t polygon ) const;
        Vector< 3 > normal_or_throw( index_t polygon ) const;

      private:
        bool triangulated_;
        std::vector< Point< D > > points_;
        // Polygon p uses slots [offsets[p], offsets[p+1]) of the two arrays
        // below; slot offsets[p]+k holds vertex k and the neighbour across
        // edge k.
        std::vector< index_t > polygon_offsets_;
        std::vector< index_t > polygon_vertices_;
        std::vector< index_t > polygon_adjacents_;
        std::vector< PolygonsAroundVertex > polygons_around_vertex_;
        mutable AttributeManager polygon_attributes_;
    };

    /// Surface of any polygons. Type "PolygonalSurface{D}D".
    template < index_t D >
    class PolygonalSurface : public SurfaceMesh< D >
    {
      public:
        PolygonalSurface();

        MeshType type_name() const override;
        MeshImpl impl_name() const override;

        static MeshType type_name_static();
        static MeshImpl impl_name_static();
    };

    /// Surface of triangles only. Type "TriangulatedSurface{D}D".
    template < index_t D >
    class TriangulatedSurface : public SurfaceMesh< D >
    {
      public:
        TriangulatedSurface();

        MeshType type_name() const override;
        MeshImpl impl_name() const override;

        static MeshType type_name_static();
        static MeshImpl impl_name_static();
    };

    using SurfaceMesh2D = SurfaceMesh< 2 >;
    using SurfaceMesh3D = SurfaceMesh< 3 >;
    using PolygonalSurface2D = PolygonalSurface< 2 >;
    using PolygonalSurface3D = PolygonalSurface< 3 >;
    using TriangulatedSurface2D = TriangulatedSurface< 2 >;
    using TriangulatedSurface3D = TriangulatedSurface< 3 >;
} // namespace vorna
