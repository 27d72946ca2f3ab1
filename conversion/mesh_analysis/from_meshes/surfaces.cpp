#include <conversion/mesh_analysis/from_meshes/surfaces.h>

#include <conversion/mesh_analysis/from_meshes/attribute_import.h>

#include <algorithm>
#include <numeric>
#include <string>

#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/repair_polygon_orientations.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;

    std::unique_ptr< SurfaceMeshBuilder< 3 > >
    surface_mesh_builder( BRep& model, const uuid& surface )
    {
        return brep_surface_mesh_builder( model, surface );
    }

    std::unique_ptr< SurfaceMeshBuilder< 2 > >
    surface_mesh_builder( Section& model, const uuid& surface )
    {
        return section_surface_mesh_builder( model, surface );
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {

            template < typename Model, typename Builder, index_t D >
            MeshesSurfaces< Model, Builder, D >::MeshesSurfaces(
                const CornersLinesBuilder< Model, Builder, D >& corners_lines,
                Model& model,
                Builder& builder,
                const MeshesInput< D >& input,
                const MeshesWireframe< D >& wireframe,
                const PolygonGroups< D >& groups )
                : corners_lines_( corners_lines ), model_( model ),
                  builder_( builder ), merged_( input.merged() ),
                  wireframe_( wireframe ), groups_( groups )
            {
            }

            template < typename Model, typename Builder, index_t D >
            MeshesSurfaces< Model, Builder, D >::~MeshesSurfaces() = default;

            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::build(
                ElementMapping& element_mapping )
            {
                const auto groups = groups_.groups();
                const auto nb_groups = static_cast< index_t >( groups.size() );
                surface_uuids_.assign( nb_groups, uuid{} );
                const auto impl =
                    MeshFactory::default_impl( merged_.type_name() );
                for( index_t s = 0; s < nb_groups; s++ )
                {
                    surface_uuids_[s] = builder_.add_surface( impl );
                    add_line_relationships( s, groups[s] );
                }
                vertex_old2new_.assign( merged_.nb_vertices(), INVALID_INDEX );
                polygon_surface_.assign( merged_.nb_polygons(), INVALID_INDEX );
                polygon_in_surface_.assign( merged_.nb_polygons(),
                                            INVALID_INDEX );
                const auto behind_first =
                    inputs_behind_first_polygons( groups );
                std::vector< const AttributeManager* > vertex_managers;
                std::vector< const AttributeManager* > polygon_managers;
                std::vector< absl::Span< const index_t > > vertex_tables;
                std::vector< absl::Span< const index_t > > polygon_tables;
                for( const auto& source : wireframe_.sources() )
                {
                    // A mesh listed again brings nothing new.
                    vertex_managers.push_back(
                        source.first_listing
                            ? &source.mesh.vertex_attribute_manager()
                            : nullptr );
                    polygon_managers.push_back(
                        source.first_listing
                            ? &source.mesh.polygon_attribute_manager()
                            : nullptr );
                    vertex_tables.emplace_back( source.vertex_unique );
                    polygon_tables.emplace_back( source.polygon_merged );
                }
                vertex_importer_ = std::make_unique< AttributeImporter >(
                    std::move( vertex_managers ),
                    std::move( vertex_tables ),
                    merged_.nb_vertices() );
                polygon_importer_ = std::make_unique< AttributeImporter >(
                    std::move( polygon_managers ),
                    std::move( polygon_tables ),
                    merged_.nb_polygons() );
                for( index_t s = 0; s < nb_groups; s++ )
                {
                    build_surface( s, groups[s], behind_first[s] );
                }
                vertex_importer_.reset();
                polygon_importer_.reset();
                add_final_polygon_entries( element_mapping );
            }
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::add_line_relationships(
                index_t group_id, const std::vector< index_t >& group )
            {
                // Lines in the order first met, not in hash order: the
                // relationship order steers the block flood.
                absl::flat_hash_set< uuid > seen_boundaries;
                absl::flat_hash_set< uuid > seen_internals;
                std::vector< uuid > boundaries;
                std::vector< uuid > internals;
                for( const auto p : group )
                {
                    const auto nb_edges = merged_.nb_polygon_edges( p );
                    for( local_index_t e = 0; e < nb_edges; e++ )
                    {
                        const auto wireframe_edge =
                            corners_lines_.wireframe_edge_id(
                                merged_.polygon_edge_vertices( { p, e } ) );
                        if( !wireframe_edge )
                        {
                            continue;
                        }
                        const auto& polygon_edges =
                            wireframe_.polygon_edges( wireframe_edge.value() );
                        const auto count = std::count_if(
                            polygon_edges.begin(),
                            polygon_edges.end(),
                            [this, group_id]( const PolygonEdge& edge ) {
                                return groups_.group( edge.polygon_id ) ==
                                       group_id;
                            } );
                        const auto& line =
                            corners_lines_.line_uuid( wireframe_edge.value() );
                        if( count == 1 )
                        {
                            if( seen_boundaries.insert( line ).second )
                            {
                                boundaries.push_back( line );
                            }
                        }
                        else if( seen_internals.insert( line ).second )
                        {
                            internals.push_back( line );
                        }
                    }
                }
                const auto& surface =
                    model_.surface( surface_uuids_[group_id] );
                for( const auto& line : boundaries )
                {
                    builder_.add_line_surface_boundary_relationship(
                        model_.line( line ), surface );
                }
                for( const auto& line : internals )
                {
                    builder_.add_line_surface_internal_relationship(
                        model_.line( line ), surface );
                }
            }

            /// For each group, the inputs (indices in the sources, in span
            /// order, once per input polygon) behind the group's first polygon.
            template < typename Model, typename Builder, index_t D >
            std::vector< absl::InlinedVector< index_t, 2 > >
            MeshesSurfaces< Model, Builder, D >::inputs_behind_first_polygons(
                const std::vector< std::vector< index_t > >& groups ) const
            {
                std::vector< index_t > group_of_first( merged_.nb_polygons(),
                                                       INVALID_INDEX );
                for( index_t s = 0; s < groups.size(); s++ )
                {
                    group_of_first[absl::MakeConstSpan( groups[s] ).at( 0 )] =
                        s;
                }
                std::vector< absl::InlinedVector< index_t, 2 > > behind(
                    groups.size() );
                for( index_t i = 0; i < wireframe_.sources().size(); i++ )
                {
                    for( const auto merged :
                         wireframe_.sources()[i].polygon_merged )
                    {
                        const auto group_id = group_of_first[merged];
                        if( group_id != INVALID_INDEX )
                        {
                            behind[group_id].push_back( i );
                        }
                    }
                }
                return behind;
            }

            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::build_surface(
                index_t group_id,
                const std::vector< index_t >& group,
                absl::Span< const index_t > behind_first )
            {
                const auto& surface_id = surface_uuids_[group_id];
                const auto new_vertices =
                    create_surface_mesh( group_id, group, behind_first );
                {
                    auto mesh_builder =
                        surface_mesh_builder( model_, surface_id );
                    mesh_builder->compute_polygon_adjacencies();
                    for( index_t k = 0; k < group.size(); k++ )
                    {
                        const auto p = group[k];
                        const auto nb_edges = merged_.nb_polygon_vertices( p );
                        for( local_index_t e = 0; e < nb_edges; e++ )
                        {
                            if( merged_.is_edge_on_border( { p, e } ) )
                            {
                                mesh_builder->unset_polygon_adjacent(
                                    { k, e } );
                            }
                        }
                    }
                }
                // Sides and block volumes take neighbouring polygons of one
                // surface to agree in orientation. Polygon indices, and so
                // the element mapping, stay as they are.
                repair_polygon_orientations< D >(
                    model_.modifiable_surface( surface_id )
                        .get_modifiable_mesh() );
                for( const auto& new_vertex : new_vertices )
                {
                    builder_.set_unique_vertex( new_vertex.first,
                                                new_vertex.second );
                }
                add_corner_surface_relationships( surface_id, new_vertices );
                // Ready for the next surface: only the entries set here.
                for( const auto& new_vertex : new_vertices )
                {
                    vertex_old2new_[new_vertex.second] = INVALID_INDEX;
                }
            }

            template < typename Model, typename Builder, index_t D >
            auto MeshesSurfaces< Model, Builder, D >::create_surface_mesh(
                index_t group_id,
                const std::vector< index_t >& group,
                absl::Span< const index_t > behind_first ) -> NewVertices
            {
                const auto& surface_id = surface_uuids_[group_id];
                const ComponentID component_id{ surface_type(), surface_id };
                auto mesh_builder = surface_mesh_builder( model_, surface_id );
                NewVertices new_vertices;
                new_vertices.reserve( group.size() );
                absl::InlinedVector< index_t, 64 > polygon_vertices;
                for( const auto p : group )
                {
                    const auto nb_vertices = merged_.nb_polygon_vertices( p );
                    polygon_vertices.resize( nb_vertices );
                    for( local_index_t k = 0; k < nb_vertices; k++ )
                    {
                        const auto m = merged_.polygon_vertex( { p, k } );
                        if( vertex_old2new_[m] == INVALID_INDEX )
                        {
                            const auto n = mesh_builder->create_point(
                                merged_.point( m ) );
                            vertex_old2new_[m] = n;
                            new_vertices.emplace_back(
                                ComponentMeshVertex{ component_id, n }, m );
                        }
                        polygon_vertices[k] = vertex_old2new_[m];
                    }
                    const auto q =
                        mesh_builder->create_polygon( polygon_vertices );
                    polygon_surface_[p] = group_id;
                    polygon_in_surface_[p] = q;
                }
                name_and_import(
                    surface_id, group, new_vertices, behind_first );
                return new_vertices;
            }

            /// The surface takes the name of every input behind its group's
            /// first polygon, and the attributes of every input behind its
            /// elements.
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::name_and_import(
                const uuid& surface_id,
                const std::vector< index_t >& group,
                const NewVertices& new_vertices,
                absl::Span< const index_t > behind_first )
            {
                const auto& surface_mesh = model_.surface( surface_id ).mesh();
                std::string name;
                for( const auto i : behind_first )
                {
                    absl::StrAppend( &name,
                                     wireframe_.sources()[i].mesh.name() );
                }
                builder_.set_surface_name( surface_id, name );
                std::vector< std::pair< index_t, index_t > > targets;
                targets.reserve( new_vertices.size() );
                for( const auto& new_vertex : new_vertices )
                {
                    targets.emplace_back( new_vertex.second,
                                          new_vertex.first.vertex );
                }
                vertex_importer_->import(
                    surface_mesh.vertex_attribute_manager(), targets );
                targets.clear();
                for( index_t q = 0; q < group.size(); q++ )
                {
                    targets.emplace_back( group[q], q );
                }
                polygon_importer_->import(
                    surface_mesh.polygon_attribute_manager(), targets );
            }

            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::
                add_corner_surface_relationships(
                    const uuid& surface_id, const NewVertices& new_vertices )
            {
                const auto& surface = model_.surface( surface_id );
                const auto& surface_mesh = surface.mesh();
                for( const auto& new_vertex : new_vertices )
                {
                    if( surface_mesh.is_vertex_on_border(
                            new_vertex.first.vertex ) )
                    {
                        continue;
                    }
                    const auto unique_vertex =
                        model_.unique_vertex( new_vertex.first );
                    for( const auto& component_vertex :
                         model_.component_mesh_vertices( unique_vertex ) )
                    {
                        const auto& component = component_vertex.component_id;
                        if( component.type() == corner_type() )
                        {
                            builder_.add_corner_surface_internal_relationship(
                                model_.corner( component.id() ), surface );
                        }
                    }
                }
            }

            /// Every input polygon goes to the surface polygon that its
            /// merged polygon became, whichever input stands behind the
            /// group's first polygon.
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::add_final_polygon_entries(
                ElementMapping& element_mapping ) const
            {
                for( const auto& source : wireframe_.sources() )
                {
                    if( !source.first_listing )
                    {
                        continue;
                    }
                    const auto& mesh_id = source.mesh.id();
                    for( index_t p = 0; p < source.polygon_merged.size(); p++ )
                    {
                        const auto merged = source.polygon_merged[p];
                        const auto group_id = polygon_surface_[merged];
                        if( group_id == INVALID_INDEX )
                        {
                            continue;
                        }
                        element_mapping.map(
                            MeshElement{ mesh_id, p },
                            ComponentMeshElement{
                                ComponentID{ surface_type(),
                                             surface_uuids_[group_id] },
                                polygon_in_surface_[merged] } );
                    }
                }
            }

            template class MeshesSurfaces< BRep, BRepBuilder, 3 >;
            template class MeshesSurfaces< Section, SectionBuilder, 2 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
