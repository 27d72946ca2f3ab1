#include <vorna/conversion/model/add_sharp_features.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/optional.h>

#include <conversion/common/input_checks.h>
#include <conversion/common/tasks.h>
#include <conversion/model/add_sharp_features_probe.h>
#include <vorna/basic/attribute_base.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/model/brep_from_meshes_builder.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>

namespace
{
    using namespace vorna;

    using Normal = absl::optional< Vector< 3 > >;
    using Normals = VariableAttribute< Normal >;

    constexpr const char* normals_attribute_name = "vorna_polygon_normal";
    constexpr index_t largest_grain = 2048;

    void end_stage( const detail::SharpFeaturesProbe& probe,
                    absl::string_view stage )
    {
        if( probe.on_stage_end )
        {
            probe.on_stage_end( stage );
        }
    }

    // The rebuild would refuse them too, but naming its own copies of the
    // model's meshes.
    void refuse_far_points( const BRep& brep )
    {
        const auto refuse = []( const auto& mesh )
        {
            detail::FarthestCoordinate farthest;
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                farthest.add( v, mesh.point( v ) );
            }
            farthest.refuse_beyond_bound( mesh, "add_sharp_features" );
        };
        for( const auto& surface : brep.surfaces() )
        {
            refuse( surface.mesh() );
        }
        for( const auto& line : brep.lines() )
        {
            refuse( line.mesh() );
        }
        for( const auto& corner : brep.corners() )
        {
            refuse( corner.mesh() );
        }
    }

    // About eight chunks per thread, at most 2048 polygons each.
    index_t chunk_grain( index_t nb_polygons )
    {
        const auto grain = nb_polygons / ( 8 * detail::hardware_concurrency() );
        return std::min( std::max( grain, index_t{ 1 } ), largest_grain );
    }

    void compute_polygon_normals_in_parallel( const SurfaceMesh< 3 >& mesh,
                                              Normals& normals )
    {
        const auto nb_polygons = mesh.nb_polygons();
        detail::parallel_for( 0,
                              nb_polygons,
                              chunk_grain( nb_polygons ),
                              [&mesh, &normals]( index_t polygon ) {
                                  normals.set_value(
                                      polygon,
                                      mesh.new_polygon_normal( polygon ) );
                              } );
    }

    std::shared_ptr< Normals >
    compute_polygon_normals( const SurfaceMesh< 3 >& mesh,
                             absl::string_view attribute_name )
    {
        auto normals =
            mesh.polygon_attribute_manager()
                .find_or_create_attribute< VariableAttribute, Normal >(
                    attribute_name,
                    absl::nullopt,
                    AttributeFlags{ true, false } );
        compute_polygon_normals_in_parallel( mesh, *normals );
        return normals;
    }

    /// The largest dot of two unit normals across a sharp edge. Such a
    /// dot rounds by a few epsilon: past 1 for parallel normals, either
    /// side of -1 for opposite ones. A threshold within 8 epsilon of an end
    /// is taken as that end with its rounding, so that 180 cuts every edge
    /// and 0 every flat fold however the model is turned; angles within
    /// about 3.4e-6 degrees of 0 or 180 count as 0 or 180.
    double sharp_threshold( double angle )
    {
        constexpr auto tolerance = 8 * std::numeric_limits< double >::epsilon();
        const auto threshold =
            std::cos( ( 180.0 - angle ) * 3.141592653589793 / 180.0 );
        if( threshold >= 1 - tolerance )
        {
            return std::numeric_limits< double >::infinity();
        }
        return std::max( threshold, -1 + tolerance );
    }

    /// The rule for an edge between polygons of these normals; a NaN dot
    /// is never sharp.
    bool is_sharp( const Vector< 3 >& normal,
                   const Vector< 3 >& other,
                   double threshold )
    {
        const auto dot = other.value( 0 ) * normal.value( 0 ) +
                         other.value( 1 ) * normal.value( 1 ) +
                         other.value( 2 ) * normal.value( 2 );
        return dot <= threshold;
    }

    /// Both sides of every sharp edge whose lower polygon lies in [begin,
    /// end): first the lower polygon's side, then its neighbour's.
    std::vector< PolygonEdge >
    find_sharp_edges_in_range( const SurfaceMesh< 3 >& mesh,
                               const Normals& normals,
                               double threshold,
                               index_t begin,
                               index_t end )
    {
        std::vector< PolygonEdge > sharp_edges;
        for( auto polygon = begin; polygon < end; polygon++ )
        {
            const auto& normal = normals.value( polygon );
            if( !normal )
            {
                continue;
            }
            const auto nb_edges = mesh.nb_polygon_edges( polygon );
            for( local_index_t edge = 0; edge < nb_edges; edge++ )
            {
                const PolygonEdge side{ polygon, edge };
                // The cheap look-up first: the neighbour's edge is needed
                // only for the few sharp edges.
                const auto adjacent = mesh.polygon_adjacent( side );
                if( !adjacent || polygon > adjacent.value() )
                {
                    continue;
                }
                const auto& other = normals.value( adjacent.value() );
                if( !other )
                {
                    continue;
                }
                if( !is_sharp( *normal, *other, threshold ) )
                {
                    continue;
                }
                const auto other_side = mesh.polygon_adjacent_edge( side );
                if( !other_side )
                {
                    continue;
                }
                sharp_edges.push_back( side );
                sharp_edges.push_back( other_side.value() );
            }
        }
        return sharp_edges;
    }

    void unset_sharp_adjacencies( SurfaceMeshBuilder< 3 >& builder,
                                  const std::vector< PolygonEdge >& sharp_edges,
                                  const detail::SharpFeaturesProbe& probe )
    {
        for( const auto& side : sharp_edges )
        {
            if( probe.on_unset )
            {
                probe.on_unset( side );
            }
            builder.unset_polygon_adjacent( side );
        }
    }

    /// Detection runs in chunk tasks that only read; their lists are
    /// applied on the calling thread once all have ended, so that a failing
    /// task or unsetting reaches the caller instead of leaving some sharp
    /// edges silently joined.
    void
    cut_surface_along_sharp_edges( SurfaceMesh< 3 >& mesh,
                                   double threshold,
                                   const detail::SharpFeaturesProbe& probe )
    {
        auto& manager = mesh.polygon_attribute_manager();
        // An attribute of the caller's under our name is set aside and put
        // back, so that it reaches the new model.
        const auto callers_attribute =
            manager.find_attribute_base( normals_attribute_name );
        manager.delete_attribute( normals_attribute_name );
        const auto normals =
            compute_polygon_normals( mesh, normals_attribute_name );
        end_stage( probe, "normals" );

        const auto builder = create_surface_mesh_builder( mesh );
        const auto nb_polygons = mesh.nb_polygons();
        const auto grain = chunk_grain( nb_polygons );
        const auto nb_full_chunks = nb_polygons / grain;
        // The last task takes the remainder, empty when grain divides n.
        detail::run_group_and_apply(
            nb_full_chunks + 1,
            [&]( index_t chunk )
            {
                if( probe.on_detection_chunk )
                {
                    probe.on_detection_chunk( chunk );
                }
                const auto begin = chunk * grain;
                const auto end =
                    chunk == nb_full_chunks ? nb_polygons : begin + grain;
                return find_sharp_edges_in_range(
                    mesh, *normals, threshold, begin, end );
            },
            [&]( index_t chunk, std::vector< PolygonEdge > sharp_edges )
            {
                if( chunk == 0 )
                {
                    end_stage( probe, "detection" );
                }
                unset_sharp_adjacencies( *builder, sharp_edges, probe );
            } );
        end_stage( probe, "unsetting" );

        manager.delete_attribute( normals_attribute_name );
        if( callers_attribute )
        {
            manager.register_attribute( callers_attribute,
                                        normals_attribute_name );
        }
    }

    std::array< index_t, 2 > sorted_pair( index_t first, index_t second )
    {
        return first <= second ? std::array< index_t, 2 >{ first, second }
                               : std::array< index_t, 2 >{ second, first };
    }

    /// The model's own cut along its lines inside a surface is mended where
    /// no sharp edge runs, so that such a line stays inside its surface:
    /// the two border edges of the surface along each edge of the line are
    /// joined again, when they run opposite ways (joining keeps every
    /// polygon's orientation).
    void join_across_internal_lines( const BRep& input,
                                     const Surface< 3 >& surface,
                                     SurfaceMesh< 3 >& mesh,
                                     double threshold )
    {
        absl::flat_hash_set< std::array< index_t, 2 > > line_edges;
        for( const auto& line : input.internal_lines( surface ) )
        {
            const auto& line_mesh = line.mesh();
            for( index_t e = 0; e < line_mesh.nb_edges(); e++ )
            {
                const auto& ends = line_mesh.edge_vertices( e );
                const auto first =
                    input.unique_vertex( { line.component_id(), ends[0] } );
                const auto second =
                    input.unique_vertex( { line.component_id(), ends[1] } );
                if( first != INVALID_INDEX && second != INVALID_INDEX )
                {
                    line_edges.insert( sorted_pair( first, second ) );
                }
            }
        }
        if( line_edges.empty() )
        {
            return;
        }
        // The border edges along each line edge, each with the unique
        // vertex it starts from.
        using Side = std::pair< PolygonEdge, index_t >;
        absl::flat_hash_map< std::array< index_t, 2 >,
                             absl::InlinedVector< Side, 2 > >
            sides;
        const auto unique_vertex = [&]( index_t vertex ) {
            return input.unique_vertex( { surface.component_id(), vertex } );
        };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
            {
                if( mesh.polygon_adjacent( { p, e } ) )
                {
                    continue;
                }
                const auto ends = mesh.polygon_edge_vertices( { p, e } );
                const auto from = unique_vertex( ends[0] );
                const auto key = sorted_pair( from, unique_vertex( ends[1] ) );
                if( line_edges.contains( key ) )
                {
                    sides[key].emplace_back( PolygonEdge{ p, e }, from );
                }
            }
        }
        const auto builder = create_surface_mesh_builder( mesh );
        for( const auto& along : sides )
        {
            const auto& pair = along.second;
            if( pair.size() != 2 ||
                pair[0].first.polygon_id == pair[1].first.polygon_id ||
                pair[0].second == pair[1].second )
            {
                continue;
            }
            const auto p = pair[0].first.polygon_id;
            const auto q = pair[1].first.polygon_id;
            const auto normal = mesh.new_polygon_normal( p );
            const auto other = mesh.new_polygon_normal( q );
            if( normal && other && is_sharp( *normal, *other, threshold ) )
            {
                continue;
            }
            builder->set_polygon_adjacent( pair[0].first, q );
            builder->set_polygon_adjacent( pair[1].first, p );
        }
    }

    /// The model's surfaces may repeat a vertex in a row where the
    /// conversion that made them merged close points; the rebuild refuses
    /// such polygons. Each repeat takes a new vertex at the same point and
    /// with the same attribute values, which the rebuild merges back.
    /// Returns the new vertices.
    std::vector< index_t > part_repeated_vertices( SurfaceMesh< 3 >& mesh )
    {
        std::vector< index_t > added;
        std::unique_ptr< SurfaceMeshBuilder< 3 > > builder;
        const auto nb_polygons = mesh.nb_polygons();
        index_t from{ 0 };
        // The search starts again at the polygon parted, which may repeat
        // another vertex further on; its closing edge no longer does.
        while( const auto edge =
                   mesh.find_repeated_vertex( from, nb_polygons ) )
        {
            from = edge->polygon_id;
            const auto nb_vertices = mesh.nb_polygon_vertices( from );
            const PolygonVertex repeat{
                from,
                static_cast< local_index_t >( edge->edge_id + 1 == nb_vertices
                                                  ? 0
                                                  : edge->edge_id + 1 ) };
            if( !builder )
            {
                builder = create_surface_mesh_builder( mesh );
            }
            // Copied first: creating a point may move the others.
            const auto vertex = mesh.polygon_vertex( repeat );
            const auto point = mesh.point( vertex );
            const auto copy = builder->create_point( point );
            mesh.vertex_attribute_manager().copy_attribute_value( vertex,
                                                                  copy );
            builder->set_polygon_vertex( repeat, copy );
            added.push_back( copy );
        }
        return added;
    }

    /// Vertices added to the copy of each input surface, by its id.
    using AddedVertices =
        std::vector< std::pair< uuid, std::vector< index_t > > >;

    /// Cuts every surface of the copy along its sharp edges, joins it again
    /// across its internal lines where they are not sharp, and parts its
    /// repeated vertices.
    AddedVertices prepare_surfaces( const BRep& input,
                                    BRep& copy,
                                    const ModelMapping& copy_mapping,
                                    double angle,
                                    const detail::SharpFeaturesProbe& probe )
    {
        const auto threshold = sharp_threshold( angle );
        const auto& surface_ids =
            copy_mapping.at( Surface< 3 >::component_type_static() );
        AddedVertices added;
        for( const auto& surface : input.surfaces() )
        {
            auto& mesh =
                copy.modifiable_surface( surface_ids.in2out( surface.id() ) )
                    .get_modifiable_mesh();
            cut_surface_along_sharp_edges( mesh, threshold, probe );
            join_across_internal_lines( input, surface, mesh, threshold );
            auto parted = part_repeated_vertices( mesh );
            if( !parted.empty() )
            {
                added.emplace_back( surface.id(), std::move( parted ) );
            }
        }
        return added;
    }

    // Each copied mesh takes the uuid of the input component it was copied
    // from, so that the mappings speak of the input model.
    std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > >
    collect_surface_meshes( BRep& copy, const ModelMapping& copy_mapping )
    {
        const auto& surface_ids =
            copy_mapping.at( Surface< 3 >::component_type_static() );
        std::vector< std::reference_wrapper< const SurfaceMesh< 3 > > > meshes;
        meshes.reserve( copy.nb_surfaces() );
        for( const auto& surface : copy.surfaces() )
        {
            auto& mesh =
                copy.modifiable_surface( surface.id() ).get_modifiable_mesh();
            create_surface_mesh_builder( mesh )->set_id(
                surface_ids.out2in( surface.id() ) );
            meshes.emplace_back( mesh );
        }
        return meshes;
    }

    std::vector< std::reference_wrapper< const EdgedCurve< 3 > > >
    collect_line_meshes( const BRep& copy,
                         BRepBuilder& builder,
                         const ModelMapping& copy_mapping )
    {
        const auto& line_ids =
            copy_mapping.at( Line< 3 >::component_type_static() );
        std::vector< std::reference_wrapper< const EdgedCurve< 3 > > > meshes;
        meshes.reserve( copy.nb_lines() );
        for( const auto& line : copy.lines() )
        {
            builder.line_mesh_builder( line.id() )
                ->set_id( line_ids.out2in( line.id() ) );
            meshes.emplace_back( line.mesh() );
        }
        return meshes;
    }

    /// The first line or surface vertex at the corner's unique vertex, if
    /// any: through it the corner is found in the rebuild.
    absl::optional< ComponentMeshVertex >
    line_or_surface_vertex_at( const BRep& brep, const Corner< 3 >& corner )
    {
        const auto unique_vertex =
            brep.unique_vertex( { corner.component_id(), 0 } );
        if( unique_vertex == INVALID_INDEX )
        {
            return absl::nullopt;
        }
        const auto corner_type = Corner< 3 >::component_type_static();
        const auto block_type = Block< 3 >::component_type_static();
        for( const auto& vertex :
             brep.component_mesh_vertices( unique_vertex ) )
        {
            const auto& type = vertex.component_id.type();
            if( type != corner_type && type != block_type )
            {
                return vertex;
            }
        }
        return absl::nullopt;
    }

    /// The input vertices at which the rebuild must keep a corner: one per
    /// corner of the input on a line or a surface.
    std::vector< MeshVertex > corner_vertices( const BRep& input )
    {
        std::vector< MeshVertex > vertices;
        for( const auto& corner : input.corners() )
        {
            if( const auto vertex = line_or_surface_vertex_at( input, corner ) )
            {
                vertices.emplace_back( vertex->component_id.id(),
                                       vertex->vertex );
            }
        }
        return vertices;
    }

    /// Maps each input corner to the result corner at the unique vertex of
    /// the first line or surface vertex sharing the corner's.
    void add_corner_mappings(
        const BRep& input,
        const BRep& result,
        GenericMapping< MeshVertex, ComponentMeshVertex >& vertex_mapping )
    {
        const auto corner_type = Corner< 3 >::component_type_static();
        for( const auto& corner : input.corners() )
        {
            const auto mesh_vertex = line_or_surface_vertex_at( input, corner );
            if( !mesh_vertex )
            {
                continue;
            }
            const auto& first = vertex_mapping
                                    .in2out( { mesh_vertex->component_id.id(),
                                               mesh_vertex->vertex } )
                                    .front();
            const auto result_vertex = result.unique_vertex( first );
            const auto corners = result_vertex == INVALID_INDEX
                                     ? std::vector< ComponentMeshVertex >{}
                                     : result.component_mesh_vertices(
                                           result_vertex, corner_type );
            if( corners.size() != 1 )
            {
                throw CorvaneException( "[add_corner_mappings] Did not find "
                                        "exactly one corner for initial "
                                        "corner with uuid ",
                                        corner.id().string() );
            }
            vertex_mapping.map( { corner.id(), 0 }, corners.front() );
        }
    }

    void check_angle( double angle )
    {
        if( !( angle >= 0 && angle <= 180 ) )
        {
            throw CorvaneException( "[add_sharp_features] The angle must be "
                                    "a number of degrees from 0 to 180, got ",
                                    angle );
        }
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        BRepConversionResult add_sharp_features(
            const BRep& brep, double angle, const SharpFeaturesProbe& probe )
        {
            check_angle( angle );
            refuse_far_points( brep );
            BRep copy;
            BRepBuilder builder{ copy };
            const auto copy_mapping = builder.copy( brep );
            end_stage( probe, "copy" );
            const auto parted =
                prepare_surfaces( brep, copy, copy_mapping, angle, probe );
            const auto surfaces = collect_surface_meshes( copy, copy_mapping );
            const auto lines =
                collect_line_meshes( copy, builder, copy_mapping );
            end_stage( probe, "collect" );
            // The model's corners stay, and its surfaces stay apart even
            // where two of them hold the same polygon.
            MeshesConversionOptions options;
            options.corner_vertices = corner_vertices( brep );
            options.merge_identical_polygons = false;
            BRep model;
            auto mappings =
                BRepFromMeshesBuilder{
                    model, lines, surfaces, std::move( options ) }
                    .build_brep_with_blocks();
            end_stage( probe, "conversion" );
            // The rebuild mapped the parted vertices too, which the input
            // does not have.
            for( const auto& surface : parted )
            {
                for( const auto vertex : surface.second )
                {
                    mappings.first.erase_in( { surface.first, vertex } );
                }
            }
            add_corner_mappings( brep, model, mappings.first );
            end_stage( probe, "corner_mappings" );
            return BRepConversionResult{ std::move( model ),
                                         std::move( mappings.first ),
                                         std::move( mappings.second ) };
        }
    } // namespace detail

    BRepConversionResult add_sharp_features( const BRep& brep, double angle )
    {
        return detail::add_sharp_features(
            brep, angle, detail::SharpFeaturesProbe{} );
    }
} // namespace vorna
