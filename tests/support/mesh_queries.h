#pragma once

// Counts over meshes, shared by the tests of every layer (header only: the
// framework tests do not link the support library).

#include <vector>

#include <vorna/basic/common.h>
#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    namespace test
    {
        /// Number of polygon edges on the border of the mesh.
        template < index_t D >
        index_t nb_border_edges( const SurfaceMesh< D >& mesh )
        {
            index_t count{ 0 };
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    count += mesh.is_edge_on_border( { p, e } ) ? 1 : 0;
                }
            }
            return count;
        }

        /// The polygon across each polygon edge (INVALID_INDEX on a border),
        /// polygon by polygon: to compare before and after.
        template < index_t D >
        std::vector< index_t >
        polygon_adjacencies( const SurfaceMesh< D >& mesh )
        {
            std::vector< index_t > adjacencies;
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < mesh.nb_polygon_edges( p ); e++ )
                {
                    adjacencies.push_back( mesh.polygon_adjacent( { p, e } )
                                               .value_or( INVALID_INDEX ) );
                }
            }
            return adjacencies;
        }
    } // namespace test
} // namespace vorna
