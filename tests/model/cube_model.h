#pragma once

#include <array>
#include <vector>

#include <vorna/basic/uuid.h>
#include <vorna/geometry/point.h>
#include <vorna/model/brep.h>

#include "support/cube_tables.h"

namespace vorna
{
    namespace test
    {
        /// The unit cube as a hand-built BRep. Cube vertex i sits at
        /// (i & 1, (i >> 1) & 1, (i >> 2) & 1) and is unique vertex i.
        /// - corner i: one vertex;
        /// - lines: the 12 edges (i, j), i < j, in ascending (i, bit) order,
        ///   mesh vertices 0 -> i, 1 -> j, one edge;
        /// - surfaces: faces -z, +z, -y, +y, -x, +x, each 4 vertices (the
        ///   quad of `face_vertices`, normals pointing outwards) and 2
        ///   triangles (0,1,2), (0,2,3);
        /// - one block: a tetrahedral mesh of 8 vertices (vertex i -> i) and
        ///   6 positive tetrahedra;
        /// - one model boundary holding the 6 surfaces.
        /// Relationships: corner-line and line-surface boundaries (in line
        /// and face order), surface-block boundaries.
        struct CubeModel
        {
            BRep brep;
            std::array< uuid, 8 > corners;
            std::array< uuid, 12 > lines;
            std::array< std::array< index_t, 2 >, 12 > line_vertices;
            std::array< uuid, 6 > surfaces;
            std::array< std::array< index_t, 4 >, 6 > face_vertices;
            uuid block;
            uuid model_boundary;
        };

        CubeModel build_cube_model();
    } // namespace test
} // namespace vorna
