#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_surface.h>

#include <algorithm>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <conversion/common/import_elements.h>
#include <conversion/common/tasks.h>
#include <conversion/common/unique_list.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/common/unset_uuid.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;

    using PolygonEdges = absl::InlinedVector< PolygonEdge, 3 >;

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

    /// Unique vertex k stands for input vertex k, so the model must not
    /// number unique vertices already.
    template < typename Model >
    Model& without_unique_vertices( Model& model )
    {
        if( model.nb_unique_vertices() != 0 )
        {
            throw CorvaneException(
                "[CornersLinesBuilderFromSurface] The model to build must "
                "have no unique vertex (it has ",
                model.nb_unique_vertices(),
                ")" );
        }
        return model;
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromSurface< Model, Builder, D >::Impl
        {
            using Owner = CornersLinesBuilderFromSurface< Model, Builder, D >;

          public:
            Impl( Owner& owner, Model& model, const SurfaceMesh< D >& mesh )
                : owner_( owner ), model_( without_unique_vertices( model ) ),
                  builder_( model ), mesh_( mesh ),
                  polygon_edges_(
                      owner.wireframe()
                          .edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              PolygonEdges >(
                              "polygon_edges", PolygonEdges{} ) ),
                  identifier_( mesh ),
                  regions_(
                      mesh.polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              index_t >(
                              SurfaceIdentifier< D >::surface_id_attribute_name,
                              INVALID_INDEX,
                              AttributeFlags{ true, false } ) ),
                  surface_uuids_(
                      mesh.polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              uuid >(
                              surface_uuid_attribute_name,
                              UNSET_UUID,
                              AttributeFlags{ true, false } ) )
            {
                // Labels of an earlier build would be taken over as regions
                // that this identifier did not number.
                for( index_t p = 0; p < mesh_.nb_polygons(); p++ )
                {
                    regions_->set_value( p, INVALID_INDEX );
                }
                builder_.create_unique_vertices( mesh_.nb_vertices() );
            }

            void build_wireframe_step()
            {
                fork( [this] { identifier_.identify_polygons(); },
                      [this] { build_wireframe(); } );
            }

            bool is_corner( index_t vertex ) const
            {
                const auto& around =
                    owner_.wireframe().edges_around_vertex( vertex );
                if( around.size() != 2 )
                {
                    return true;
                }
                return edge_regions( around[0].edge_id ) !=
                       edge_regions( around[1].edge_id );
            }

            void build_surfaces()
            {
                const auto regions = identifier_.identified_surfaces_polygons();
                const auto nb_regions =
                    static_cast< index_t >( regions.size() );
                const auto impl =
                    MeshFactory::default_impl( mesh_.type_name() );
                std::vector< uuid > surface_ids;
                surface_ids.reserve( nb_regions );
                for( index_t s = 0; s < nb_regions; s++ )
                {
                    surface_ids.push_back( builder_.add_surface( impl ) );
                    relate_lines( s, regions[s], surface_ids[s] );
                }
                run_group_and_apply(
                    nb_regions,
                    [this, &regions, &surface_ids]( index_t s )
                    { return fill_surface( surface_ids[s], regions[s] ); },
                    [this, &surface_ids](
                        index_t s, const std::vector< index_t >& vertices )
                    {
                        const ComponentID surface{
                            Surface< D >::component_type_static(),
                            surface_ids[s] };
                        for( index_t v = 0; v < vertices.size(); v++ )
                        {
                            builder_.set_unique_vertex( { surface, v },
                                                        vertices[v] );
                        }
                    } );
            }

          private:
            void build_wireframe()
            {
                for( index_t p = 0; p < mesh_.nb_polygons(); p++ )
                {
                    const auto nb_edges = mesh_.nb_polygon_edges( p );
                    for( local_index_t e = 0; e < nb_edges; e++ )
                    {
                        const PolygonEdge edge{ p, e };
                        if( !mesh_.is_edge_on_border( edge ) )
                        {
                            continue;
                        }
                        const auto vertices =
                            mesh_.polygon_edge_vertices( edge );
                        const auto wireframe_edge = owner_.find_or_create_edge(
                            vertices,
                            { mesh_.point( vertices[0] ),
                              mesh_.point( vertices[1] ) } );
                        polygon_edges_->modify_value(
                            wireframe_edge,
                            [&edge]( PolygonEdges& edges )
                            { edges.push_back( edge ); } );
                    }
                }
            }

            /// The regions along a wireframe edge, ascending, each once.
            absl::InlinedVector< index_t, 4 > edge_regions( index_t edge ) const
            {
                absl::InlinedVector< index_t, 4 > regions;
                for( const auto& polygon_edge : polygon_edges_->value( edge ) )
                {
                    regions.push_back(
                        regions_->value( polygon_edge.polygon_id ) );
                }
                std::sort( regions.begin(), regions.end() );
                regions.erase( std::unique( regions.begin(), regions.end() ),
                               regions.end() );
                return regions;
            }

            /// A line is a boundary of the region's Surface where one of its
            /// polygon edges there belongs to the region, internal where
            /// several do (the region lies on both sides).
            void relate_lines( index_t region,
                               const std::vector< index_t >& polygons,
                               const uuid& surface_id )
            {
                UniqueList< uuid > boundaries;
                UniqueList< uuid > internals;
                for( const auto p : polygons )
                {
                    const auto nb_edges = mesh_.nb_polygon_edges( p );
                    for( local_index_t e = 0; e < nb_edges; e++ )
                    {
                        const PolygonEdge edge{ p, e };
                        if( !mesh_.is_edge_on_border( edge ) )
                        {
                            continue;
                        }
                        const auto wireframe_edge =
                            owner_
                                .wireframe_edge_id(
                                    mesh_.polygon_edge_vertices( edge ) )
                                .value();
                        const auto& sides =
                            polygon_edges_->value( wireframe_edge );
                        const auto count = std::count_if(
                            sides.begin(),
                            sides.end(),
                            [this, region]( const PolygonEdge& side ) {
                                return regions_->value( side.polygon_id ) ==
                                       region;
                            } );
                        const auto& line = owner_.line_uuid( wireframe_edge );
                        if( count == 1 )
                        {
                            boundaries.add( line );
                        }
                        else
                        {
                            internals.add( line );
                        }
                    }
                }
                const auto& surface = model_.surface( surface_id );
                for( const auto& line : boundaries.values() )
                {
                    builder_.add_line_surface_boundary_relationship(
                        model_.line( line ), surface );
                }
                for( const auto& line : internals.values() )
                {
                    builder_.add_line_surface_internal_relationship(
                        model_.line( line ), surface );
                }
            }

            /// Copies the region's polygons into the Surface's mesh, with the
            /// input's attributes, and keeps the input's borders as borders.
            /// Runs on a pool task: writes only this Surface's mesh and the
            /// "surface_uuid" values of the region's polygons. Its cost
            /// follows the region, not the whole input.
            /// \return the input vertex of each new Surface vertex.
            std::vector< index_t >
            fill_surface( const uuid& surface_id,
                          const std::vector< index_t >& polygons )
            {
                auto mesh_builder = surface_mesh_builder( model_, surface_id );
                std::vector< index_t > input_vertices;
                input_vertices.reserve( polygons.size() );
                absl::flat_hash_map< index_t, index_t > vertex_old2new;
                vertex_old2new.reserve( polygons.size() );
                for( const auto p : polygons )
                {
                    const auto nb_vertices = mesh_.nb_polygon_vertices( p );
                    absl::FixedArray< index_t, 64 > vertices( nb_vertices );
                    for( local_index_t i = 0; i < nb_vertices; i++ )
                    {
                        const auto input = mesh_.polygon_vertex( { p, i } );
                        const auto created = vertex_old2new.try_emplace(
                            input,
                            static_cast< index_t >( input_vertices.size() ) );
                        if( created.second )
                        {
                            mesh_builder->create_point( mesh_.point( input ) );
                            input_vertices.push_back( input );
                        }
                        vertices[i] = created.first->second;
                    }
                    mesh_builder->create_polygon( vertices );
                    surface_uuids_->set_value( p, surface_id );
                }
                const auto& surface_mesh = model_.surface( surface_id ).mesh();
                import_elements( surface_mesh.vertex_attribute_manager(),
                                 mesh_.vertex_attribute_manager(),
                                 input_vertices,
                                 mesh_.nb_vertices() );
                import_elements( surface_mesh.polygon_attribute_manager(),
                                 mesh_.polygon_attribute_manager(),
                                 polygons,
                                 mesh_.nb_polygons() );
                mesh_builder->compute_polygon_adjacencies();
                for( index_t k = 0; k < polygons.size(); k++ )
                {
                    const auto p = polygons[k];
                    const auto nb_edges = mesh_.nb_polygon_edges( p );
                    for( local_index_t e = 0; e < nb_edges; e++ )
                    {
                        if( mesh_.is_edge_on_border( { p, e } ) )
                        {
                            mesh_builder->unset_polygon_adjacent( { k, e } );
                        }
                    }
                }
                return input_vertices;
            }

          private:
            Owner& owner_;
            Model& model_;
            Builder builder_;
            const SurfaceMesh< D >& mesh_;
            std::shared_ptr< VariableAttribute< PolygonEdges > > polygon_edges_;
            SurfaceIdentifier< D > identifier_;
            std::shared_ptr< VariableAttribute< index_t > > regions_;
            std::shared_ptr< VariableAttribute< uuid > > surface_uuids_;
        };

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromSurface< Model, Builder, D >::
            CornersLinesBuilderFromSurface( Model& model,
                                            const SurfaceMesh< D >& mesh )
            : CornersLinesBuilder< Model, Builder, D >( model ),
              impl_( std::make_unique< Impl >( *this, model, mesh ) )
        {
        }

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromSurface< Model, Builder, D >::
            ~CornersLinesBuilderFromSurface() = default;

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilderFromSurface< Model, Builder, D >::
            build_wireframe_step()
        {
            this->run_wireframe_step( [this]
                                      { impl_->build_wireframe_step(); } );
        }

        template < typename Model, typename Builder, index_t D >
        bool CornersLinesBuilderFromSurface< Model, Builder, D >::is_corner(
            index_t vertex ) const
        {
            return impl_->is_corner( vertex );
        }

        template < typename Model, typename Builder, index_t D >
        void
        CornersLinesBuilderFromSurface< Model, Builder, D >::build_surfaces()
        {
            impl_->build_surfaces();
        }

        template class CornersLinesBuilderFromSurface< BRep, BRepBuilder, 3 >;
        template class CornersLinesBuilderFromSurface< Section,
                                                       SectionBuilder,
                                                       2 >;
    } // namespace detail
} // namespace vorna
