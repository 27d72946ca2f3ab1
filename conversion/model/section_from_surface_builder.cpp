#include <vorna/conversion/model/section_from_surface_builder.h>

#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

#include <conversion/common/index_checks.h>
#include <conversion/common/step_checks.h>
#include <conversion/model/section_input.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_surface.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/cut_along_internal_lines.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace vorna
{
    namespace detail
    {
        class SectionFromSurfaceBuilder::Impl
        {
          public:
            using WireframeBuilder =
                CornersLinesBuilderFromSurface< Section, SectionBuilder, 2 >;

            Impl( Section& section, const SurfaceMesh< 2 >& mesh )
                : section_( section ), builder_( section ),
                  wireframe_builder_( section, checked( mesh ) )
            {
            }

            const WireframeBuilder& wireframe_builder() const
            {
                return wireframe_builder_;
            }

            void build()
            {
                refuse_unless( Step::none, "build" );
                build_wireframe_step();
                build_section_components_step();
                cut_surfaces_by_lines_step();
            }

            void build_wireframe_step()
            {
                refuse_unless( Step::none, "build_wireframe_step" );
                done_ = Step::wireframe;
                wireframe_builder_.build_wireframe_step();
            }

            void add_wireframe_corner( index_t vertex )
            {
                refuse_unless( Step::wireframe, "add_wireframe_corner" );
                check_index( "SectionFromSurfaceBuilder::add_wireframe_corner",
                             "Wireframe vertex",
                             vertex,
                             wireframe_builder_.wireframe().nb_vertices() );
                if( !forced_corners_.insert( vertex ).second )
                {
                    throw CorvaneException(
                        "[SectionFromSurfaceBuilder::add_wireframe_corner] "
                        "Wireframe vertex ",
                        vertex,
                        " has a corner already" );
                }
                wireframe_builder_.add_corner( vertex );
            }

            void build_section_components_step()
            {
                refuse_unless( Step::wireframe,
                               "build_section_components_step" );
                done_ = Step::components;
                wireframe_builder_.build_corners_step();
                wireframe_builder_.build_lines_step();
                wireframe_builder_.build_surfaces();
                const auto& boundary =
                    section_.model_boundary( builder_.add_model_boundary() );
                for( const auto& line : section_.lines() )
                {
                    if( section_.nb_incidences( line.id() ) == 1 )
                    {
                        builder_.add_line_in_model_boundary( line, boundary );
                    }
                }
            }

            void cut_surfaces_by_lines_step()
            {
                refuse_unless( Step::components, "cut_surfaces_by_lines_step" );
                done_ = Step::cut;
                CutAlongInternalLines< Section, SectionBuilder, 2 >{ section_ }
                    .cut_all_surfaces();
            }

          private:
            /// The last step run: steps run once each, in this order.
            enum struct Step
            {
                none,
                wireframe,
                components,
                cut
            };

            /// Refuses the operation unless `last` is the last step run,
            /// naming the step to run first or the one already run.
            void refuse_unless( Step last, absl::string_view operation ) const
            {
                if( done_ == last )
                {
                    return;
                }
                struct Made
                {
                    absl::string_view subject;
                    absl::string_view made;
                    absl::string_view step;
                };
                static constexpr Made steps[] = {
                    { "", "", "" },
                    { "The wireframe is", "built", "build_wireframe_step" },
                    { "The section components are",
                      "built",
                      "build_section_components_step" },
                    { "The surfaces are",
                      "cut",
                      "cut_surfaces_by_lines_step" } };
                const auto refused =
                    absl::StrCat( "SectionFromSurfaceBuilder::", operation );
                const auto& ran = steps[static_cast< int >( done_ )];
                check_step_not_done(
                    refused, done_ > last, ran.subject, ran.made );
                const auto& missing = steps[static_cast< int >( last )];
                check_step_done(
                    refused, done_ > last, missing.subject, missing.step );
            }

            // Before the wireframe builder writes on the mesh and the model.
            static const SurfaceMesh< 2 >&
            checked( const SurfaceMesh< 2 >& mesh )
            {
                check_section_polygons( mesh, "SectionFromSurfaceBuilder", {} );
                check_section_attribute_names( mesh,
                                               "SectionFromSurfaceBuilder" );
                return mesh;
            }

            Section& section_;
            SectionBuilder builder_;
            WireframeBuilder wireframe_builder_;
            Step done_{ Step::none };
            absl::flat_hash_set< index_t > forced_corners_;
        };

        SectionFromSurfaceBuilder::SectionFromSurfaceBuilder(
            Section& section, const SurfaceMesh< 2 >& mesh )
            : impl_( std::make_unique< Impl >( section, mesh ) )
        {
        }

        SectionFromSurfaceBuilder::~SectionFromSurfaceBuilder() = default;

        void SectionFromSurfaceBuilder::build_wireframe_step()
        {
            impl_->build_wireframe_step();
        }

        void SectionFromSurfaceBuilder::add_wireframe_corner( index_t vertex )
        {
            impl_->add_wireframe_corner( vertex );
        }

        void SectionFromSurfaceBuilder::build_section_components_step()
        {
            impl_->build_section_components_step();
        }

        void SectionFromSurfaceBuilder::cut_surfaces_by_lines_step()
        {
            impl_->cut_surfaces_by_lines_step();
        }

        void SectionFromSurfaceBuilder::build()
        {
            impl_->build();
        }

        const CornersLinesBuilderFromSurface< Section, SectionBuilder, 2 >&
        SectionFromSurfaceBuilder::wireframe() const
        {
            return impl_->wireframe_builder();
        }
    } // namespace detail
} // namespace vorna
