#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <absl/types/span.h>

#include <vorna/conversion/common/component_mesh_element.h>
#include <vorna/conversion/common/generic_mapping.h>
#include <vorna/conversion/common/mesh_element.h>
#include <vorna/conversion/common/mesh_vertex.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    class BRep;
    template < index_t D >
    class EdgedCurve;
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Builds a whole BRep from 3D curves and surface meshes: corners,
        /// lines and surfaces from their wireframe, the surfaces cut along
        /// their internal lines, then (optionally) the blocks and the model
        /// boundaries. Also tells where every input vertex and element went.
        /// The input meshes must outlive the builder, and the model should
        /// be empty. One build operation is called, once.
        class BRepFromMeshesBuilder
        {
          public:
            using Mappings = std::pair<
                GenericMapping< MeshVertex, ComponentMeshVertex >,
                GenericMapping< MeshElement, ComponentMeshElement > >;

            /// Sets up the wireframe and groups the polygons of the merged
            /// input surfaces, as `options` ask.
            /// \throw as detail::CornersLinesBuilderFromMeshes's
            /// constructor (a used point with a non-finite coordinate or
            /// one beyond the coordinate bound).
            BRepFromMeshesBuilder( BRep& brep,
                                   absl::Span< const std::reference_wrapper<
                                       const EdgedCurve< 3 > > > curves,
                                   absl::Span< const std::reference_wrapper<
                                       const SurfaceMesh< 3 > > > surfaces,
                                   MeshesConversionOptions options = {} );
            ~BRepFromMeshesBuilder();

            BRepFromMeshesBuilder( const BRepFromMeshesBuilder& ) = delete;
            BRepFromMeshesBuilder&
            operator=( const BRepFromMeshesBuilder& ) = delete;

            /// Corners, lines, cut surfaces, blocks and model boundaries
            /// (one per surface name, holding the surfaces that bound
            /// exactly one block).
            /// \return the vertex mapping and the element mapping.
            /// \throw CorvaneException "[BRepFromMeshesBuilder::<build>] The
            /// model is built already" (by either build); std::out_of_range
            /// when a vertex duplicated by the cut stands for no input vertex
            /// (an inconsistent mapping); whatever block building or the
            /// framework throws.
            Mappings build_brep_with_blocks();

            /// Corners, lines and cut surfaces only: no block and no model
            /// boundary.
            /// \throw as build_brep_with_blocks.
            Mappings build_brep_without_blocks();

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
