// GCC takes the move of an empty absl::InlinedVector of these records for a
// read of uninitialised storage: a false positive.
#if defined( __GNUC__ ) && !defined( __clang__ )
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_model.h>

#include <algorithm>

#include <absl/container/inlined_vector.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
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
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromModel< Model, Builder, D >::Impl
        {
            using Owner = CornersLinesBuilderFromModel< Model, Builder, D >;

          public:
            /// A surface polygon edge; the surface by its rank in the model's
            /// order, which names it as well as its uuid and keeps the
            /// record small.
            struct SurfacePolygonEdge
            {
                SurfacePolygonEdge() = default;
                SurfacePolygonEdge( index_t surface_rank, PolygonEdge edge )
                    : surface( surface_rank ), polygon_edge( edge )
                {
                }

                index_t surface{ INVALID_INDEX };
                PolygonEdge polygon_edge;
            };
            using SurfacePolygonEdges =
                absl::InlinedVector< SurfacePolygonEdge, 3 >;

            Impl( Owner& owner, const Model& model )
                : owner_( owner ), model_( model ),
                  polygon_edges_(
                      owner.wireframe()
                          .edge_attribute_manager()
                          .template find_or_create_attribute<
                              VariableAttribute,
                              SurfacePolygonEdges >( "polygon_edges",
                                                     SurfacePolygonEdges{} ) )
            {
            }

            void build_wireframe_step()
            {
                index_t rank{ 0 };
                for( const auto& surface : model_.surfaces() )
                {
                    const auto& mesh = surface.mesh();
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        const auto nb_edges = mesh.nb_polygon_edges( p );
                        for( local_index_t e = 0; e < nb_edges; e++ )
                        {
                            const PolygonEdge edge{ p, e };
                            if( mesh.is_edge_on_border( edge ) )
                            {
                                add_border_edge( surface, rank, edge );
                            }
                        }
                    }
                    rank++;
                }
            }

            bool is_corner( index_t vertex ) const
            {
                const auto& around =
                    owner_.wireframe().edges_around_vertex( vertex );
                if( around.size() != 2 )
                {
                    return true;
                }
                return edge_surfaces( around[0].edge_id ) !=
                       edge_surfaces( around[1].edge_id );
            }

          private:
            void add_border_edge( const Surface< D >& surface,
                                  index_t rank,
                                  const PolygonEdge& edge )
            {
                const auto& mesh = surface.mesh();
                const auto vertices = mesh.polygon_edge_vertices( edge );
                std::array< index_t, 2 > unique_vertices;
                for( const local_index_t end : { 0, 1 } )
                {
                    unique_vertices[end] = model_.unique_vertex(
                        { surface.component_id(), vertices[end] } );
                    if( unique_vertices[end] == INVALID_INDEX )
                    {
                        throw CorvaneException(
                            "[CornersLinesBuilderFromModel::build_wireframe_"
                            "step] Vertex ",
                            vertices[end],
                            " of surface ",
                            surface.id().string(),
                            " has no unique vertex" );
                    }
                }
                const auto wireframe_edge = owner_.find_or_create_edge(
                    unique_vertices,
                    { mesh.point( vertices[0] ), mesh.point( vertices[1] ) } );
                polygon_edges_->modify_value(
                    wireframe_edge,
                    [rank, &edge]( SurfacePolygonEdges& edges )
                    { edges.emplace_back( rank, edge ); } );
            }

            /// The surfaces along a wireframe edge, ascending, each once.
            absl::InlinedVector< index_t, 4 >
            edge_surfaces( index_t edge ) const
            {
                absl::InlinedVector< index_t, 4 > surfaces;
                for( const auto& side : polygon_edges_->value( edge ) )
                {
                    surfaces.push_back( side.surface );
                }
                std::sort( surfaces.begin(), surfaces.end() );
                surfaces.erase( std::unique( surfaces.begin(), surfaces.end() ),
                                surfaces.end() );
                return surfaces;
            }

          private:
            Owner& owner_;
            const Model& model_;
            std::shared_ptr< VariableAttribute< SurfacePolygonEdges > >
                polygon_edges_;
        };

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromModel< Model, Builder, D >::
            CornersLinesBuilderFromModel( Model& model )
            : CornersLinesBuilder< Model, Builder, D >( model ),
              impl_( std::make_unique< Impl >( *this, model ) )
        {
        }

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromModel< Model, Builder, D >::
            ~CornersLinesBuilderFromModel() = default;

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilderFromModel< Model, Builder, D >::
            build_wireframe_step()
        {
            this->run_wireframe_step( [this]
                                      { impl_->build_wireframe_step(); } );
        }

        template < typename Model, typename Builder, index_t D >
        bool CornersLinesBuilderFromModel< Model, Builder, D >::is_corner(
            index_t vertex ) const
        {
            return impl_->is_corner( vertex );
        }

        template class CornersLinesBuilderFromModel< BRep, BRepBuilder, 3 >;
        template class CornersLinesBuilderFromModel< Section,
                                                     SectionBuilder,
                                                     2 >;
    } // namespace detail
} // namespace vorna
