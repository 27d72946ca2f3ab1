#include <vorna/conversion/model/section_from_surfaces_builder.h>

#include <algorithm>
#include <vector>

#include <conversion/common/step_checks.h>
#include <conversion/common/unique_list.h>
#include <conversion/model/section_input.h>
#include <conversion/model/surface_lines_relations.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_model.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_merger.h>
#include <vorna/model/component_mesh_edges.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;

    constexpr double COLOCATION_EPSILON{ 1e-6 };

    constexpr const char* OPERATION = "SectionFromSurfacesBuilder";
} // namespace

namespace vorna
{
    namespace detail
    {
        SurfaceLinesRelations
        find_surface_lines_relations( const Section& section,
                                      const Surface< 2 >& surface )
        {
            UniqueList< uuid > boundaries;
            UniqueList< uuid > internals;
            const auto& mesh = surface.mesh();
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto nb_edges = mesh.nb_polygon_edges( p );
                for( local_index_t e = 0; e < nb_edges; e++ )
                {
                    const PolygonEdge edge{ p, e };
                    if( !mesh.is_edge_on_border( edge ) )
                    {
                        continue;
                    }
                    const auto found =
                        component_mesh_edges( section, surface, edge );
                    if( found.line_edges.empty() )
                    {
                        continue;
                    }
                    if( found.line_edges.size() > 1 )
                    {
                        throw CorvaneException(
                            "[SectionFromSurfaces::find_surface_lines_"
                            "relations] Found multiple lines linked by unique "
                            "vertices to edge ",
                            edge.string(),
                            " of surface with uuid ",
                            surface.id().string() );
                    }
                    const auto& line = found.line_edges.begin()->first;
                    if( found.surface_edges.at( surface.id() ).size() == 1 )
                    {
                        boundaries.add( line );
                    }
                    else
                    {
                        internals.add( line );
                    }
                }
            }
            return { boundaries.take(), internals.take() };
        }

        class SectionFromSurfacesBuilder::Impl
        {
          public:
            Impl( Section& section,
                  absl::Span<
                      const std::reference_wrapper< const SurfaceMesh< 2 > > >
                      meshes )
                : section_( section ), builder_( section ),
                  meshes_( meshes.begin(), meshes.end() )
            {
            }

            void build()
            {
                check_step_not_done( "SectionFromSurfacesBuilder::build",
                                     built_,
                                     "The section is" );
                if( section_.nb_unique_vertices() != 0 )
                {
                    throw CorvaneException(
                        "[SectionFromSurfacesBuilder::build] The section to "
                        "build must have no unique vertex (it has ",
                        section_.nb_unique_vertices(),
                        ")" );
                }
                // A mesh without polygons would make a surface of nothing,
                // and its points unique vertices of nothing.
                meshes_.erase(
                    std::remove_if( meshes_.begin(),
                                    meshes_.end(),
                                    []( const SurfaceMesh< 2 >& mesh )
                                    { return mesh.nb_polygons() == 0; } ),
                    meshes_.end() );
                for( const auto& mesh : meshes_ )
                {
                    // Each mesh is copied whole.
                    refuse_non_finite_points( mesh, OPERATION );
                }
                SurfaceMeshMerger< 2 > merger{ meshes_, COLOCATION_EPSILON };
                merger.create_surface_step();
                std::vector< std::vector< index_t > > merged( meshes_.size() );
                for( index_t i = 0; i < meshes_.size(); i++ )
                {
                    for( index_t v = 0; v < meshes_[i].get().nb_vertices();
                         v++ )
                    {
                        merged[i].push_back( merger.vertex_in_merged( i, v ) );
                    }
                    check_section_polygons( meshes_[i], OPERATION, merged[i] );
                }
                built_ = true;
                for( const auto& mesh : meshes_ )
                {
                    surface_ids_.push_back( builder_.add_surface() );
                    builder_.update_surface_mesh(
                        section_.surface( surface_ids_.back() ),
                        mesh.get().clone() );
                }
                create_section_unique_vertices( merger.merged().nb_vertices(),
                                                merged );
                {
                    CornersLinesBuilderFromModel< Section, SectionBuilder, 2 >
                        corners_lines{ section_ };
                    corners_lines.build();
                    add_line_surface_relations();
                }
            }

          private:
            /// Colocated vertices share one unique vertex: input i's vertex
            /// v takes merged[i][v].
            void create_section_unique_vertices(
                index_t nb_unique,
                const std::vector< std::vector< index_t > >& merged )
            {
                builder_.create_unique_vertices( nb_unique );
                for( index_t i = 0; i < meshes_.size(); i++ )
                {
                    const ComponentID surface{
                        Surface< 2 >::component_type_static(),
                        surface_ids_[i] };
                    for( index_t v = 0; v < merged[i].size(); v++ )
                    {
                        builder_.set_unique_vertex( { surface, v },
                                                    merged[i][v] );
                    }
                }
            }

            void add_line_surface_relations()
            {
                for( const auto& surface : section_.surfaces() )
                {
                    const auto relations =
                        find_surface_lines_relations( section_, surface );
                    for( const auto& line : relations.boundaries )
                    {
                        builder_.add_line_surface_boundary_relationship(
                            section_.line( line ), surface );
                    }
                    for( const auto& line : relations.internals )
                    {
                        builder_.add_line_surface_internal_relationship(
                            section_.line( line ), surface );
                    }
                }
            }

          private:
            Section& section_;
            SectionBuilder builder_;
            // A copy of the caller's list, which may be a temporary; the
            // meshes themselves must outlive the builder.
            std::vector< std::reference_wrapper< const SurfaceMesh< 2 > > >
                meshes_;
            std::vector< uuid > surface_ids_;
            bool built_{ false };
        };

        SectionFromSurfacesBuilder::SectionFromSurfacesBuilder(
            Section& section,
            absl::Span< const std::reference_wrapper< const SurfaceMesh< 2 > > >
                meshes )
            : impl_( std::make_unique< Impl >( section, meshes ) )
        {
        }

        SectionFromSurfacesBuilder::~SectionFromSurfacesBuilder() = default;

        void SectionFromSurfacesBuilder::build()
        {
            impl_->build();
        }
    } // namespace detail
} // namespace vorna
