#include <vorna/model/surface_radial_sort.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/index_check.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/surface.h>

#include "polygon_edges_between.h"

namespace
{
    constexpr double TWO_PI = 6.283185307179586476925286766559;

    // Wings this close in angle lie in one plane: coincident polygons, whose
    // directions differ only by rounding.
    constexpr double TIED_ANGLE = 1e-9;

    struct Wing
    {
        vorna::uuid surface;
        vorna::PolygonEdge edge;
        vorna::Vector3D direction;
        bool along;
        double angle{ 0 };
    };

    // Any unit vector orthogonal to `axis`, used when a wing gives no
    // usable direction at all.
    vorna::Vector3D orthogonal( const vorna::Vector3D& axis )
    {
        const vorna::Vector3D x{ { 1, 0, 0 } };
        const vorna::Vector3D y{ { 0, 1, 0 } };
        const auto& other = std::fabs( axis.value( 0 ) ) < 0.9 ? x : y;
        return axis.cross( other ).normalize();
    }

    // The component of `vector` orthogonal to `axis`, normalised; empty
    // when that component vanishes.
    absl::optional< vorna::Vector3D >
    orthogonal_part( const vorna::Vector3D& vector,
                     const vorna::Vector3D& axis )
    {
        const auto part = vector - axis * vector.dot( axis );
        const auto length = part.length();
        if( !( length > 0 ) )
        {
            return absl::nullopt;
        }
        return part / length;
    }

    // One end of a line: the surface vertices there, by surface, and the
    // unique vertex of the other end.
    struct LineEnd
    {
        absl::flat_hash_map< vorna::uuid,
                             absl::InlinedVector< vorna::index_t, 1 > >
            surface_vertices;
        vorna::index_t other;
    };

    // The end with fewer links: a line sharing an end with many surfaces
    // then costs its own surfaces only.
    LineEnd
    lighter_end( const vorna::BRep& brep, vorna::index_t u0, vorna::index_t u1 )
    {
        const auto& links0 = brep.component_mesh_vertices( u0 );
        const auto& links1 = brep.component_mesh_vertices( u1 );
        const bool from_first = links0.size() <= links1.size();
        LineEnd end;
        end.other = from_first ? u1 : u0;
        const auto& surface_type = vorna::Surface< 3 >::component_type_static();
        for( const auto& link : from_first ? links0 : links1 )
        {
            if( link.component_id.type() == surface_type )
            {
                end.surface_vertices[link.component_id.id()].push_back(
                    link.vertex );
            }
        }
        return end;
    }

    // Polygon edges of the surface's mesh between one of `vertices` and a
    // vertex linked to `other` (either way round), ascending and without
    // repeats.
    std::vector< vorna::PolygonEdge >
    find_wings( const vorna::BRep& brep,
                const vorna::Surface< 3 >& surface,
                absl::Span< const vorna::index_t > vertices,
                vorna::index_t other )
    {
        const auto& mesh = surface.mesh();
        const auto surface_id = surface.component_id();
        std::vector< vorna::PolygonEdge > wings;
        for( const auto vertex : vertices )
        {
            vorna::detail::append_polygon_edges_to(
                brep, { surface_id, vertex }, mesh, other, wings );
        }
        std::sort( wings.begin(), wings.end() );
        wings.erase( std::unique( wings.begin(), wings.end() ), wings.end() );
        return wings;
    }

