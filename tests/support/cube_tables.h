#pragma once

// The cube's corners and faces, shared by the fixtures of every layer
// (header only: the framework tests do not link the support library).

#include <array>

#include <vorna/basic/common.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    namespace test
    {
        /// Corner i of the cube [origin, origin + size]^3 lies at
        /// origin + size * (i & 1, (i >> 1) & 1, i >> 2).
        inline Point< 3 > cube_point( index_t i,
                                      const Point< 3 >& origin = Point< 3 >{},
                                      double size = 1 )
        {
            return Point< 3 >{ { origin.value( 0 ) + size * ( i & 1 ),
                                 origin.value( 1 ) + size * ( ( i >> 1 ) & 1 ),
                                 origin.value( 2 ) + size * ( i >> 2 ) } };
        }

        /// The 12 edges (i, j) between the corners, i < j, in ascending
        /// (i, j - i) order.
        inline std::array< std::array< index_t, 2 >, 12 > cube_edges()
        {
            std::array< std::array< index_t, 2 >, 12 > edges;
            index_t e{ 0 };
            for( index_t i = 0; i < 8; i++ )
            {
                for( index_t bit = 1; bit < 8; bit <<= 1 )
                {
                    if( ( i & bit ) == 0 )
                    {
                        edges[e++] = { i, i | bit };
                    }
                }
            }
            return edges;
        }

        /// The faces -z, +z, -y, +y, -x, +x over the corners, turning so
        /// that normals point outwards.
        inline constexpr std::array< std::array< index_t, 4 >, 6 > CUBE_QUADS{ {
            { 0, 2, 3, 1 },
            { 4, 5, 7, 6 },
            { 0, 1, 5, 4 },
            { 2, 6, 7, 3 },
            { 0, 4, 6, 2 },
            { 1, 3, 7, 5 },
        } };

        /// Each face of CUBE_QUADS as two triangles fanned from its first
        /// corner: triangles 2f and 2f + 1 make face f.
        inline std::array< std::array< index_t, 3 >, 12 > cube_triangles()
        {
            std::array< std::array< index_t, 3 >, 12 > triangles;
            for( index_t f = 0; f < 6; f++ )
            {
                const auto& quad = CUBE_QUADS[f];
                triangles[2 * f] = { quad[0], quad[1], quad[2] };
                triangles[2 * f + 1] = { quad[0], quad[2], quad[3] };
            }
            return triangles;
        }
    } // namespace test
} // namespace vorna
