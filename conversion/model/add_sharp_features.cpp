#include <vorna/conversion/model/add_sharp_features.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include <absl/types/optional.h>

#include <conversion/common/tasks.h>
#include <conversion/model/add_sharp_features_probe.h>
#include <vorna/basic/attribute_base.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
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
                const auto dot = other->value( 0 ) * normal->value( 0 ) +
                                 other->value( 1 ) * normal->value( 1 ) +
                                 other->value( 2 ) * normal->value( 2 );
                // A NaN dot is never sharp.
                if( !( dot <= threshold ) )
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

    void cut_surfaces_along_sharp_edges(
        BRep& copy, double angle, const detail::SharpFeaturesProbe& probe )
    {
        const auto threshold =
            std::cos( ( 180.0 - angle ) * 3.141592653589793 / 180.0 );
        for( const auto& surface : copy.surfaces() )
        {
            cut_surface_along_sharp_edges(
                copy.modifiable_surface( surface.id() ).get_modifiable_mesh(),
                threshold,
                probe );
        }
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

    /// Maps each input corner to the result corner at the unique vertex of
    /// the first line or surface vertex sharing the corner's.
    void add_corner_mappings(
        const BRep& input,
        const BRep& result,
        GenericMapping< MeshVertex, ComponentMeshVertex >& vertex_mapping )
    {
        const auto corner_type = Corner< 3 >::component_type_static();
        const auto block_type = Block< 3 >::component_type_static();
        for( const auto& corner : input.corners() )
        {
            const auto unique_vertex =
                input.unique_vertex( { corner.component_id(), 0 } );
            if( unique_vertex == INVALID_INDEX )
            {
                continue;
            }
            const auto& shared = input.component_mesh_vertices( unique_vertex );
            const auto mesh_vertex = std::find_if(
                shared.begin(),
                shared.end(),
                [&]( const ComponentMeshVertex& vertex )
                {
                    const auto& type = vertex.component_id.type();
                    return type != corner_type && type != block_type;
                } );
            if( mesh_vertex == shared.end() )
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
} // namespace

namespace vorna
{
    namespace detail
    {
        BRepConversionResult add_sharp_features(
            const BRep& brep, double angle, const SharpFeaturesProbe& probe )
        {
            BRep copy;
            BRepBuilder builder{ copy };
            const auto copy_mapping = builder.copy( brep );
            end_stage( probe, "copy" );
            cut_surfaces_along_sharp_edges( copy, angle, probe );
            const auto surfaces = collect_surface_meshes( copy, copy_mapping );
            const auto lines =
                collect_line_meshes( copy, builder, copy_mapping );
            end_stage( probe, "collect" );
            auto result =
                convert_curves_and_surfaces_into_brep( lines, surfaces );
            end_stage( probe, "conversion" );
            add_corner_mappings(
                brep, std::get< 0 >( result ), std::get< 1 >( result ) );
            end_stage( probe, "corner_mappings" );
            return result;
        }
    } // namespace detail

    BRepConversionResult add_sharp_features( const BRep& brep, double angle )
    {
        return detail::add_sharp_features(
            brep, angle, detail::SharpFeaturesProbe{} );
    }
} // namespace vorna
