#pragma once

#include <conversion/mesh_analysis/from_meshes/groups.h>
#include <conversion/mesh_analysis/from_meshes/wireframe.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// Whether a line must end at a wireframe vertex: unless exactly
            /// two wireframe edges meet there that border the same groups
            /// and run inside the same groups and, when they border none,
            /// come from the same curves.
            template < index_t D >
            bool is_corner_vertex( const EdgedCurve< D >& wireframe,
                                   const MeshesWireframe< D >& edges,
                                   const PolygonGroups< D >& groups,
                                   index_t vertex );
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
