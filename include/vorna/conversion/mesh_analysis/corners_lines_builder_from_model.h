#pragma once

#include <memory>

#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

namespace vorna
{
    namespace detail
    {
        /// Builds the corners and lines of a model whose surfaces already
        /// hold their meshes and unique vertices. The wireframe is the border
        /// edges of all surface meshes, keyed by unique vertices, so that
        /// where surfaces meet their borders become one edge. A wireframe
        /// vertex is a corner where the wireframe branches or ends, or where
        /// the set of surfaces along it changes. Adds no surface and no
        /// line-surface relationship.
        ///
        /// Use: construct, build() (from the base). No other thread may
        /// change the model meanwhile.
        /// Instantiated for <BRep,BRepBuilder,3> and
        /// <Section,SectionBuilder,2>.
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromModel
            : public CornersLinesBuilder< Model, Builder, D >
        {
          public:
            /// Does not change the model.
            explicit CornersLinesBuilderFromModel( Model& model );
            ~CornersLinesBuilderFromModel() override;

            /// Walks the surfaces in model order, their polygons and edges in
            /// index order, and adds every border edge. Call once.
            /// \throw CorvaneException when a border edge's vertex has no
            /// unique vertex; the wireframe then holds the edges met before.
            void build_wireframe_step() override;

          private:
            bool is_corner( index_t vertex ) const override;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
