#pragma once

#include <algorithm>
#include <array>

#include <vorna/geometry/point.h>
#include <vorna/mesh/solid_mesh_builder.h>

namespace vorna
{
    namespace test
    {
        // Fills an empty solid with n*n*n unit cubes, each split into the 6
        // tetrahedra around its main diagonal. Every cube uses the same
        // diagonal direction, so neighbouring cubes share whole facets; all
        // tetrahedra have a positive volume.
        inline void build_tetrahedral_grid( SolidMeshBuilder< 3 >& builder,
                                            index_t n )
        {
            const auto nb_side = n + 1;
            for( index_t z = 0; z < nb_side; z++ )
            {
                for( index_t y = 0; y < nb_side; y++ )
                {
                    for( index_t x = 0; x < nb_side; x++ )
                    {
                        builder.create_point( Point< 3 >{
                            { double( x ), double( y ), double( z ) } } );
                    }
                }
            }
            const auto vertex = [nb_side]( index_t x, index_t y, index_t z )
            { return x + nb_side * ( y + nb_side * z ); };
            for( index_t z = 0; z < n; z++ )
            {
                for( index_t y = 0; y < n; y++ )
                {
                    for( index_t x = 0; x < n; x++ )
                    {
                        // Corner c of the cube has offsets (c&1, c&2, c&4).
                        const auto corner = [&]( unsigned int c )
                        {
                            return vertex( x + ( c & 1u ),
                                           y + ( ( c >> 1 ) & 1u ),
                                           z + ( ( c >> 2 ) & 1u ) );
                        };
                        std::array< unsigned int, 3 > axes{ 0, 1, 2 };
                        do
                        {
                            const auto first = 1u << axes[0];
                            const auto second = first | ( 1u << axes[1] );
                            std::array< index_t, 4 > tetrahedron{
                                corner( 0 ),
                                corner( first ),
                                corner( second ),
                                corner( 7 ) };
                            // The volume's sign is the permutation's parity.
                            const bool odd = ( ( axes[0] > axes[1] ) +
                                               ( axes[0] > axes[2] ) +
                                               ( axes[1] > axes[2] ) ) %
                                             2;
                            if( odd )
                            {
                                std::swap( tetrahedron[1], tetrahedron[2] );
                            }
                            builder.create_tetrahedron( tetrahedron );
                        } while(
                            std::next_permutation( axes.begin(), axes.end() ) );
                    }
                }
            }
        }
    } // namespace test
} // namespace vorna
