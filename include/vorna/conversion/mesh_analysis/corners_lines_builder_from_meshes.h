#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <vorna/conversion/common/component_mesh_element.h>
#include <vorna/conversion/common/generic_mapping.h>
#include <vorna/conversion/common/mesh_element.h>
#include <vorna/conversion/common/mesh_vertex.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMesh;

    namespace detail
    {
        /// What a rebuild of an existing model's meshes asks beyond a plain
        /// conversion.
        struct MeshesConversionOptions
        {
            /// Input vertices, named as the vertex mapping names them, at
            /// each of which a corner is made whatever the corner rule says
            /// (also off every line, inside a surface).
            std::vector< MeshVertex > corner_vertices;
            /// False keeps polygons of different inputs (or of one) on the
            /// same vertex cycle apart: each input polygon then gets a
            /// surface polygon of its own.
            bool merge_identical_polygons{ true };
        };

        /// Builds the corners, lines and surfaces of a model from surface
        /// meshes and curves, and records where every input vertex, polygon
        /// and curve edge went.
        ///
        /// The surface meshes are merged (colocated vertices within 1e-6
        /// become one); a single mesh without such vertices, whose stored
        /// adjacencies join distinct polygons over the same edge and all point
        /// back, is used as it is. Lines run along the
        /// merged mesh's borders and along the curves; a surface is made per
        /// group of polygons connected by stored adjacencies, its polygons
        /// oriented alike (the smallest one of each connected part keeps its
        /// orientation). The inputs are only read, so several builders may
        /// read one input at once.
        ///
        /// Use: construct, build() (from the base), build_surfaces(),
        /// mappings(). The model must have no unique vertices yet; the
        /// inputs must outlive the builder.
        /// Instantiated for <BRep,BRepBuilder,3> and
        /// <Section,SectionBuilder,2>.
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromMeshes
            : public CornersLinesBuilder< Model, Builder, D >
        {
          public:
            using VertexMapping =
                GenericMapping< MeshVertex, ComponentMeshVertex >;
            using ElementMapping =
                GenericMapping< MeshElement, ComponentMeshElement >;

            /// \throw CorvaneException when a polygon uses a vertex, or a
            /// curve edge a point, with a non-finite coordinate, when a
            /// polygon repeats a vertex in a row, when a curve edge has an
            /// unset end or joins a vertex to itself (messages naming the
            /// element and the mesh or curve, by name or else by uuid), when
            /// a used point has a coordinate beyond the bound ("Coordinates
            /// must lie within [-1e+40, 1e+40]: vertex <v> of mesh|curve
            /// '<name or uuid>' has <value>": the first such input, surfaces
            /// then curves, and its farthest coordinate), or when the model
            /// already has unique vertices (it should be empty).
            CornersLinesBuilderFromMeshes(
                Model& model,
                absl::Span<
                    const std::reference_wrapper< const EdgedCurve< D > > >
                    curves,
                absl::Span<
                    const std::reference_wrapper< const SurfaceMesh< D > > >
                    surfaces,
                MeshesConversionOptions options = {} );
            ~CornersLinesBuilderFromMeshes() override;

            /// Creates one unique vertex per distinct point of the merged
            /// mesh and the curves, and the wireframe of merged border edges
            /// and curve edges, on a pool task while the calling thread
            /// groups the polygons.
            /// \throw CorvaneException "[CornersLinesBuilder::
            /// build_wireframe_step] The wireframe is built already" on a
            /// second run (it would add every edge and unique vertex again),
            /// or when a vertex asked to carry a corner is no vertex of an
            /// input; the grouping's exception, else the wireframe task's.
            void build_wireframe_step() override;

            /// First makes the corners asked for off the wireframe. Then
            /// adds one Surface per polygon group with its mesh, unique
            /// vertices, line and corner relationships, name (from the inputs
            /// behind its first polygon) and the input attributes: each surface
            /// element takes the values of an input element merged into it, of
            /// the first input in list order that has the attribute there.
            /// The surface meshes and the surface entries of the mappings are
            /// made on the pool, with the same result on any number of
            /// threads.
            /// \throw CorvaneException "[CornersLinesBuilderFromMeshes::
            /// build_surfaces] The lines are not built: run build() first" (or
            /// its steps), or "... The surfaces are built already".
            void build_surfaces();

            /// Final mappings (vertex mapping first): input surface vertices
            /// to surface vertices at their point, input polygons to surface
            /// polygons, curve edges to line edges, curve vertices to line
            /// vertices at their point. Leaves the builder's mappings
            /// empty.
            /// \throw CorvaneException "[CornersLinesBuilderFromMeshes::
            /// mappings] The surfaces are not built: run build_surfaces()
            /// first", or "... The mappings are taken already".
            std::pair< VertexMapping, ElementMapping > mappings();

          private:
            bool is_corner( index_t vertex ) const override;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
