#include <vorna/conversion/model/brep_from_meshes_builder.h>

#include <string>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

#include <conversion/common/step_checks.h>

#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>
#include <vorna/conversion/model/build_blocks.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/cut_along_internal_lines.h>
#include <vorna/model/model_boundary.h>
#include <vorna/model/surface.h>

namespace vorna
{
    namespace detail
    {
        class BRepFromMeshesBuilder::Impl
        {
          public:
            Impl( BRep& brep,
                  absl::Span<
                      const std::reference_wrapper< const EdgedCurve< 3 > > >
                      curves,
                  absl::Span<
                      const std::reference_wrapper< const SurfaceMesh< 3 > > >
                      surfaces,
                  MeshesConversionOptions options )
                : brep_( brep ), builder_( brep ),
                  corners_lines_( brep, curves, surfaces, std::move( options ) )
            {
            }

            // The two builds are one step, run once: a second would add
            // every component again.
            void start_build( absl::string_view step )
            {
                check_step_not_done(
                    absl::StrCat( "BRepFromMeshesBuilder::", step ),
                    built_,
                    "The model is" );
                built_ = true;
            }

            Mappings build()
            {
                corners_lines_.build();
                corners_lines_.build_surfaces();
                auto mappings = corners_lines_.mappings();
                CutAlongInternalLines< BRep, BRepBuilder, 3 > cutter{ brep_ };
                for( const auto& duplicated : cutter.cut_all_surfaces() )
                {
                    // Copied: mapping the new vertex may rehash the list away.
                    const auto inputs =
                        mappings.first.out2in( duplicated.first );
                    for( const auto& input : inputs )
                    {
                        mappings.first.map( input, duplicated.second );
                    }
                }
                return mappings;
            }

            // Surfaces that bound exactly one block face the model's outside
            // (or a hole): grouped by name, as the input meshes named them.
            void add_model_boundaries()
            {
                absl::flat_hash_map< std::string, uuid > boundaries;
                for( const auto& boundary : brep_.model_boundaries() )
                {
                    boundaries.emplace( std::string{ boundary.name() },
                                        boundary.id() );
                }
                for( const auto& surface : brep_.surfaces() )
                {
                    if( brep_.nb_incidences( surface.id() ) != 1 )
                    {
                        continue;
                    }
                    std::string name{ surface.name() };
                    auto found = boundaries.find( name );
                    if( found == boundaries.end() )
                    {
                        const uuid boundary = builder_.add_model_boundary();
                        builder_.set_model_boundary_name( boundary, name );
                        found =
                            boundaries.emplace( std::move( name ), boundary )
                                .first;
                    }
                    builder_.add_surface_in_model_boundary(
                        surface, brep_.model_boundary( found->second ) );
                }
            }

            void build_blocks()
            {
                vorna::build_blocks( brep_ );
            }

          private:
            BRep& brep_;
            BRepBuilder builder_;
            CornersLinesBuilderFromMeshes< BRep, BRepBuilder, 3 >
                corners_lines_;
            bool built_{ false };
        };

        BRepFromMeshesBuilder::BRepFromMeshesBuilder(
            BRep& brep,
            absl::Span< const std::reference_wrapper< const EdgedCurve< 3 > > >
                curves,
            absl::Span< const std::reference_wrapper< const SurfaceMesh< 3 > > >
                surfaces,
            MeshesConversionOptions options )
            : impl_{ std::make_unique< Impl >(
                  brep, curves, surfaces, std::move( options ) ) }
        {
        }

        BRepFromMeshesBuilder::~BRepFromMeshesBuilder() = default;

        BRepFromMeshesBuilder::Mappings
        BRepFromMeshesBuilder::build_brep_with_blocks()
        {
            impl_->start_build( "build_brep_with_blocks" );
            auto mappings = impl_->build();
            impl_->build_blocks();
            impl_->add_model_boundaries();
            return mappings;
        }

        BRepFromMeshesBuilder::Mappings
        BRepFromMeshesBuilder::build_brep_without_blocks()
        {
            impl_->start_build( "build_brep_without_blocks" );
            return impl_->build();
        }
    } // namespace detail
} // namespace vorna
