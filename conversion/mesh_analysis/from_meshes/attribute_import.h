#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <vorna/basic/common.h>

namespace vorna
{
    class AttributeManager;

    namespace detail
    {
        namespace from_meshes
        {
            class AttributeGatherer;

            /// Brings the attributes of the inputs' vertices (or polygons)
            /// to the surfaces: every surface element takes the values of an
            /// input element merged into it, of the first input in list
            /// order that has an attribute of that name there.
            class AttributeImporter
            {
              public:
                /// Per input: its attribute manager (null for an input to
                /// skip, such as a later listing of one mesh) and the merged
                /// element of each of its elements.
                AttributeImporter(
                    std::vector< const AttributeManager* > managers,
                    std::vector< absl::Span< const index_t > > to_merged,
                    index_t nb_merged );
                ~AttributeImporter();

                /// targets: (merged element, surface element) for every
                /// element of the surface, whose manager is `to`.
                void import(
                    AttributeManager& to,
                    absl::Span< const std::pair< index_t, index_t > > targets );

              private:
                void import_from(
                    index_t input,
                    AttributeManager& to,
                    absl::Span< const std::pair< index_t, index_t > > targets );

                std::vector< const AttributeManager* > managers_;
                std::vector< absl::Span< const index_t > > to_merged_;
                index_t nb_merged_;
                // Inputs behind merged element m: inputs_[offsets_[m] ..
                // offsets_[m + 1]), ascending, once each.
                std::vector< index_t > offsets_;
                std::vector< index_t > inputs_;
                // Per input: surfaces imported so far, and a working copy
                // once it feeds a second surface.
                std::vector< index_t > nb_uses_;
                std::vector< std::unique_ptr< AttributeGatherer > > gatherers_;
                // Scratch, reset after each use.
                std::vector< index_t > merged_to_surface_;
                std::vector< std::vector< std::pair< index_t, index_t > > >
                    input_targets_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
