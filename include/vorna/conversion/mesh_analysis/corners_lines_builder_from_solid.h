#pragma once

#include <memory>

#include <absl/types/span.h>

#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

namespace vorna
{
    template < index_t D >
    class SolidMesh;

    namespace detail
    {
        /// Builds the corners and lines of a model from chosen edges of a
        /// solid mesh. Unique vertex i of the model is solid vertex i, for
        /// every solid vertex; corners go where the chosen edges end or
        /// branch (a wireframe vertex without exactly two edges), lines along
        /// the chains between them and along closed loops.
        ///
        /// Use: construct, then build() (or its three steps); the solid must
        /// outlive the builder. The edge indices are copied. Instantiated for
        /// <BRep,BRepBuilder> only.
        template < typename Model, typename Builder >
        class CornersLinesBuilderFromSolid
            : public CornersLinesBuilder< Model, Builder, 3 >
        {
          public:
            /// Creates one unique vertex per solid vertex.
            /// \throw CorvaneException, leaving the model unchanged, when the
            /// model already has unique vertices (it should be empty), when
            /// an edge index is not below the solid's edge count, or when an
            /// edge end has a non-finite coordinate (the smallest such
            /// vertex) or one beyond [-1e+40, 1e+40] (the farthest).
            CornersLinesBuilderFromSolid( Model& model,
                                          const SolidMesh< 3 >& solid,
                                          absl::Span< const index_t > edges );
            ~CornersLinesBuilderFromSolid() override;

            /// One wireframe edge per distinct chosen solid edge, in the order
            /// of first use. Run again, it finds every edge and adds nothing.
            void build_wireframe_step() override;

            /// True when the wireframe vertex does not have exactly two
            /// wireframe edges.
            /// \throw CorvaneException when there is no such wireframe vertex.
            bool is_corner( index_t vertex ) const override;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
