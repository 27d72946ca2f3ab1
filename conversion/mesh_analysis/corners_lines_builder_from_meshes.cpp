#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>

#include <algorithm>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <conversion/common/step_checks.h>
#include <conversion/common/tasks.h>
#include <conversion/mesh_analysis/from_meshes/corner_rule.h>
#include <conversion/mesh_analysis/from_meshes/groups.h>
#include <conversion/mesh_analysis/from_meshes/inputs.h>
#include <conversion/mesh_analysis/from_meshes/mappings.h>
#include <conversion/mesh_analysis/from_meshes/surfaces.h>
#include <conversion/mesh_analysis/from_meshes/wireframe.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/point_set_builder.h>
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
                  from_meshes::SurfaceSpan< D > surfaces,
                  MeshesConversionOptions options )
                : owner_( owner ), model_( model ), builder_( model ),
                  corner_vertices_( std::move( options.corner_vertices ) ),
                  input_( curves, surfaces, options.merge_identical_polygons ),
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
                find_asked_corners();
            }

            bool is_corner( index_t vertex ) const
            {
                return ( !asked_corners_.empty() &&
                         std::binary_search( asked_corners_.begin(),
                                             asked_corners_.end(),
                                             owner_.vertex_id( vertex ),
                                             AskedCornerOrder{} ) ) ||
                       from_meshes::is_corner_vertex(
                           owner_.wireframe(), wireframe_, groups_, vertex );
            }

            void build_surfaces()
            {
                static constexpr auto OPERATION =
                    "CornersLinesBuilderFromMeshes::build_surfaces";
                check_step_done(
                    OPERATION, owner_.lines_built(), "The lines are", "build" );
                check_step_not_done(
                    OPERATION, surfaces_built_, "The surfaces are" );
                surfaces_built_ = true;
                add_asked_corners_off_the_wireframe();
                surfaces_.build( vertex_mapping_, element_mapping_ );
            }

            std::pair< VertexMapping, ElementMapping > mappings()
            {
                static constexpr auto OPERATION =
                    "CornersLinesBuilderFromMeshes::mappings";
                check_step_done( OPERATION,
                                 surfaces_built_,
                                 "The surfaces are",
                                 "build_surfaces" );
                check_step_not_done(
                    OPERATION, mappings_taken_, "The mappings are", "taken" );
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
            /// A unique vertex asked to carry a corner, and its point.
            using AskedCorner = std::pair< index_t, Point< D > >;

            struct AskedCornerOrder
            {
                bool operator()( const AskedCorner& left, index_t right ) const
                {
                    return left.first < right;
                }
                bool operator()( index_t left, const AskedCorner& right ) const
                {
                    return left < right.first;
                }
            };

            /// The unique vertex of each input vertex asked to carry a
            /// corner, once each, in ascending order.
            void find_asked_corners()
            {
                if( corner_vertices_.empty() )
                {
                    return;
                }
                // Per input mesh: the unique vertex of each vertex, and the
                // curve, whose points may lie off the merged mesh.
                using Input = std::pair< const std::vector< index_t >*,
                                         const EdgedCurve< D >* >;
                absl::flat_hash_map< uuid, Input > inputs;
                for( const auto& source : wireframe_.sources() )
                {
                    inputs.emplace( source.mesh.id(),
                                    Input{ &source.vertex_unique, nullptr } );
                }
                const auto& curves = input_.curves();
                for( index_t c = 0; c < curves.size(); c++ )
                {
                    inputs.emplace( curves[c].get().id(),
                                    Input{ &wireframe_.curve_vertices( c ),
                                           &curves[c].get() } );
                }
                const auto& merged = input_.merged();
                for( const auto& vertex : corner_vertices_ )
                {
                    const auto found = inputs.find( vertex.mesh_id );
                    if( found == inputs.end() ||
                        vertex.vertex >= found->second.first->size() )
                    {
                        throw CorvaneException(
                            "[CornersLinesBuilderFromMeshes] Vertex ",
                            vertex.vertex,
                            " of mesh '",
                            vertex.mesh_id.string(),
                            "' is no input vertex to put a corner at" );
                    }
                    const auto unique =
                        found->second.first->at( vertex.vertex );
                    asked_corners_.emplace_back(
                        unique,
                        unique < merged.nb_vertices()
                            ? merged.point( unique )
                            : found->second.second->point( vertex.vertex ) );
                }
                const auto by_vertex =
                    []( const AskedCorner& left, const AskedCorner& right )
                { return left.first < right.first; };
                std::stable_sort(
                    asked_corners_.begin(), asked_corners_.end(), by_vertex );
                asked_corners_.erase(
                    std::unique(
                        asked_corners_.begin(),
                        asked_corners_.end(),
                        [&]( const AskedCorner& left, const AskedCorner& right )
                        { return !by_vertex( left, right ); } ),
                    asked_corners_.end() );
            }

            /// The corners step made the asked corners on the wireframe;
            /// the others lie off every line.
            void add_asked_corners_off_the_wireframe()
            {
                if( asked_corners_.empty() )
                {
                    return;
                }
                absl::flat_hash_set< index_t > with_corner;
                for( const auto& corner : model_.corners() )
                {
                    with_corner.insert(
                        model_.unique_vertex( { corner.component_id(), 0 } ) );
                }
                for( const auto& asked : asked_corners_ )
                {
                    if( with_corner.contains( asked.first ) )
                    {
                        continue;
                    }
                    const auto& corner = builder_.add_corner();
                    builder_.corner_mesh_builder( corner )->create_point(
                        asked.second );
                    builder_.set_unique_vertex(
                        { { from_meshes::corner_type(), corner }, 0 },
                        asked.first );
                }
            }

            Owner& owner_;
            Model& model_;
            Builder builder_;
            std::vector< MeshVertex > corner_vertices_;
            std::vector< AskedCorner > asked_corners_;
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
                    surfaces,
                MeshesConversionOptions options )
            : CornersLinesBuilder< Model, Builder, D >( model ),
              impl_( (
                  from_meshes::check_model_has_no_unique_vertex( model ),
                  std::make_unique< Impl >(
                      *this, model, curves, surfaces, std::move( options ) ) ) )
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