    Wing make_wing( const vorna::Surface< 3 >& surface,
                    const vorna::PolygonEdge& edge,
                    const vorna::Point3D& line_origin,
                    const vorna::Vector3D& axis )
    {
        const auto& mesh = surface.mesh();
        const auto ends = mesh.polygon_edge_vertices( edge );
        const vorna::Vector3D d{ mesh.point( ends[0] ), mesh.point( ends[1] ) };
        Wing wing{ surface.id(), edge, axis, true };
        if( const auto normal = mesh.new_polygon_normal( edge.polygon_id ) )
        {
            const auto w = normal->cross( d );
            if( w.length() > 0 )
            {
                wing.direction = w.normalize();
                wing.along = d.dot( axis ) > 0;
                return wing;
            }
        }
        // Degenerate polygon or edge: point the wing at the barycenter.
        const vorna::Vector3D to_center{
            line_origin, mesh.polygon_barycenter( edge.polygon_id ) };
        const auto direction = orthogonal_part( to_center, axis );
        wing.direction = direction ? *direction : orthogonal( axis );
        return wing;
    }
    // The plane's canonical normal: +-normal, with its component of largest
    // magnitude positive (the first such on equal magnitudes). Whether it
    // agrees with `normal`.
    bool agrees_with_canonical_normal( const vorna::Vector3D& normal )
    {
        vorna::index_t largest{ 0 };
        for( vorna::index_t axis = 1; axis < 3; axis++ )
        {
            if( std::fabs( normal.value( axis ) ) >
                std::fabs( normal.value( largest ) ) )
            {
                largest = axis;
            }
        }
        return normal.value( largest ) > 0;
    }

    // Wings at one angle (coincident polygons) go as if each were pushed
    // off the plane along its canonical normal by an amount growing with its
    // key (its sheet, then its layer, then its surface rank in the model,
    // then polygon): every line of the plane then sees the same stacking, so
    // the region between two copies is a closed thin region, whatever the
    // input order.
    // A sheet moves as a whole, so a copy lying across a line without an
    // edge on it stays on one side of all that meets there. A sheet may
    // hold two copies, joined through a piece that continues both; within
    // it a layer moves as a whole: the pieces of one copy that continue one
    // another where nothing coincides with them (the triangles of a split
    // quad) stay on one side of the other copy along every line around it.
    // `ranks` gives the surface keys, made when first needed.
    template < typename Ranks >
    void order_tied_wings( const Ranks& ranks,
                           const vorna::Vector3D& axis,
                           std::vector< Wing >& wings )
    {
        for( std::size_t begin = 0; begin < wings.size(); )
        {
            auto end = begin + 1;
            while( end < wings.size() &&
                   wings[end].angle - wings[begin].angle <= TIED_ANGLE )
            {
                end++;
            }
            if( end - begin > 1 )
            {
                const auto& rank = ranks();
                const bool ascending = agrees_with_canonical_normal(
                    axis.cross( wings[begin].direction ) );
                const auto key = [&]( const Wing& wing )
                {
                    const auto& of = rank.at( wing.surface );
                    return std::make_tuple(
                        of.sheet, of.layer, of.surface, wing.edge.polygon_id );
                };
                std::sort( wings.begin() + begin,
                           wings.begin() + end,
                           [&]( const Wing& a, const Wing& b ) {
                               return ascending ? key( a ) < key( b )
                                                : key( b ) < key( a );
                           } );
            }
            begin = end;
        }
    }
} // namespace

namespace vorna
{
    absl::InlinedVector< index_t, 1 >
    SortedSurfaces::find( const SidedSurface& surface ) const
    {
        absl::InlinedVector< index_t, 1 > positions;
        for( index_t p = 0; p < surfaces.size(); p++ )
        {
            if( surfaces[p] == surface )
            {
                positions.push_back( p );
            }
        }
        return positions;
    }

    index_t SortedSurfaces::next( index_t position ) const
    {
        const auto size = static_cast< index_t >( surfaces.size() );
        detail::check_index(
            "SortedSurfaces::next", "Position", position, size );
        if( position % 2 == 1 )
        {
            return ( position + 1 ) % size;
        }
        return ( position + size - 1 ) % size;
    }

    namespace
    {
        // The wings around a line, by angle about its first edge's
        // direction `axis` from the first wing (coincident ones in no
        // particular order yet).
        struct LineWings
        {
            Vector3D axis;
            std::vector< Wing > wings;
        };

