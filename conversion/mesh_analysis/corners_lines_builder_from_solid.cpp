#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_solid.h>

#include <vector>

#include <conversion/mesh_analysis/solid_edge_checks.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>

namespace vorna
{
    namespace detail
    {
        template < typename Model, typename Builder >
        class CornersLinesBuilderFromSolid< Model, Builder >::Impl
        {
          public:
            Impl( Model& model,
                  const SolidMesh< 3 >& solid,
                  absl::Span< const index_t > edges )
                : builder_( model ), solid_( solid ),
                  edges_( edges.begin(), edges.end() )
            {
                builder_.create_unique_vertices( solid_.nb_vertices() );
            }

            void build_wireframe( CornersLinesBuilderFromSolid& owner ) const
            {
                const auto& solid_edges = solid_.edges();
                for( const auto edge : edges_ )
                {
                    const auto& vertices = solid_edges.edge_vertices( edge );
                    owner.find_or_create_edge(
                        vertices,
                        { solid_.point( vertices[0] ),
                          solid_.point( vertices[1] ) } );
                }
            }

          private:
            Builder builder_;
            const SolidMesh< 3 >& solid_;
            std::vector< index_t > edges_;
        };

        template < typename Model, typename Builder >
        CornersLinesBuilderFromSolid< Model, Builder >::
            CornersLinesBuilderFromSolid( Model& model,
                                          const SolidMesh< 3 >& solid,
                                          absl::Span< const index_t > edges )
            : CornersLinesBuilder< Model, Builder, 3 >( model )
        {
            check_solid_edges_input(
                "CornersLinesBuilderFromSolid", model, solid, edges );
            impl_ = std::make_unique< Impl >( model, solid, edges );
        }

        template < typename Model, typename Builder >
        CornersLinesBuilderFromSolid< Model, Builder >::
            ~CornersLinesBuilderFromSolid() = default;

        template < typename Model, typename Builder >
        void
        CornersLinesBuilderFromSolid< Model, Builder >::build_wireframe_step()
        {
            // Every chosen edge is found again: a rerun adds nothing.
            this->run_wireframe_step(
                [this] { impl_->build_wireframe( *this ); },
                CornersLinesBuilderFromSolid::WireframeRerun::harmless );
        }

        template < typename Model, typename Builder >
        bool CornersLinesBuilderFromSolid< Model, Builder >::is_corner(
            index_t vertex ) const
        {
            this->check_wireframe_vertex(
                "CornersLinesBuilderFromSolid::is_corner", vertex );
            return this->wireframe().edges_around_vertex( vertex ).size() != 2;
        }

        template class CornersLinesBuilderFromSolid< BRep, BRepBuilder >;
    } // namespace detail
} // namespace vorna
