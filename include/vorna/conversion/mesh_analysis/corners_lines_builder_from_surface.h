#pragma once

#include <memory>

#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMesh;

    namespace detail
    {
        /// Shared text of the polygon attribute naming each polygon's
        /// Surface, for both instantiations.
        inline constexpr char surface_uuid_attribute_text[] = "surface_uuid";

        /// Builds the corners, lines and surfaces of a model from one surface
        /// mesh. The wireframe is the mesh's border edges; a wireframe vertex
        /// is a corner where the polygon regions along its two edges change
        /// (or where it has another number of edges than two). A region is a
        /// group of polygons joined by the adjacencies the mesh stores, and
        /// becomes one Surface holding a copy of its polygons (polygon k is
        /// the region's k-th polygon, ascending) with the mesh's vertex and
        /// polygon attributes. Unique vertex k is input vertex k.
        ///
        /// Leaves on the input mesh the polygon attributes
        /// "surface_identifier" (region number) and "surface_uuid" (the
        /// Surface of each polygon, once build_surfaces ran): two threads
        /// must not build from one mesh at once.
        ///
        /// Use: construct; build(), or the steps one by one with any
        /// add_corner calls between the wireframe step and the corners step;
        /// then build_surfaces(). The mesh must outlive the builder and stay
        /// unchanged while it works.
        /// Instantiated for <BRep,BRepBuilder,3> and
        /// <Section,SectionBuilder,2>.
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromSurface
            : public CornersLinesBuilder< Model, Builder, D >
        {
          public:
            static constexpr const char* surface_uuid_attribute_name =
                surface_uuid_attribute_text;

            /// Creates one model unique vertex per input vertex. Region
            /// labels left on the mesh by an earlier build are cleared, so
            /// that the mesh is grouped afresh.
            /// \throw CorvaneException when the model already has unique
            /// vertices, or when "surface_identifier" or "surface_uuid" is
            /// taken on the mesh's polygons by another storage or value type;
            /// the model is not changed then.
            CornersLinesBuilderFromSurface( Model& model,
                                            const SurfaceMesh< D >& mesh );
            ~CornersLinesBuilderFromSurface() override;

            /// Fills the wireframe with the mesh's border edges on a pool
            /// task while the calling thread groups the polygons into
            /// regions. Call once.
            /// \throw the grouping's exception, else the wireframe task's.
            void build_wireframe_step() override;

            /// Adds one Surface per region, in region order, relates it to
            /// the lines along its border (boundary: the region lies on one
            /// side; internal: on both) in the order they are met, then fills
            /// every Surface's mesh in parallel and sets its unique vertices.
            /// \pre the lines step ran; call once.
            /// \throw CorvaneException before the wireframe step (regions not
            /// numbered) or the lines step (no line to relate); the first
            /// exception of a filling task in region order, or of setting
            /// unique vertices, once every task has ended. The Surfaces added
            /// stay in the model then, and no unique vertex is set unless
            /// every task succeeded.
            void build_surfaces();

          private:
            bool is_corner( index_t vertex ) const override;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
