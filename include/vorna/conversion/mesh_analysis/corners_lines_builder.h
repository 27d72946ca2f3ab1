#pragma once

#include <array>
#include <memory>

#include <absl/functional/function_ref.h>
#include <absl/strings/string_view.h>
#include <absl/types/optional.h>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    template < index_t D >
    class EdgedCurve;

    namespace detail
    {
        /// Turns a wireframe of edges between model unique vertices into
        /// the corners and lines of a model. A derived builder fills the
        /// wireframe (build_wireframe_step, only through
        /// find_or_create_edge) and tells which wireframe vertices are
        /// corners (is_corner); this class then makes a Corner at each of
        /// them and a Line along every chain of edges between corners and
        /// along every closed loop without one.
        /// The steps run in the order wireframe, corners, lines; a step out
        /// of order throws CorvaneException naming the step to run first.
        /// The corners and lines steps may run again: what they made is
        /// kept and not made twice. The wireframe step decides for itself
        /// (see run_wireframe_step).
        /// Instantiated for <BRep,BRepBuilder,3> and
        /// <Section,SectionBuilder,2>. Not thread-safe: one thread at a time
        /// may run a step or find_or_create_edge.
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilder
        {
          public:
            virtual ~CornersLinesBuilder();
            CornersLinesBuilder( const CornersLinesBuilder& ) = delete;
            CornersLinesBuilder&
            operator=( const CornersLinesBuilder& ) = delete;

            /// Fills the wireframe. Overrides go through run_wireframe_step.
            virtual void build_wireframe_step() = 0;

            /// Wireframe step, corners step, lines step.
            void build();

            /// Adds a Corner at every wireframe vertex that has none and
            /// that is_corner accepts, in vertex order. Run again, it adds
            /// only the corners that is_corner now asks for.
            /// \throw CorvaneException "[CornersLinesBuilder::
            /// build_corners_step] The wireframe is not built: run
            /// build_wireframe_step() first", or "... The lines are built
            /// already" when it would add a corner after the lines step (the
            /// lines would run through it).
            void build_corners_step();

            /// Traces the Lines: first from every corner, in vertex order and
            /// in the order of the edges around it, then the closed loops
            /// without a corner, by ascending smallest edge. Run again, it
            /// finds every edge on a line and adds nothing.
            /// \throw CorvaneException "[CornersLinesBuilder::
            /// build_lines_step] The corners are not built: run
            /// build_corners_step() first" (every vertex without a corner must
            /// have exactly two edges).
            void build_lines_step();

            /// Makes a Corner at the wireframe vertex now, whatever
            /// is_corner says and even when the vertex has one already.
            /// \throw CorvaneException when there is no such wireframe vertex,
            /// or "[CornersLinesBuilder::add_corner] The lines are built
            /// already".
            void add_corner( index_t vertex );

            const EdgedCurve< D >& wireframe() const;

            /// The unique vertex that the wireframe vertex stands for.
            /// \throw CorvaneException when there is no such wireframe vertex.
            index_t vertex_id( index_t vertex ) const;

            /// The wireframe edge joining two unique vertices, given in
            /// either order; empty when there is none.
            absl::optional< index_t > wireframe_edge_id(
                const std::array< index_t, 2 >& unique_vertices ) const;

            /// The Line of a wireframe edge (UNSET_UUID before the lines
            /// step).
            /// \throw CorvaneException when there is no such wireframe edge.
            const uuid& line_uuid( index_t edge ) const;

            /// The edge's index in its Line's mesh (INVALID_INDEX before
            /// the lines step).
            /// \throw CorvaneException when there is no such wireframe edge.
            index_t line_edge_id( index_t edge ) const;

            /// The index of the wireframe vertex in the mesh of the Line.
            /// \throw CorvaneException when there is no such wireframe vertex;
            /// std::out_of_range when the Line does not pass through it.
            index_t line_vertex_id( index_t vertex, const uuid& line ) const;

          protected:
            /// Creates the empty wireframe with its attributes.
            explicit CornersLinesBuilder( Model& model );

            /// The wireframe edge of two unique vertices, created with its
            /// missing end vertices when the unordered pair is new;
            /// points[i] is the position of unique_vertices[i]. A vertex
            /// keeps the point of the first edge that reached it.
            index_t find_or_create_edge(
                const std::array< index_t, 2 >& unique_vertices,
                const std::array< Point< D >, 2 >& points );

            /// Whether a second wireframe step may run: only a fill that
            /// finds again every edge it made (and adds nothing else) makes
            /// it harmless.
            enum struct WireframeRerun
            {
                refused,
                harmless
            };

            /// Runs `fill` as the wireframe step, so that the later steps
            /// know that it ran.
            /// \throw CorvaneException "[CornersLinesBuilder::
            /// build_wireframe_step] The wireframe is built already" on a
            /// second run, unless `rerun` is harmless.
            void run_wireframe_step(
                absl::FunctionRef< void() > fill,
                WireframeRerun rerun = WireframeRerun::refused );

            /// \throw CorvaneException "[<operation>] Wireframe vertex <v> is
            /// out of range [0, <count>)".
            void check_wireframe_vertex( absl::string_view operation,
                                         index_t vertex ) const;

            bool wireframe_built() const;

            bool lines_built() const;

          private:
            /// True when the wireframe vertex must carry a corner; must be
            /// true for every vertex that does not have exactly two edges.
            virtual bool is_corner( index_t vertex ) const = 0;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
