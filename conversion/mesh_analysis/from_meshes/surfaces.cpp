#include <conversion/mesh_analysis/from_meshes/surfaces.h>

#include <algorithm>
#include <string>

#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>
#include <absl/strings/str_cat.h>
#include <absl/types/optional.h>

#include <conversion/common/tasks.h>
#include <conversion/common/unique_list.h>
#include <conversion/mesh_analysis/from_meshes/attribute_import.h>
#include <conversion/mesh_analysis/from_meshes/surface_vertices.h>
#include <vorna/basic/attribute_manager.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/mesh/edged_curve.h>
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
    using namespace vorna::detail::from_meshes;

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

    /// The two directions of a mapping are filled at the same time.
    const auto run_both = []( auto&& left, auto&& right )
    { detail::fork( left, right ); };

    /// An input vertex or element (numbered across the inputs, as
    /// InputNumbering says) and the surface vertex or element it went to:
    /// what the mappings are filled from.
    struct MappedElement
    {
        index_t input;
        index_t surface;
        index_t surface_element;
    };

    /// The elements (vertices or polygons) of the inputs mapped, numbered
    /// one input after the other. A mesh listed again brings nothing new
    /// and is left out.
    template < index_t D >
    class InputNumbering
    {
      public:
        template < typename Count >
        InputNumbering( const std::vector< SurfaceSource< D > >& sources,
                        const Count& count )
        {
            for( const auto& source : sources )
            {
                if( source.first_listing )
                {
                    sources_.push_back( &source );
                    starts_.push_back( starts_.back() + count( source ) );
                }
            }
        }

        index_t nb_sources() const
        {
            return static_cast< index_t >( sources_.size() );
        }

        const SurfaceSource< D >& source( index_t rank ) const
        {
            return *sources_[rank];
        }

        index_t first( index_t rank ) const
        {
            return starts_[rank];
        }

        index_t nb_elements() const
        {
            return starts_.back();
        }

        /// The mesh and the element in it.
        MeshElement locate( index_t input ) const
        {
            const auto rank = static_cast< index_t >(
                std::upper_bound( starts_.begin(), starts_.end(), input ) -
                starts_.begin() - 1 );
            return { sources_[rank]->mesh.id(), input - starts_[rank] };
        }

      private:
        std::vector< const SurfaceSource< D >* > sources_;
        std::vector< index_t > starts_{ 0 };
    };

    /// The groups of the merged polygon edges behind each wireframe edge,
    /// sorted: how many of them a group has takes a binary search, however
    /// many surfaces share the edge.
    template < index_t D >
    class EdgeGroups
    {
      public:
        EdgeGroups( const MeshesWireframe< D >& wireframe,
                    const PolygonGroups< D >& groups,
                    index_t nb_edges )
            : begin_( nb_edges + 1, 0 )
        {
            for( index_t e = 0; e < nb_edges; e++ )
            {
                begin_[e + 1] =
                    begin_[e] + static_cast< index_t >(
                                    wireframe.polygon_edges( e ).size() );
            }
            groups_.reserve( begin_.back() );
            for( index_t e = 0; e < nb_edges; e++ )
            {
                for( const auto& edge : wireframe.polygon_edges( e ) )
                {
                    groups_.push_back( groups.group( edge.polygon_id ) );
                }
                std::sort( groups_.begin() + begin_[e], groups_.end() );
            }
        }

        index_t count( index_t edge, index_t group ) const
        {
            const auto range =
                std::equal_range( groups_.begin() + begin_[edge],
                                  groups_.begin() + begin_[edge + 1],
                                  group );
            return static_cast< index_t >( range.second - range.first );
        }

      private:
        std::vector< index_t > begin_;
        std::vector< index_t > groups_;
    };

    /// For each group, the inputs (indices in the sources, in span order,
    /// once per input polygon) behind the group's first polygon.
    template < index_t D >
    std::vector< absl::InlinedVector< index_t, 2 > >
    inputs_behind_first_polygons( const MeshesWireframe< D >& wireframe,
                                  const GroupTable& table,
                                  index_t nb_merged_polygons )
    {
        std::vector< index_t > group_of_first( nb_merged_polygons,
                                               INVALID_INDEX );
        for( index_t s = 0; s < table.nb_groups(); s++ )
        {
            group_of_first[table.group( s ).at( 0 )] = s;
        }
        std::vector< absl::InlinedVector< index_t, 2 > > behind(
            table.nb_groups() );
        for( index_t i = 0; i < wireframe.sources().size(); i++ )
        {
            for( const auto merged : wireframe.sources()[i].polygon_merged )
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
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// Lines in the order first met, not in hash order: the
            /// relationship order steers the block flood.
            template < typename Model, typename Builder, index_t D >
            struct MeshesSurfaces< Model, Builder, D >::GroupLines
            {
                std::vector< uuid > boundaries;
                std::vector< uuid > internals;
            };

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
            void MeshesSurfaces< Model, Builder, D >::build(
                VertexMapping& vertex_mapping, ElementMapping& element_mapping )
            {
                const auto table = groups_.table();
                add_surfaces( table.nb_groups() );
                // The element mapping needs nothing more: its tables are
                // filled from now on, beside the rest. Then the calling
                // thread links the unique vertices (the model's only shared
                // table) while the pool fills each surface's own mesh and
                // the vertex mapping.
                absl::optional< SurfaceVertices< D > > vertices;
                fork(
                    [&]
                    {
                        add_line_relationships(
                            find_line_relationships( table ) );
                        vertices.emplace( merged_, groups_, table );
                        fork(
                            [&]
                            {
                                for( index_t s = 0; s < surface_uuids_.size();
                                     s++ )
                                {
                                    builder_.set_unique_vertices(
                                        ComponentID{ surface_type(),
                                                     surface_uuids_[s] },
                                        vertices->merged_vertices( s ) );
                                }
                            },
                            [&]
                            {
                                fork(
                                    [&]
                                    {
                                        parallel_for(
                                            0,
                                            table.nb_groups(),
                                            1,
                                            [&]( index_t s ) {
                                                build_surface_mesh(
                                                    s, table, *vertices );
                                            } );
                                    },
                                    [&] {
                                        fill_vertex_mapping( vertex_mapping,
                                                             *vertices );
                                    } );
                            } );
                    },
                    [&] { fill_element_mapping( element_mapping, table ); } );
                name_and_import( table, *vertices );
                add_corner_surface_relationships( *vertices );
            }

            /// Made once for all the mapped elements of a surface.
            template < typename Model, typename Builder, index_t D >
            std::vector< ComponentID >
            MeshesSurfaces< Model, Builder, D >::surface_components() const
            {
                std::vector< ComponentID > components;
                components.reserve( surface_uuids_.size() );
                for( const auto& id : surface_uuids_ )
                {
                    components.emplace_back( surface_type(), id );
                }
                return components;
            }

            template < typename Model, typename Builder, index_t D >
            auto MeshesSurfaces< Model, Builder, D >::find_line_relationships(
                const GroupTable& table ) const -> std::vector< GroupLines >
            {
                const auto& wireframe = corners_lines_.wireframe();
                // Only an edge between two wireframe vertices can be a
                // wireframe edge: most edges need no look-up.
                std::vector< char > in_wireframe( merged_.nb_vertices(), 0 );
                for( index_t w = 0; w < wireframe.nb_vertices(); w++ )
                {
                    const auto unique_vertex = corners_lines_.vertex_id( w );
                    if( unique_vertex < in_wireframe.size() )
                    {
                        in_wireframe[unique_vertex] = 1;
                    }
                }
                const EdgeGroups< D > edge_groups{
                    wireframe_, groups_, wireframe.nb_edges() };
                const auto offsets = merged_.polygon_offsets();
                const auto vertices = merged_.polygon_slot_vertices();
                std::vector< GroupLines > lines( table.nb_groups() );
                parallel_for(
                    0,
                    table.nb_groups(),
                    1,
                    [&]( index_t s )
                    {
                        UniqueList< uuid > boundaries;
                        UniqueList< uuid > internals;
                        for( const auto p : table.group( s ) )
                        {
                            const auto begin = offsets[p];
                            const auto end = offsets[p + 1];
                            for( auto slot = begin; slot < end; slot++ )
                            {
                                const auto a = vertices[slot];
                                const auto b =
                                    vertices[slot + 1 == end ? begin
                                                             : slot + 1];
                                if( !in_wireframe[a] || !in_wireframe[b] )
                                {
                                    continue;
                                }
                                const auto edge =
                                    corners_lines_.wireframe_edge_id(
                                        { a, b } );
                                if( !edge )
                                {
                                    continue;
                                }
                                const auto& line =
                                    corners_lines_.line_uuid( edge.value() );
                                if( edge_groups.count( edge.value(), s ) == 1 )
                                {
                                    boundaries.add( line );
                                }
                                else
                                {
                                    internals.add( line );
                                }
                            }
                        }
                        lines[s] = { boundaries.take(), internals.take() };
                    } );
                return lines;
            }

            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::add_surfaces(
                index_t nb_groups )
            {
                const auto impl =
                    MeshFactory::default_impl( merged_.type_name() );
                surface_uuids_.clear();
                surface_uuids_.reserve( nb_groups );
                for( index_t s = 0; s < nb_groups; s++ )
                {
                    surface_uuids_.push_back( builder_.add_surface( impl ) );
                }
            }

            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::add_line_relationships(
                const std::vector< GroupLines >& lines )
            {
                for( index_t s = 0; s < lines.size(); s++ )
                {
                    const auto& surface = model_.surface( surface_uuids_[s] );
                    for( const auto& line : lines[s].boundaries )
                    {
                        builder_.add_line_surface_boundary_relationship(
                            model_.line( line ), surface );
                    }
                    for( const auto& line : lines[s].internals )
                    {
                        builder_.add_line_surface_internal_relationship(
                            model_.line( line ), surface );
                    }
                }
            }

            /// Points, polygons, adjacency across the group's inner edges
            /// only, and orientation. Touches nothing but the surface's own
            /// mesh.
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::build_surface_mesh(
                index_t group_id,
                const GroupTable& table,
                const SurfaceVertices< D >& vertices )
            {
                const auto& surface_id = surface_uuids_[group_id];
                {
                    auto mesh_builder =
                        surface_mesh_builder( model_, surface_id );
                    const auto merged_points = merged_.points();
                    const auto surface_vertices =
                        vertices.merged_vertices( group_id );
                    mesh_builder->create_vertices(
                        static_cast< index_t >( surface_vertices.size() ) );
                    for( index_t v = 0; v < surface_vertices.size(); v++ )
                    {
                        mesh_builder->set_point(
                            v, merged_points[surface_vertices[v]] );
                    }
                    const auto group = table.group( group_id );
                    mesh_builder->create_polygons(
                        vertices.slot_offsets().subspan( table.begin[group_id],
                                                         group.size() + 1 ),
                        vertices.slot_vertices() );
                    mesh_builder->compute_polygon_adjacencies();
                    const auto offsets = merged_.polygon_offsets();
                    const auto adjacents = merged_.polygon_slot_adjacents();
                    for( index_t k = 0; k < group.size(); k++ )
                    {
                        const auto p = group[k];
                        for( auto slot = offsets[p]; slot < offsets[p + 1];
                             slot++ )
                        {
                            if( adjacents[slot] == INVALID_INDEX )
                            {
                                mesh_builder->unset_polygon_adjacent(
                                    { k,
                                      static_cast< local_index_t >(
                                          slot - offsets[p] ) } );
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
            }

            /// Every input polygon goes to the surface polygon that its
            /// merged polygon became, whichever input stands behind the
            /// group's first polygon. A mesh listed again brings nothing new.
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::fill_element_mapping(
                ElementMapping& element_mapping, const GroupTable& table ) const
            {
                const InputNumbering< D > inputs{
                    wireframe_.sources(),
                    []( const SurfaceSource< D >& source ) {
                        return static_cast< index_t >(
                            source.polygon_merged.size() );
                    } };
                std::vector< MappedElement > pairs( inputs.nb_elements() );
                for( index_t rank = 0; rank < inputs.nb_sources(); rank++ )
                {
                    const auto& merged_polygons =
                        inputs.source( rank ).polygon_merged;
                    const auto first = inputs.first( rank );
                    parallel_for(
                        0,
                        static_cast< index_t >( merged_polygons.size() ),
                        4096,
                        [&]( index_t polygon )
                        {
                            const auto merged = merged_polygons[polygon];
                            const auto group_id = groups_.group( merged );
                            pairs[first + polygon] = {
                                first + polygon,
                                group_id,
                                table.position[merged] -
                                    table.begin[group_id] };
                        } );
                }
                const auto nb_pairs = pairs.size();
                const auto components = surface_components();
                element_mapping.map_all(
                    std::move( pairs ),
                    [&]( const MappedElement& pair )
                    { return inputs.locate( pair.input ); },
                    [&]( const MappedElement& pair )
                    {
                        return ComponentMeshElement{ components[pair.surface],
                                                     pair.surface_element };
                    },
                    nb_pairs,
                    merged_.nb_polygons(),
                    run_both );
            }

            /// Every input vertex goes to the surface vertices at its unique
            /// vertex, by ascending surface (the order in which they are
            /// linked to it).
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::fill_vertex_mapping(
                VertexMapping& vertex_mapping,
                const SurfaceVertices< D >& vertices ) const
            {
                const InputNumbering< D > inputs{
                    wireframe_.sources(),
                    []( const SurfaceSource< D >& source ) {
                        return static_cast< index_t >(
                            source.vertex_unique.size() );
                    } };
                std::vector< MappedElement > pairs;
                pairs.reserve( vertices.nb_surface_vertices() );
                std::size_t nb_ins{ 0 };
                for( index_t rank = 0; rank < inputs.nb_sources(); rank++ )
                {
                    const auto& vertex_unique =
                        inputs.source( rank ).vertex_unique;
                    const auto first = inputs.first( rank );
                    for( index_t v = 0; v < vertex_unique.size(); v++ )
                    {
                        const auto at =
                            vertices.at_merged_vertex( vertex_unique[v] );
                        nb_ins += at.empty() ? 0 : 1;
                        for( const auto& surface_vertex : at )
                        {
                            pairs.push_back( { first + v,
                                               surface_vertex.first,
                                               surface_vertex.second } );
                        }
                    }
                }
                const auto components = surface_components();
                vertex_mapping.map_all(
                    std::move( pairs ),
                    [&]( const MappedElement& pair )
                    {
                        const auto input = inputs.locate( pair.input );
                        return MeshVertex{ input.mesh_id, input.element };
                    },
                    [&]( const MappedElement& pair )
                    {
                        return ComponentMeshVertex{ components[pair.surface],
                                                    pair.surface_element };
                    },
                    nb_ins,
                    vertices.nb_surface_vertices(),
                    run_both );
            }

            /// The surface takes the name of every input behind its group's
            /// first polygon, and the attributes of every input behind its
            /// elements.
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::name_and_import(
                const GroupTable& table, const SurfaceVertices< D >& vertices )
            {
                const auto& sources = wireframe_.sources();
                const auto behind_first = inputs_behind_first_polygons(
                    wireframe_, table, merged_.nb_polygons() );
                for( index_t s = 0; s < table.nb_groups(); s++ )
                {
                    std::string name;
                    for( const auto i : behind_first[s] )
                    {
                        absl::StrAppend( &name, sources[i].mesh.name() );
                    }
                    builder_.set_surface_name( surface_uuids_[s], name );
                }
                std::vector< const AttributeManager* > vertex_managers;
                std::vector< const AttributeManager* > polygon_managers;
                std::vector< absl::Span< const index_t > > vertex_tables;
                std::vector< absl::Span< const index_t > > polygon_tables;
                bool any_attribute{ false };
                for( const auto& source : sources )
                {
                    // A mesh listed again brings nothing new.
                    const auto& vertex_manager =
                        source.mesh.vertex_attribute_manager();
                    const auto& polygon_manager =
                        source.mesh.polygon_attribute_manager();
                    vertex_managers.push_back(
                        source.first_listing ? &vertex_manager : nullptr );
                    polygon_managers.push_back(
                        source.first_listing ? &polygon_manager : nullptr );
                    vertex_tables.emplace_back( source.vertex_unique );
                    polygon_tables.emplace_back( source.polygon_merged );
                    any_attribute =
                        any_attribute ||
                        ( source.first_listing &&
                          !( vertex_manager.attribute_names().empty() &&
                             polygon_manager.attribute_names().empty() ) );
                }
                if( !any_attribute )
                {
                    return;
                }
                AttributeImporter vertex_importer{ std::move( vertex_managers ),
                                                   std::move( vertex_tables ),
                                                   merged_.nb_vertices() };
                AttributeImporter polygon_importer{
                    std::move( polygon_managers ),
                    std::move( polygon_tables ),
                    merged_.nb_polygons() };
                std::vector< std::pair< index_t, index_t > > targets;
                for( index_t s = 0; s < table.nb_groups(); s++ )
                {
                    const auto& surface_mesh =
                        model_.surface( surface_uuids_[s] ).mesh();
                    const auto merged_vertices = vertices.merged_vertices( s );
                    targets.clear();
                    for( index_t n = 0; n < merged_vertices.size(); n++ )
                    {
                        targets.emplace_back( merged_vertices[n], n );
                    }
                    vertex_importer.import(
                        surface_mesh.vertex_attribute_manager(), targets );
                    const auto group = table.group( s );
                    targets.clear();
                    for( index_t q = 0; q < group.size(); q++ )
                    {
                        targets.emplace_back( group[q], q );
                    }
                    polygon_importer.import(
                        surface_mesh.polygon_attribute_manager(), targets );
                }
            }

            /// A corner at an inner vertex of a surface lies inside it.
            /// Surfaces in order, their vertices in order, the corners of a
            /// vertex in link order.
            template < typename Model, typename Builder, index_t D >
            void MeshesSurfaces< Model, Builder, D >::
                add_corner_surface_relationships(
                    const SurfaceVertices< D >& vertices )
            {
                // (surface, surface vertex, unique vertex)
                std::vector< std::array< index_t, 3 > > at_corners;
                absl::flat_hash_set< index_t > corner_vertices;
                for( const auto& corner : model_.corners() )
                {
                    const auto unique_vertex =
                        model_.unique_vertex( { corner.component_id(), 0 } );
                    if( unique_vertex >= merged_.nb_vertices() ||
                        !corner_vertices.insert( unique_vertex ).second )
                    {
                        continue;
                    }
                    for( const auto& surface_vertex :
                         vertices.at_merged_vertex( unique_vertex ) )
                    {
                        at_corners.push_back( { surface_vertex.first,
                                                surface_vertex.second,
                                                unique_vertex } );
                    }
                }
                std::sort( at_corners.begin(), at_corners.end() );
                for( const auto& at : at_corners )
                {
                    const auto& surface =
                        model_.surface( surface_uuids_[at[0]] );
                    if( surface.mesh().is_vertex_on_border( at[1] ) )
                    {
                        continue;
                    }
                    for( const auto& component_vertex :
                         model_.component_mesh_vertices( at[2] ) )
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

            template class MeshesSurfaces< BRep, BRepBuilder, 3 >;
            template class MeshesSurfaces< Section, SectionBuilder, 2 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
