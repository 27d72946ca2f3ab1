#include <vorna/conversion/model/build_blocks.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <numeric>
#include <tuple>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/types/optional.h>
#include <absl/types/span.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/common/unset_uuid.h>
#include <vorna/geometry/aabb.h>
#include <vorna/geometry/bounding_box.h>
#include <vorna/geometry/infinite_line.h>
#include <vorna/geometry/mensuration.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/position.h>
#include <vorna/geometry/ray.h>
#include <vorna/geometry/tetrahedron.h>
#include <vorna/geometry/vector.h>
#include <vorna/mesh/aabb_surface_helpers.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/point_set.h>
#include <vorna/mesh/ray_tracing.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corner.h>
#include <vorna/model/find_intersections_with_boundaries.h>
#include <vorna/model/line.h>
#include <vorna/model/sided_surface.h>
#include <vorna/model/surface.h>
#include <vorna/model/surface_radial_sort.h>

#include <conversion/common/aabb_ray_traversal.h>
#include <conversion/common/input_checks.h>
#include <conversion/common/tasks.h>

namespace
{
    using namespace vorna;

    // A ray starts from the first polygon of at least this area, or else
    // from the largest one that has a normal (millimetre shells in a model
    // in metres).
    constexpr double MIN_POLYGON_AREA = 1e-6;

    // A crossing nearer to the ray's origin than this times the model's
    // extent is on a surface through the origin (a coincident copy of the
    // polygon the ray starts from): it says nothing of what encloses it.
    constexpr double ZERO_DISTANCE_RATIO = 1e-9;

    // A block whose volume is at most this times its boundary's area times
    // its extent (so a thickness below this fraction of its extent) encloses
    // nothing.
    constexpr double ZERO_VOLUME_RATIO = 1e-9;

    // Polygons per parallel piece of work.
    constexpr index_t CHUNK_POLYGONS = 4096;

    // The box tree of every surface, and a tree over the surfaces' own
    // boxes: a ray then visits only the surfaces whose box it meets, not
    // every surface of the model.
    struct SurfaceTrees
    {
        absl::flat_hash_map< uuid, AABBTree< 3 > > trees;
        // The surfaces whose trees hold polygons, in model order; element i
        // of `surfaces` is entry i.
        std::vector< uuid > ordered;
        AABBTree< 3 > surfaces;
        // Crossings nearer than this to the ray's origin are ignored.
        double zero_distance{ 0.0 };
    };

    index_t side_index( bool side )
    {
        return side ? 1 : 0;
    }

