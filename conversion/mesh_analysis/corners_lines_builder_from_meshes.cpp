#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>

#include <conversion/common/tasks.h>
#include <vorna/basic/corvane_exception.h>
#include <conversion/mesh_analysis/from_meshes/corner_rule.h>
#include <conversion/mesh_analysis/from_meshes/groups.h>
#include <conversion/mesh_analysis/from_meshes/inputs.h>
#include <conversion/mesh_analysis/from_meshes/mappings.h>
#include <conversion/mesh_analysis/from_meshes/surfaces.h>
#include <conversion/mesh_analysis/from_meshes/wireframe.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace vorna
{
    namespace detail
    {
        /// The steps in order: inputs checked and merged, wireframe (beside
        /// the grouping of polygons), corner rule, surfaces, mappings. Each
        /// step keeps its own data.
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromMeshes< Model, Builder, D >::Impl
        {
            using Owner = CornersLinesBuilderFromMeshes< Model, Builder, D >;

          public:
            Impl( Owner& owner,
                  Model& model,
                  from_meshes::CurveSpan< D > curves,
                  from_meshes::SurfaceSpan< D > surfaces )
                : owner_( owner ), model_( model ), builder_( model ),
                  input_( curves, surfaces ),
                  wireframe_( input_, owner.wireframe() ),
                  groups_( input_.merged() ),
                  surfaces_(
                      owner, model, builder_, input_, wireframe_, groups_ )
            {
            }

            void build_wireframe_step()
            {
                fork( [this] { groups_.identify(); },
                      [this]
                      {
                          wireframe_.build(
                              [this]( index_t nb_unique_vertices ) {
                                  builder_.create_unique_vertices(
                                      nb_unique_vertices );
                              },
                              [this](
                                  const std::array< index_t, 2 >& vertices,
                                  const std::array< Point< D >, 2 >& points ) {
                                  return owner_.find_or_create_edge( vertices,
                                                                     points );
                              } );
                      } );
            }

            bool is_corner( index_t vertex ) const
            {
                return from_meshes::is_corner_vertex(
                    owner_.wireframe(), wireframe_, groups_, vertex );
            }

            void build_surfaces()
            {
                if( !owner_.lines_built() )
                {
                    throw CorvaneException(
                        "[CornersLinesBuilderFromMeshes::build_surfaces] Build "
                        "the lines first" );
                }
                if( surfaces_built_ )
                {
                    throw CorvaneException(
                        "[CornersLinesBuilderFromMeshes::build_surfaces] The "
                        "surfaces are already built" );
                }
                surfaces_built_ = true;
                surfaces_.build( vertex_mapping_, element_mapping_ );
            }

            std::pair< VertexMapping, ElementMapping > mappings()
            {
                if( !surfaces_built_ )
                {
                    throw CorvaneException(
                        "[CornersLinesBuilderFromMeshes::mappings] Build the "
                        "surfaces first" );
                }
                if( mappings_taken_ )
                {
                    throw CorvaneException(
                        "[CornersLinesBuilderFromMeshes::mappings] The mappings "
                        "are already taken" );
                }
                mappings_taken_ = true;
                from_meshes::map_curves( owner_,
                                         model_,
                                         input_,
                                         wireframe_,
                                         vertex_mapping_,
                                         element_mapping_ );
                return { std::move( vertex_mapping_ ),
                         std::move( element_mapping_ ) };
            }

          private:
            Owner& owner_;
            Model& model_;
            Builder builder_;
            from_meshes::MeshesInput< D > input_;
            from_meshes::MeshesWireframe< D > wireframe_;
            from_meshes::PolygonGroups< D > groups_;
            from_meshes::MeshesSurfaces< Model, Builder, D > surfaces_;
            VertexMapping vertex_mapping_;
            ElementMapping element_mapping_;
            bool surfaces_built_{ false };
            bool mappings_taken_{ false };
        };

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromMeshes< Model, Builder, D >::
            CornersLinesBuilderFromMeshes(
                Model& model,
                absl::Span<
                    const std::reference_wrapper< const EdgedCurve< D > > >
                    curves,
                absl::Span<
                    const std::reference_wrapper< const SurfaceMesh< D > > >
                    surfaces )
            : CornersLinesBuilder< Model, Builder, D >( model ),
              impl_( (
                  from_meshes::check_model_has_no_unique_vertex( model ),
                  std::make_unique< Impl >( *this, model, curves, surfaces ) ) )
        {
        }

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromMeshes< Model, Builder, D >::
            ~CornersLinesBuilderFromMeshes() = default;

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilderFromMeshes< Model, Builder, D >::
            build_wireframe_step()
        {
            this->run_wireframe_step( [this]
                                      { impl_->build_wireframe_step(); } );
        }

        template < typename Model, typename Builder, index_t D >
        bool CornersLinesBuilderFromMeshes< Model, Builder, D >::is_corner(
            index_t vertex ) const
        {
            return impl_->is_corner( vertex );
        }

        template < typename Model, typename Builder, index_t D >
        void
        CornersLinesBuilderFromMeshes< Model, Builder, D >::build_surfaces()
        {
            impl_->build_surfaces();
        }

        template < typename Model, typename Builder, index_t D >
        auto CornersLinesBuilderFromMeshes< Model, Builder, D >::mappings()
            -> std::pair< VertexMapping, ElementMapping >
        {
            return impl_->mappings();
        }

        template class CornersLinesBuilderFromMeshes< BRep, BRepBuilder, 3 >;
        template class CornersLinesBuilderFromMeshes< Section,
                                                      SectionBuilder,
                                                      2 >;
    } // namespace detail
} // namespace vorna
