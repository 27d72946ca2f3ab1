#include "model/cube_model.h"

#include <vorna/geometry/mensuration.h>
#include <vorna/geometry/point.h>
#include <vorna/geometry/tetrahedron.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/corvane_model.h>

namespace vorna
{
    namespace test
    {
        CubeModel build_cube_model()
        {
            CorvaneModel::initialize();
            CubeModel cube;
            cube.face_vertices = CUBE_QUADS;
            BRepBuilder builder{ cube.brep };
            builder.create_unique_vertices( 8 );

            for( index_t i = 0; i < 8; i++ )
            {
                cube.corners[i] = builder.add_corner();
                builder.corner_mesh_builder( cube.corners[i] )
                    ->create_point( cube_point( i ) );
                builder.set_unique_vertex( { { "Corner", cube.corners[i] }, 0 },
                                           i );
            }

            const auto edges = cube_edges();
            for( index_t l = 0; l < 12; l++ )
            {
                const auto i = edges[l][0];
                const auto j = edges[l][1];
                const auto& id = builder.add_line();
                cube.lines[l] = id;
                cube.line_vertices[l] = edges[l];
                auto mesh = builder.line_mesh_builder( id );
                mesh->create_point( cube_point( i ) );
                mesh->create_point( cube_point( j ) );
                mesh->create_edge( 0, 1 );
                builder.set_unique_vertex( { { "Line", id }, 0 }, i );
                builder.set_unique_vertex( { { "Line", id }, 1 }, j );
                builder.add_corner_line_boundary_relationship(
                    cube.brep.corner( cube.corners[i] ), cube.brep.line( id ) );
                builder.add_corner_line_boundary_relationship(
                    cube.brep.corner( cube.corners[j] ), cube.brep.line( id ) );
            }

            const auto find_line = [&cube]( index_t a, index_t b )
            {
                for( index_t l = 0; l < 12; l++ )
                {
                    const auto& ends = cube.line_vertices[l];
                    if( ( ends[0] == a && ends[1] == b ) ||
                        ( ends[0] == b && ends[1] == a ) )
                    {
                        return cube.lines[l];
                    }
                }
                return uuid{};
            };

            cube.block = builder.add_block(
                MeshFactory::default_impl( "TetrahedralSolid3D" ) );
            for( index_t f = 0; f < 6; f++ )
            {
                const auto& quad = cube.face_vertices[f];
                const auto& id = builder.add_surface(
                    MeshFactory::default_impl( "TriangulatedSurface3D" ) );
                cube.surfaces[f] = id;
                auto mesh = builder.surface_mesh_builder( id );
                for( index_t k = 0; k < 4; k++ )
                {
                    mesh->create_point( cube_point( quad[k] ) );
                    builder.set_unique_vertex( { { "Surface", id }, k },
                                               quad[k] );
                }
                mesh->create_polygon( { 0, 1, 2 } );
                mesh->create_polygon( { 0, 2, 3 } );
                mesh->compute_polygon_adjacencies();
                for( index_t k = 0; k < 4; k++ )
                {
                    builder.add_line_surface_boundary_relationship(
                        cube.brep.line(
                            find_line( quad[k], quad[( k + 1 ) % 4] ) ),
                        cube.brep.surface( id ) );
                }
                builder.add_surface_block_boundary_relationship(
                    cube.brep.surface( id ), cube.brep.block( cube.block ) );
            }

            auto solid = builder.block_mesh_builder( cube.block );
            for( index_t i = 0; i < 8; i++ )
            {
                solid->create_point( cube_point( i ) );
                builder.set_unique_vertex( { { "Block", cube.block }, i }, i );
            }
            const std::array< std::array< index_t, 2 >, 6 > paths{
                { { 1, 3 },
                  { 1, 5 },
                  { 2, 3 },
                  { 2, 6 },
                  { 4, 5 },
                  { 4, 6 } } };
            for( const auto& path : paths )
            {
                std::array< index_t, 4 > tet{ 0, path[0], path[1], 7 };
                if( tetrahedron_signed_volume(
                        Tetrahedron{ cube_point( tet[0] ),
                                     cube_point( tet[1] ),
                                     cube_point( tet[2] ),
                                     cube_point( tet[3] ) } ) < 0 )
                {
                    std::swap( tet[1], tet[2] );
                }
                solid->create_tetrahedron( tet );
            }
            solid->compute_polyhedron_adjacencies();

            cube.model_boundary = builder.add_model_boundary();
            builder.set_model_boundary_name( cube.model_boundary, "skin" );
            for( const auto& surface : cube.surfaces )
            {
                builder.add_surface_in_model_boundary(
                    cube.brep.surface( surface ),
                    cube.brep.model_boundary( cube.model_boundary ) );
            }
            return cube;
        }
    } // namespace test
} // namespace vorna
