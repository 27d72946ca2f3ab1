#pragma once

#include <conversion/mesh_analysis/from_meshes/inputs.h>
#include <conversion/mesh_analysis/from_meshes/wireframe.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// Maps curve edges to their line edges, curve vertices to every
            /// line vertex at their point. Each curve listed twice is mapped
            /// once.
            template < typename Model, typename Builder, index_t D >
            void map_curves(
                const CornersLinesBuilder< Model, Builder, D >& corners_lines,
                const Model& model,
                const MeshesInput< D >& input,
                const MeshesWireframe< D >& wireframe,
                VertexMapping& vertex_mapping,
                ElementMapping& element_mapping );
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