        LineWings line_wings( const BRep& brep, const Line< 3 >& line )
        {
            LineWings result;
            const auto& curve = line.mesh();
            if( curve.nb_edges() == 0 )
            {
                return result;
            }
            const auto& ends = curve.edge_vertices( 0 );
            if( ends[0] == INVALID_INDEX || ends[1] == INVALID_INDEX )
            {
                // An edge without both ends has no direction and no links.
                return result;
            }
            const auto& origin = curve.point( ends[0] );
            const Vector3D edge{ origin, curve.point( ends[1] ) };
            const auto edge_length = edge.length();
            if( !( edge_length > 0 ) )
            {
                return result;
            }
            const auto axis = edge / edge_length;
            result.axis = axis;
            const auto u0 =
                brep.unique_vertex( { line.component_id(), ends[0] } );
            const auto u1 =
                brep.unique_vertex( { line.component_id(), ends[1] } );
            if( u0 == INVALID_INDEX || u1 == INVALID_INDEX )
            {
                return result;
            }

            const auto line_end = lighter_end( brep, u0, u1 );
            auto& wings = result.wings;
            absl::flat_hash_set< uuid > visited;
            const auto add_surface_wings = [&]( const Surface< 3 >& surface )
            {
                // A surface both bounded by and containing the line is taken
                // once: a repeat would pair its two sides.
                if( !visited.insert( surface.id() ).second )
                {
                    return;
                }
                const auto vertices =
                    line_end.surface_vertices.find( surface.id() );
                if( vertices == line_end.surface_vertices.end() )
                {
                    return;
                }
                for( const auto& edge : find_wings(
                         brep, surface, vertices->second, line_end.other ) )
                {
                    wings.push_back( make_wing( surface, edge, origin, axis ) );
                }
            };
            for( const auto& surface : brep.incidences( line ) )
            {
                add_surface_wings( surface );
            }
            for( const auto& surface : brep.embedding_surfaces( line ) )
            {
                add_surface_wings( surface );
            }
            if( wings.empty() )
            {
                return result;
            }

            // Angles about the axis, measured in the plane orthogonal to it.
            const auto reference =
                orthogonal_part( wings.front().direction, axis )
                    .value_or( orthogonal( axis ) );
            const auto reference_normal = axis.cross( reference );
            for( index_t w = 1; w < wings.size(); w++ )
            {
                const auto& direction = wings[w].direction;
                auto angle = std::atan2( direction.dot( reference_normal ),
                                         direction.dot( reference ) );
                if( angle < 0 )
                {
                    angle += TWO_PI;
                }
                if( angle >= TWO_PI - TIED_ANGLE )
                {
                    angle = 0;
                }
                wings[w].angle = angle;
            }
            std::stable_sort( wings.begin(),
                              wings.end(),
                              []( const Wing& a, const Wing& b )
                              { return a.angle < b.angle; } );
            return result;
        }

        // Union-find over surface ranks whose root is the smallest rank of
        // its set.
        class RankSets
        {
          public:
            explicit RankSets( index_t size ) : parent_( size )
            {
                std::iota( parent_.begin(), parent_.end(), 0u );
            }

            index_t root( index_t rank )
            {
                while( parent_[rank] != rank )
                {
                    parent_[rank] = parent_[parent_[rank]];
                    rank = parent_[rank];
                }
                return rank;
            }

            void join( index_t a, index_t b )
            {
                a = root( a );
                b = root( b );
                if( a < b )
                {
                    parent_[b] = a;
                }
                else if( b < a )
                {
                    parent_[a] = b;
                }
            }

          private:
            std::vector< index_t > parent_;
        };

        // Calls `action` on each wing within the tied angle of `target`,
        // measured round the circle.
        template < typename Action >
        void for_each_wing_near( const std::vector< Wing >& wings,
                                 double target,
                                 const Action& action )
        {
            for( const auto turn : { -TWO_PI, 0., TWO_PI } )
            {
                const auto at = target + turn;
                auto wing = std::lower_bound( wings.begin(),
                                              wings.end(),
                                              at - TIED_ANGLE,
                                              []( const Wing& w, double angle )
                                              { return w.angle < angle; } );
                for( ; wing != wings.end() && wing->angle <= at + TIED_ANGLE;
                     wing++ )
                {
                    action( *wing );
                }
            }
        }

