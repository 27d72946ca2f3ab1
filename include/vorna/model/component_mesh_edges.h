#pragma once

#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>
#include <vorna/mesh/mesh_element.h>
#include <vorna/model/brep.h>
#include <vorna/model/section.h>
#include <vorna/model/surface.h>

namespace vorna
{
    /// Component mesh edges that stand for one model edge, by component id.
    struct ModelComponentMeshEdges
    {
        /// Line id -> ascending edge indices.
        absl::flat_hash_map< uuid, std::vector< index_t > > line_edges;
        /// Surface id -> polygon edges, ascending by (polygon, edge).
        absl::flat_hash_map< uuid, std::vector< PolygonEdge > > surface_edges;
    };

    /// With u0, u1 the unique vertices of the ends of `edge` of `surface`:
    /// every line edge and every surface polygon edge whose ends map to
    /// {u0, u1}. The given edge is included, so `surface` always has an
    /// entry, unless u0 or u1 is unset, in which case the result is empty.
    /// \throw CorvaneException when the edge is not in the surface's mesh.
    ModelComponentMeshEdges component_mesh_edges( const Section& section,
                                                  const Surface< 2 >& surface,
                                                  const PolygonEdge& edge );

    /// The same for a BRep.
    ModelComponentMeshEdges component_mesh_edges( const BRep& brep,
                                                  const Surface< 3 >& surface,
                                                  const PolygonEdge& edge );
} // namespace vorna
