#pragma once

#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <vorna/basic/uuid.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_solid.h>

namespace vorna
{
    class BRep;
    class BRepBuilder;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Builds the corners, lines and surfaces of a BRep from chosen
        /// elements of a solid mesh: the line edges become lines, the facets
        /// surfaces, one per piece that the facets fall into once cut along
        /// the line edges. Corners go where lines end or branch, and where the
        /// number of chosen facets along a line changes. Unique vertex i is
        /// solid vertex i. No block, no model boundary; nothing is left on
        /// the solid.
        ///
        /// Use: construct, build() (or its three steps),
        /// build_whole_surface_step(), build_surfaces(), in that order: any
        /// other order throws CorvaneException. build() and its steps may
        /// run again and add nothing; the last two steps run once. The solid
        /// must outlive the builder; both index lists are copied.
        class BRepFromSolidElementsBuilder
            : public CornersLinesBuilderFromSolid< BRep, BRepBuilder >
        {
          public:
            /// Creates one unique vertex per solid vertex.
            /// \throw CorvaneException, leaving the model unchanged, when the
            /// model already has unique vertices; when a line edge or facet
            /// index is not in the solid; when a facet is chosen twice or
            /// lists a vertex twice; when a vertex of a line edge or chosen
            /// facet has a non-finite coordinate (the smallest such vertex,
            /// line edges first), or one beyond [-1e+40, 1e+40] (naming the
            /// farthest coordinate, line edges first; "Coordinates must lie
            /// within [-1e+40, 1e+40]: vertex <v> of mesh '<name or uuid>'
            /// has <value>"); or when a side on the border of the chosen
            /// facets (a vertex pair they use other than exactly twice) is not
            /// among the line edges: every such edge must be named.
            BRepFromSolidElementsBuilder(
                BRep& model,
                const SolidMesh< 3 >& solid,
                absl::Span< const index_t > line_edges,
                absl::Span< const index_t > facets );
            ~BRepFromSolidElementsBuilder() override;

            /// A corner where the wireframe vertex does not have exactly two
            /// edges, or where its two edges are bordered by different numbers
            /// of chosen facets.
            /// \throw CorvaneException when there is no such wireframe vertex.
            bool is_corner( index_t vertex ) const override;

            /// Makes the whole surface, polygon k from the facet at position k,
            /// cuts it along the line edges and orients the polygons of each
            /// piece alike.
            /// \throw CorvaneException "[BRepFromSolidElementsBuilder::
            /// build_whole_surface_step] The wireframe is not built: run
            /// build() first", or "... The whole surface is built already".
            void build_whole_surface_step();

            /// Adds one Surface per piece of the whole surface, related to the
            /// lines along and inside it and to the corners strictly inside
            /// it, then cuts the model's surfaces along their internal lines.
            /// \return for each new surface, the ascending facet positions its
            /// polygons come from: polygon i from the facet at entry i.
            /// \throw CorvaneException "[BRepFromSolidElementsBuilder::
            /// build_surfaces] The lines are not built: run build() first",
            /// "... The whole surface is not built: run
            /// build_whole_surface_step() first", or "... The surfaces are
            /// built already".
            absl::flat_hash_map< uuid, std::vector< index_t > >
            build_surfaces();

          private:
            class Impl;

            BRepFromSolidElementsBuilder(
                std::unique_ptr< Impl > impl,
                BRep& model,
                const SolidMesh< 3 >& solid,
                absl::Span< const index_t > line_edges );

          private:
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