        // Joins the surfaces of wings half a turn apart: they continue one
        // another in one plane across the line. Their layers are joined
        // only when both wings are alone at their angles: where copies
        // coincide, which piece continues which is a tie, and the thin
        // region between the copies closes at the line anyway.
        void join_flat_continuations( const std::vector< Wing >& wings,
                                      const SurfaceRanks& ranks,
                                      RankSets& sheets,
                                      RankSets& layers )
        {
            for( const auto& wing : wings )
            {
                const auto rank = ranks.at( wing.surface ).surface;
                index_t nb_continuations{ 0 };
                index_t continuation{ 0 };
                for_each_wing_near( wings,
                                    wing.angle + TWO_PI / 2,
                                    [&]( const Wing& other )
                                    {
                                        continuation =
                                            ranks.at( other.surface ).surface;
                                        sheets.join( rank, continuation );
                                        nb_continuations++;
                                    } );
                if( nb_continuations != 1 )
                {
                    continue;
                }
                index_t nb_tied{ 0 };
                for_each_wing_near(
                    wings, wing.angle, [&]( const Wing& ) { nb_tied++; } );
                if( nb_tied == 1 )
                {
                    layers.join( rank, continuation );
                }
            }
        }

        // Each surface's rank in the model, its sheet: the smallest rank
        // among the surfaces joined to it by flat continuations, and its
        // layer: the same over the continuations where both are alone.
        SurfaceRanks surface_ranks( const BRep& brep )
        {
            SurfaceRanks ranks;
            ranks.reserve( brep.nb_surfaces() );
            index_t rank{ 0 };
            for( const auto& surface : brep.surfaces() )
            {
                ranks.emplace( surface.id(), SurfaceRank{ rank, rank, rank } );
                rank++;
            }
            RankSets sheets{ rank };
            RankSets layers{ rank };
            for( const auto& line : brep.lines() )
            {
                join_flat_continuations(
                    line_wings( brep, line ).wings, ranks, sheets, layers );
            }
            for( auto& surface : ranks )
            {
                surface.second.sheet = sheets.root( surface.second.surface );
                surface.second.layer = layers.root( surface.second.surface );
            }
            return ranks;
        }

        // ranks() gives the surface keys, made when first needed.
        template < typename Ranks >
        SortedSurfaces sort_around( const BRep& brep,
                                    const Line< 3 >& line,
                                    const Ranks& ranks )
        {
            if( !brep.has_line( line.id() ) )
            {
                throw CorvaneException( "[surface_radial_sort] Line ",
                                        line.id().string(),
                                        " is not in the model" );
            }
            SortedSurfaces result;
            auto line_result = line_wings( brep, line );
            auto& wings = line_result.wings;
            if( wings.empty() )
            {
                return result;
            }
            order_tied_wings( ranks, line_result.axis, wings );

            result.surfaces.reserve( 2 * wings.size() );
            for( const auto& wing : wings )
            {
                // The side facing increasing angle is side 0 when the polygon
                // runs along the line.
                const bool increasing_side = !wing.along;
                result.surfaces.emplace_back(
                    wing.surface, wing.edge, !increasing_side );
                result.surfaces.emplace_back(
                    wing.surface, wing.edge, increasing_side );
            }
            return result;
        }
    } // namespace

    SortedSurfaces surface_radial_sort( const BRep& brep,
                                        const Line< 3 >& line )
    {
        absl::optional< SurfaceRanks > ranks;
        return surface_radial_sort( brep, line, ranks );
    }

    SortedSurfaces surface_radial_sort( const BRep& brep,
                                        const Line< 3 >& line,
                                        absl::optional< SurfaceRanks >& ranks )
    {
        return sort_around( brep,
                            line,
                            [&]() -> const SurfaceRanks&
                            {
                                if( !ranks )
                                {
                                    ranks.emplace( surface_ranks( brep ) );
                                }
                                return *ranks;
                            } );
    }
} // namespace vorna