    // The power of two that brings the largest coordinate of a model whose
    // coordinates all lie below 2^-250 into [0.5, 1): areas and volumes
    // measured on points scaled by it do not underflow, and the scaling is
    // exact, so every ratio of them is what it is unscaled. Any other model
    // is measured as it stands (scale 1): within the coordinate bound,
    // nothing measured on it overflows.
    // Refuses a point with a non-finite coordinate, which no scale and no
    // ray can handle, then one beyond the bound, mesh by mesh.
    double checked_model_scale( const BRep& brep )
    {
        double largest{ 0 };
        const auto measure = [&largest]( const auto& mesh, const auto& points )
        {
            double mesh_largest{ 0 };
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                const auto& point = points( v );
                const auto x = std::fabs( point.value( 0 ) );
                const auto y = std::fabs( point.value( 1 ) );
                const auto z = std::fabs( point.value( 2 ) );
                constexpr auto finite = std::numeric_limits< double >::max();
                if( !( x <= finite && y <= finite && z <= finite ) )
                {
                    detail::refuse_non_finite_point( mesh, v, "build_blocks" );
                }
                mesh_largest =
                    std::max( mesh_largest, std::max( x, std::max( y, z ) ) );
            }
            if( mesh_largest > detail::COORDINATE_BOUND )
            {
                detail::FarthestCoordinate farthest;
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    farthest.add( v, points( v ) );
                }
                farthest.refuse_beyond_bound( mesh, "build_blocks" );
            }
            largest = std::max( largest, mesh_largest );
        };
        for( const auto& surface : brep.surfaces() )
        {
            const auto& mesh = surface.mesh();
            const auto points = mesh.points();
            measure( mesh,
                     [&points]( index_t v ) -> const Point< 3 >&
                     { return points[v]; } );
        }
        const auto measure_all = [&measure]( const auto& mesh )
        {
            measure( mesh,
                     [&mesh]( index_t v ) -> const Point< 3 >&
                     { return mesh.point( v ); } );
        };
        for( const auto& line : brep.lines() )
        {
            measure_all( line.mesh() );
        }
        for( const auto& corner : brep.corners() )
        {
            measure_all( corner.mesh() );
        }
        if( largest == 0 || largest >= std::ldexp( 1., -250 ) )
        {
            return 1;
        }
        int exponent{ 0 };
        std::frexp( largest, &exponent );
        return std::ldexp( 1., -exponent );
    }

    Point< 3 > scaled( const Point< 3 >& point, double scale )
    {
        return Point< 3 >{ { point.value( 0 ) * scale,
                             point.value( 1 ) * scale,
                             point.value( 2 ) * scale } };
    }

    // Twice the area vector of the polygon's fan from its first vertex, on
    // scaled points.
    Vector3D scaled_area_vector( const SurfaceMesh< 3 >& mesh,
                                 index_t polygon,
                                 double scale )
    {
        const auto offsets = mesh.polygon_offsets();
        const auto vertices = mesh.polygon_slot_vertices();
        const auto points = mesh.points();
        const auto begin = offsets[polygon];
        const auto end = offsets[polygon + 1];
        const auto origin = scaled( points[vertices[begin]], scale );
        Vector3D sum;
        for( auto slot = begin + 1; slot + 1 < end; slot++ )
        {
            const Vector3D a{ origin, scaled( points[vertices[slot]], scale ) };
            const Vector3D b{ origin,
                              scaled( points[vertices[slot + 1]], scale ) };
            sum += a.cross( b );
        }
        return sum;
    }

    // The radial sort around a line, with its positions sorted by sided
    // surface: finding a sided surface takes a binary search, not a walk
    // around the whole line.
    class LineSides
    {
      public:
        explicit LineSides( SortedSurfaces sorted )
            : sorted_( std::move( sorted ) ),
              positions_( sorted_.surfaces.size() )
        {
            std::iota( positions_.begin(), positions_.end(), 0u );
            std::sort( positions_.begin(),
                       positions_.end(),
                       [this]( index_t a, index_t b )
                       { return key( a ) < key( b ); } );
        }

        // The sided surfaces facing the same sector as `sided`, once for
        // each position of `sided` (ascending).
        template < typename Visit >
        void for_each_facing( const SidedSurface& sided,
                              const Visit& visit ) const
        {
            const auto target = std::make_tuple( sided.id, sided.side, 0u );
            auto position = std::lower_bound(
                positions_.begin(),
                positions_.end(),
                target,
                [this]( index_t a, const std::tuple< uuid, bool, index_t >& b )
                { return key( a ) < b; } );
            for( ; position != positions_.end() &&
                   sorted_.surfaces[*position] == sided;
                 position++ )
            {
                visit( sorted_.surfaces[sorted_.next( *position )] );
            }
        }

      private:
        std::tuple< uuid, bool, index_t > key( index_t position ) const
        {
            const auto& sided = sorted_.surfaces[position];
            return std::make_tuple( sided.id, sided.side, position );
        }

        SortedSurfaces sorted_;
        std::vector< index_t > positions_;
    };

    // Where a block's ray crosses a surface: the side facing the ray's
    // origin, and the surface's rank in model order.
    struct RayCrossing
    {
        double distance;
        index_t surface;
        bool side;
    };

    // What the size of a block needs of one surface: its bounding box and
    // the area of each polygon, on scaled points, measured once in parallel.
    struct SurfaceMeasures
    {
        SurfaceMeasures( const SurfaceMesh< 3 >& mesh, double scale )
            : areas( mesh.nb_polygons() )
        {
            for( const auto& point : mesh.points() )
            {
                box.add_point( scaled( point, scale ) );
            }
            detail::parallel_for(
                0,
                mesh.nb_polygons(),
                CHUNK_POLYGONS,
                [&]( index_t polygon )
                {
                    areas[polygon] =
                        scale == 1 ? mesh.polygon_area( polygon )
                                   : scaled_area_vector( mesh, polygon, scale )
                                             .length() /
                                         2.;
                } );
        }

        BoundingBox< 3 > box;
        std::vector< double > areas;
    };

    // Area of surface meshes times the diagonal of their bounding box: the
    // scale against which a volume counts as zero. The areas are summed one
    // polygon after the other, surfaces in the order given.
    class SizeMeter
    {
      public:
        void add( const SurfaceMeasures& measures )
        {
            box_.add_box( measures.box );
            for( const auto area : measures.areas )
            {
                area_ += area;
            }
        }

        double size() const
        {
            double squared{ 0.0 };
            for( const index_t axis : { 0u, 1u, 2u } )
            {
                const auto extent =
                    box_.max().value( axis ) - box_.min().value( axis );
                squared += extent * extent;
            }
            return area_ * std::sqrt( squared );
        }

      private:
        BoundingBox< 3 > box_;
        double area_{ 0.0 };
    };

    // Signed volume of the fan tetrahedra of a surface mesh's polygons
    // against a reference point, on scaled points, summed one tetrahedron
    // after the other: the tetrahedra are measured in parallel, then summed
    // in order.
    double surface_volume( const SurfaceMesh< 3 >& mesh,
                           const Point< 3 >& reference,
                           double scale )
    {
        const auto offsets = mesh.polygon_offsets();
        const auto vertices = mesh.polygon_slot_vertices();
        const auto points = mesh.points();
        const auto nb_polygons = mesh.nb_polygons();
        // Polygon p's fan starts at offsets[p] - 2 p.
        std::vector< double > volumes( offsets.back() - 2 * nb_polygons );
        // at(point) is the point as measured.
        const auto measure = [&]( const auto& at )
        {
            const Point< 3 > apex_of_all = at( reference );
            detail::parallel_for(
                0,
                nb_polygons,
                CHUNK_POLYGONS,
                [&]( index_t polygon )
                {
                    const auto begin = offsets[polygon];
                    const auto nb_vertices = offsets[polygon + 1] - begin;
                    const auto& apex = at( points[vertices[begin]] );
                    auto* fan = volumes.data() + begin - 2 * polygon;
                    for( index_t k = 1; k + 1 < nb_vertices; k++ )
                    {
                        fan[k - 1] = tetrahedron_signed_volume(
                            Tetrahedron{ apex,
                                         at( points[vertices[begin + k]] ),
                                         at( points[vertices[begin + k + 1]] ),
                                         apex_of_all } );
                    }
                } );
        };
        if( scale == 1 )
        {
            measure( []( const Point< 3 >& point ) -> const Point< 3 >&
                     { return point; } );
        }
        else
        {
            measure( [scale]( const Point< 3 >& point )
                     { return scaled( point, scale ); } );
        }
        double volume{ 0.0 };
        for( const auto tetrahedron : volumes )
        {
            volume += tetrahedron;
        }
        return volume;
    }

    // Gives blocks to a BRep from the two sides of its surfaces: sides
    // facing one region are flooded together across lines, the unbounded
    // regions (negative volume) are dropped, and shells nested in a region
    // are handed to it by casting a ray.
    class BRepBlocksBuilder
    {
      public:
        // \throw CorvaneException when a point of the model has a
        // non-finite coordinate, before anything changes.
        explicit BRepBlocksBuilder( BRep& brep )
            : brep_( brep ), builder_( brep ),
              scale_( checked_model_scale( brep ) )
        {
        }

        void build_blocks()
        {
            initialize();
            create_blocks();
            if( brep_.nb_blocks() == 1 )
            {
                const auto& block = *brep_.blocks().begin();
                builder_.remove_block( block );
                Logger::log_info(
                    "[BRepBlocksBuilder::build_blocks] No Block were built" );
                return;
            }
            const auto removed = remove_negative_volume_blocks();
            const auto outer = attach_shells_to_enclosing_blocks( removed );
            add_surface_block_relationships( removed, outer );
            remove_blocks_without_boundaries();
            remove_zero_volume_blocks();
            add_free_lines_in_blocks();
            add_free_corners_in_blocks();
        }

      private:
        void initialize()
        {
            surface_blocks_.reserve( brep_.nb_surfaces() );
            for( const auto& surface : brep_.surfaces() )
            {
                surface_blocks_.emplace(
                    surface.id(),
                    std::array< uuid, 2 >{ UNSET_UUID, UNSET_UUID } );
            }
            // Surface ranks made once, for every line with coincident
            // wings.
            absl::optional< SurfaceRanks > ranks;
            for( const auto& line : brep_.lines() )
            {
                line_sorted_surfaces_.emplace(
                    line.id(),
                    LineSides{ surface_radial_sort( brep_, line, ranks ) } );
            }
        }

        void create_blocks()
        {
            for( const auto& surface : brep_.surfaces() )
            {
                for( const bool side : { false, true } )
                {
                    // Looked up afresh: the flood from side 0 may have
                    // reached side 1.
                    if( surface_blocks_.at(
                            surface.id() )[side_index( side )] != UNSET_UUID )
                    {
                        continue;
                    }
                    const uuid block = builder_.add_block();
                    propagate_block( SidedSurface{ surface.id(), side },
                                     block );
                }
            }
        }

        void propagate_block( const SidedSurface& start, const uuid& block )
        {
            std::deque< SidedSurface > stack;
            stack.push_back( start );
            while( !stack.empty() )
            {
                const auto sided = stack.back();
                stack.pop_back();
                auto& sides = surface_blocks_.at( sided.id );
                auto& side_block = sides[side_index( sided.side )];
                if( side_block != UNSET_UUID )
                {
                    continue;
                }
                side_block = block;
                block_sided_surfaces_[block].push_back( sided );
                const auto& surface = brep_.surface( sided.id );
                const auto visit_line = [&]( const Line< 3 >& line )
                {
                    line_sorted_surfaces_.at( line.id() )
                        .for_each_facing(
                            sided,
                            [&]( const SidedSurface& next )
                            {
                                if( surface_blocks_.at(
                                        next.id )[side_index( next.side )] ==
                                    UNSET_UUID )
                                {
                                    stack.push_back( next );
                                }
                            } );
                };
                for( const auto& line : brep_.boundaries( surface ) )
                {
                    visit_line( line );
                }
                for( const auto& line : brep_.internal_lines( surface ) )
                {
                    visit_line( line );
                }
            }
        }

        double block_signed_volume( const uuid& block )
        {
            const auto& sided_surfaces = block_sided_surfaces_.at( block );
            const auto& reference =
                brep_.surface( sided_surfaces.front().id ).mesh().point( 0 );
            double total{ 0.0 };
            for( const auto& sided : sided_surfaces )
            {
                // Most candidates share their reference point (the flood
                // from either side of the first surface): each surface is
                // measured once.
                auto volume =
                    surface_volumes_.try_emplace( { sided.id, reference }, 0 );
                if( volume.second )
                {
                    volume.first->second = surface_volume(
                        brep_.surface( sided.id ).mesh(), reference, scale_ );
                }
                total +=
                    sided.side ? -volume.first->second : volume.first->second;
            }
            return total;
        }

        std::vector< uuid > remove_negative_volume_blocks()
        {
            std::vector< uuid > removed;
            for( const auto& block : brep_.blocks() )
            {
                // A thin region between coincident surfaces has a volume
                // of rounding noise, of either sign: it is not the outside
                // of anything.
                if( block_signed_volume( block.id() ) <
                    -ZERO_VOLUME_RATIO * candidate_size( block.id() ) )
                {
                    removed.push_back( block.id() );
                }
            }
            for( const auto& block : removed )
            {
                builder_.remove_block( brep_.block( block ) );
            }
            return removed;
        }

        // A removed candidate is the outside of a closed shell: its sides
        // go to the block whose side the shell's ray meets first in the
        // space around the shell, or nowhere. Every ray is cast before any
        // side moves, so the result does not hang on the order of the
        // removed list.
        std::vector< uuid >
        attach_shells_to_enclosing_blocks( absl::Span< const uuid > removed )
        {
            if( removed.size() == 1 )
            {
                return { removed.front() };
            }
            std::vector< uuid > outer;
            if( removed.empty() )
            {
                return outer;
            }
            outer.reserve( removed.size() );
            const absl::flat_hash_set< uuid > removed_set{ removed.begin(),
                                                           removed.end() };
            const auto trees = create_aabb_trees();
            std::vector< absl::optional< uuid > > enclosing;
            enclosing.reserve( removed.size() );
            for( const auto& block : removed )
            {
                const auto hit = cast_ray( trees, removed_set, block );
                if( hit )
                {
                    enclosing.push_back( surface_blocks_.at(
                        hit->id )[side_index( hit->side )] );
                }
                else
                {
                    enclosing.push_back( absl::nullopt );
                }
            }
            for( size_t r = 0; r < removed.size(); r++ )
            {
                if( !enclosing[r] )
                {
                    outer.push_back( removed[r] );
                    continue;
                }
                for( const auto& sided :
                     block_sided_surfaces_.at( removed[r] ) )
                {
                    surface_blocks_.at( sided.id )[side_index( sided.side )] =
                        enclosing[r].value();
                }
            }
            return outer;
        }

        SurfaceTrees create_aabb_trees() const
        {
            SurfaceTrees trees;
            trees.trees.reserve( brep_.nb_surfaces() );
            for( const auto& surface : brep_.surfaces() )
            {
                trees.trees.emplace( surface.id(),
                                     create_aabb_tree( surface.mesh() ) );
            }
            std::vector< BoundingBox< 3 > > boxes;
            // Creation order: hits at equal distance go to the later
            // surface, the same on every run.
            for( const auto& surface : brep_.surfaces() )
            {
                const auto& tree = trees.trees.at( surface.id() );
                if( tree.nb_bboxes() != 0 )
                {
                    trees.ordered.push_back( surface.id() );
                    boxes.push_back( tree.bounding_box() );
                }
            }
            trees.surfaces = AABBTree< 3 >{ boxes };
            if( trees.surfaces.nb_bboxes() != 0 )
            {
                const auto& box = trees.surfaces.bounding_box();
                trees.zero_distance = ZERO_DISTANCE_RATIO *
                                      Vector3D{ box.min(), box.max() }.length();
            }
            return trees;
        }

        Ray< 3 > get_ray( const uuid& block ) const
        {
            absl::optional< SidedSurface > largest;
            index_t largest_polygon{ 0 };
            double largest_area{ 0.0 };
            for( const auto& sided : block_sided_surfaces_.at( block ) )
            {
                const auto& mesh = brep_.surface( sided.id ).mesh();
                for( index_t polygon = 0; polygon < mesh.nb_polygons();
                     polygon++ )
                {
                    const auto area = mesh.polygon_area( polygon );
                    if( area >= MIN_POLYGON_AREA )
                    {
                        return ray_from( sided, polygon );
                    }
                    if( area > largest_area && normal_of( mesh, polygon ) )
                    {
                        largest = sided;
                        largest_polygon = polygon;
                        largest_area = area;
                    }
                }
            }
            if( largest )
            {
                return ray_from( largest.value(), largest_polygon );
            }
            throw CorvaneException( "[BRepBlocksBuilder::get_ray] Unable to "
                                    "find a non degenerated ray" );
        }

        // The polygon's unit normal; none for a degenerate polygon. Within
        // the coordinate bound, no area vector overflows.
        absl::optional< Vector3D > normal_of( const SurfaceMesh< 3 >& mesh,
                                              index_t polygon ) const
        {
            return mesh.new_polygon_normal( polygon );
        }

        // From the polygon's barycenter into the region the side faces.
        Ray< 3 > ray_from( const SidedSurface& sided, index_t polygon ) const
        {
            const auto& mesh = brep_.surface( sided.id ).mesh();
            const auto origin = mesh.polygon_barycenter( polygon );
            auto direction = normal_of( mesh, polygon ).value();
            if( sided.side )
            {
                for( const index_t axis : { 0u, 1u, 2u } )
                {
                    direction.set_value( axis, direction.value( axis ) * -1.0 );
                }
            }
            return Ray< 3 >{ direction, origin };
        }

        // The first side that the ray from the block's shell meets in the
        // space around that shell, if it belongs to a kept block. The space
        // around a shell is bounded by its enclosing block only: the shell
        // itself (seen again across a notch of a concave shell) and the
        // other shells in the same space are outsides of removed candidates,
        // which the ray goes through, with whatever lies inside them.
        absl::optional< SidedSurface >
        cast_ray( const SurfaceTrees& trees,
                  const absl::flat_hash_set< uuid >& removed,
                  const uuid& block ) const
        {
            const auto crossings = ray_crossings( trees, block );
            // Shells the ray is in, counted from the space around the block's
            // shell.
            index_t depth{ 0 };
            for( size_t begin = 0; begin < crossings.size(); )
            {
                // Crossings this close are one point (an edge or a vertex
                // between polygons): they move the ray in or out of a shell
                // once, and the later surface decides among equals.
                auto end = begin;
                int moves{ 0 };
                absl::optional< RayCrossing > side_met;
                while( end < crossings.size() &&
                       crossings[end].distance - crossings[begin].distance <=
                           trees.zero_distance )
                {
                    const auto& crossing = crossings[end++];
                    const auto& sides =
                        surface_blocks_.at( trees.ordered[crossing.surface] );
                    const auto& facing = sides[side_index( crossing.side )];
                    const auto& beyond = sides[side_index( !crossing.side )];
                    if( facing == beyond )
                    {
                        // No region ends there.
                        continue;
                    }
                    const bool into_shell = removed.contains( facing );
                    const bool out_of_shell = removed.contains( beyond );
                    if( into_shell != out_of_shell )
                    {
                        moves += into_shell ? 1 : -1;
                    }
                    if( !into_shell &&
                        ( !side_met || side_met->surface < crossing.surface ) )
                    {
                        side_met = crossing;
                    }
                }
                if( depth == 0 && side_met )
                {
                    return SidedSurface{ trees.ordered[side_met->surface],
                                         side_met->side };
                }
                if( moves > 0 )
                {
                    depth++;
                }
                else if( moves < 0 && depth > 0 )
                {
                    depth--;
                }
                begin = end;
            }
            return absl::nullopt;
        }

        // Every crossing of the block's ray with a polygon that has a
        // normal, by distance, then surface in model order, then polygon.
        std::vector< RayCrossing > ray_crossings( const SurfaceTrees& trees,
                                                  const uuid& block ) const
        {
            const auto ray = get_ray( block );
            std::vector< RayCrossing > crossings;
            // A surface whose box the ray misses has no crossing: only the
            // others are looked at.
            std::vector< index_t > met;
            if( trees.surfaces.nb_bboxes() != 0 )
            {
                const auto collect = [&met]( index_t surface )
                { met.push_back( surface ); };
                detail::ray_intersect_recursive( trees.surfaces.impl(),
                                                 ray,
                                                 1,
                                                 0,
                                                 trees.surfaces.nb_bboxes(),
                                                 collect );
            }
            std::sort( met.begin(), met.end() );
            const auto& direction = ray.direction();
            for( const auto position : met )
            {
                const auto& surface_id = trees.ordered[position];
                const auto& tree = trees.trees.at( surface_id );
                const auto& mesh = brep_.surface( surface_id ).mesh();
                RayTracing3D tracer{ mesh, ray };
                detail::ray_intersect_recursive(
                    tree.impl(), ray, 1, 0, tree.nb_bboxes(), tracer );
                for( const auto& crossing : tracer.all_intersections() )
                {
                    // The polygon the ray starts from, or a coincident copy:
                    // no side faces the origin.
                    if( crossing.distance <= trees.zero_distance ||
                        crossing.position == Position::parallel )
                    {
                        continue;
                    }
                    // Small polygons count (millimetre shells): only one
                    // without a normal tells no side.
                    const auto normal = normal_of( mesh, crossing.polygon );
                    if( !normal )
                    {
                        continue;
                    }
                    double dot{ 0.0 };
                    for( const index_t axis : { 0u, 1u, 2u } )
                    {
                        dot += normal->value( axis ) * direction.value( axis );
                    }
                    crossings.push_back(
                        { crossing.distance, position, dot > 0.0 } );
                }
            }
            std::stable_sort( crossings.begin(),
                              crossings.end(),
                              []( const RayCrossing& a, const RayCrossing& b )
                              { return a.distance < b.distance; } );
            return crossings;
        }

        bool is_point_in_block( const Point< 3 >& point,
                                const Block< 3 >& block ) const
        {
            for( const index_t axis : { 0u, 1u, 2u } )
            {
                std::array< double, 3 > values{ 0.0, 0.0, 0.0 };
                values[axis] = 1.0;
                const InfiniteLine< 3 > line{ Vector< 3 >{ values }, point };
                const auto crossings =
                    find_intersections_with_boundaries( line, brep_, block );
                if( crossings.empty() )
                {
                    return false;
                }
                bool usable{ true };
                absl::flat_hash_set< Point< 3 > > distinct_points;
                for( const auto& surface_crossings : crossings )
                {
                    for( const auto& crossing : surface_crossings.second )
                    {
                        if( crossing.distance < 0.0 )
                        {
                            continue;
                        }
                        if( crossing.position == Position::parallel )
                        {
                            usable = false;
                        }
                        distinct_points.insert( crossing.point );
                    }
                }
                if( usable )
                {
                    return distinct_points.size() % 2 == 1;
                }
            }
            return false;
        }

        void add_surface_block_relationships( absl::Span< const uuid > removed,
                                              absl::Span< const uuid > outer )
        {
            const absl::flat_hash_set< uuid > removed_set{ removed.begin(),
                                                           removed.end() };
            const absl::flat_hash_set< uuid > outer_set{ outer.begin(),
                                                         outer.end() };
            for( const auto& surface : brep_.surfaces() )
            {
                const auto& sides = surface_blocks_.at( surface.id() );
                if( sides[0] == sides[1] )
                {
                    if( !removed_set.contains( sides[0] ) )
                    {
                        builder_.add_surface_block_internal_relationship(
                            surface, brep_.block( sides[0] ) );
                    }
                    continue;
                }
                for( const auto& block : sides )
                {
                    if( !removed_set.contains( block ) &&
                        !outer_set.contains( block ) )
                    {
                        builder_.add_surface_block_boundary_relationship(
                            surface, brep_.block( block ) );
                    }
                }
            }
        }

        void remove_blocks_without_boundaries()
        {
            std::vector< uuid > empty_blocks;
            for( const auto& block : brep_.blocks() )
            {
                if( brep_.nb_boundaries( block.id() ) == 0 )
                {
                    empty_blocks.push_back( block.id() );
                }
            }
            for( const auto& block : empty_blocks )
            {
                builder_.remove_block( brep_.block( block ) );
            }
        }

        // A bounded candidate of no volume is no block: between two
        // coincident surfaces, or bounded by surfaces collapsed to zero
        // area. Candidates of volume exactly 0.0 are kept until now so that
        // an open surface floating inside a shell lands in one of them and
        // leaves with it; those are gone already (no boundary).
        void remove_zero_volume_blocks()
        {
            std::vector< uuid > flat_blocks;
            for( const auto& block : brep_.blocks() )
            {
                const auto volume = block_signed_volume( block.id() );
                // Measured against area times extent, not the extent cubed,
                // so that a long slender block is not taken for a flat one.
                // A non-finite size leaves nothing to compare with: removed.
                if( volume > 0.0 &&
                    volume > ZERO_VOLUME_RATIO * boundary_size( block ) )
                {
                    continue;
                }
                flat_blocks.push_back( block.id() );
            }
            for( const auto& block : flat_blocks )
            {
                builder_.remove_block( brep_.block( block ) );
                Logger::log_warn( "[BRepBlocksBuilder::build_blocks] Removed "
                                  "a block of zero volume" );
            }
        }

        // Area of the block's boundary surfaces times the diagonal of their
        // bounding box.
        double boundary_size( const Block< 3 >& block )
        {
            SizeMeter meter;
            for( const auto& surface : brep_.boundaries( block ) )
            {
                meter.add( measures( surface.id() ) );
            }
            return meter.size();
        }

        // The same over the sided surfaces a candidate was flooded from.
        double candidate_size( const uuid& block )
        {
            SizeMeter meter;
            for( const auto& sided : block_sided_surfaces_.at( block ) )
            {
                meter.add( measures( sided.id ) );
            }
            return meter.size();
        }

        const SurfaceMeasures& measures( const uuid& surface )
        {
            auto found = surface_measures_.find( surface );
            if( found == surface_measures_.end() )
            {
                found = surface_measures_
                            .emplace(
                                surface,
                                SurfaceMeasures{
                                    brep_.surface( surface ).mesh(), scale_ } )
                            .first;
            }
            return found->second;
        }

        // The first block (in model order) holding the point, if any.
        const Block< 3 >* find_enclosing_block( const Point< 3 >& point ) const
        {
            for( const auto& block : brep_.blocks() )
            {
                if( is_point_in_block( point, block ) )
                {
                    return &block;
                }
            }
            return nullptr;
        }

        bool is_free( const uuid& component ) const
        {
            return brep_.nb_incidences( component ) == 0 &&
                   brep_.nb_embeddings( component ) == 0;
        }

        void add_free_lines_in_blocks()
        {
            for( const auto& line : brep_.lines() )
            {
                // A line without edge has no point to place it by.
                if( !is_free( line.id() ) || line.mesh().nb_edges() == 0 )
                {
                    continue;
                }
                if( const auto* block = find_enclosing_block(
                        line.mesh().edge_barycenter( 0 ) ) )
                {
                    builder_.add_line_block_internal_relationship( line,
                                                                   *block );
                }
            }
        }

        void add_free_corners_in_blocks()
        {
            for( const auto& corner : brep_.corners() )
            {
                if( !is_free( corner.id() ) ||
                    corner.mesh().nb_vertices() == 0 )
                {
                    continue;
                }
                if( const auto* block =
                        find_enclosing_block( corner.mesh().point( 0 ) ) )
                {
                    builder_.add_corner_block_internal_relationship( corner,
                                                                     *block );
                }
            }
        }

      private:
        BRep& brep_;
        BRepBuilder builder_;
        absl::flat_hash_map< uuid, std::array< uuid, 2 > > surface_blocks_;
        absl::flat_hash_map< uuid, std::vector< SidedSurface > >
            block_sided_surfaces_;
        absl::flat_hash_map< uuid, LineSides > line_sorted_surfaces_;
        absl::flat_hash_map< std::pair< uuid, Point< 3 > >, double >
            surface_volumes_;
        absl::flat_hash_map< uuid, SurfaceMeasures > surface_measures_;
        // Volumes and sizes are measured on points scaled by this.
        double scale_;
    };
} // namespace

namespace vorna
{
    void build_blocks( BRep& brep )
    {
        if( brep.nb_surfaces() == 0 || brep.nb_blocks() != 0 )
        {
            Logger::log_warn( "[build_blocks] Cannot build BRep blocks without "
                              "surface or with existing blocks" );
            return;
        }
        Logger::log_trace( "Building BRep Blocks" );
        BRepBlocksBuilder builder{ brep };
        builder.build_blocks();
    }
} // namespace vorna
