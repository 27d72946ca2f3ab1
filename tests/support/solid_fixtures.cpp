#include <support/solid_fixtures.h>

#include <algorithm>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/solid_mesh_builder.h>

#include <mesh/solid_grid.h>
#include <support/cube_tables.h>

namespace
{
    using namespace vorna;

    std::unique_ptr< SolidMesh< 3 > > empty_tetrahedral_solid()
    {
        return SolidMesh< 3 >::create( TetrahedralSolid3D::impl_name_static() );
    }

    // Copies every point (moved by `shift`) and tetrahedron of `from` after
    // what `builder` already holds.
    void append_tetrahedra( SolidMeshBuilder< 3 >& builder,
                            const SolidMesh< 3 >& from,
                            const Point3D& shift )
    {
        index_t first{ INVALID_INDEX };
        for( index_t v = 0; v < from.nb_vertices(); v++ )
        {
            const auto created =
                builder.create_point( from.point( v ) + shift );
            if( v == 0 )
            {
                first = created;
            }
        }
        for( index_t p = 0; p < from.nb_polyhedra(); p++ )
        {
            std::array< index_t, 4 > vertices;
            for( local_index_t i = 0; i < 4; i++ )
            {
                vertices[i] = first + from.polyhedron_vertex( { p, i } );
            }
            builder.create_tetrahedron( vertices );
        }
    }

    // The edges of the facets whose number of uses `keep` accepts,
    // ascending.
    template < typename Keep >
    std::vector< index_t > edges_used( const SolidMesh< 3 >& solid,
                                       absl::Span< const index_t > facets,
                                       const Keep& keep )
    {
        absl::flat_hash_map< index_t, index_t > uses;
        for( const auto f : facets )
        {
            const auto vertices = solid.facets().facet_vertices( f );
            for( std::size_t k = 0; k < vertices.size(); k++ )
            {
                uses[test::edge( solid,
                                 vertices[k],
                                 vertices[( k + 1 ) % vertices.size()] )]++;
            }
        }
        std::vector< index_t > edges;
        for( const auto& use : uses )
        {
            if( keep( use.second ) )
            {
                edges.push_back( use.first );
            }
        }
        std::sort( edges.begin(), edges.end() );
        return edges;
    }
} // namespace

namespace vorna
{
    namespace test
    {
        std::unique_ptr< SolidMesh< 3 > > one_tetrahedron()
        {
            auto solid = empty_tetrahedral_solid();
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            builder->create_point( Point3D{ { 0, 0, 0 } } );
            builder->create_point( Point3D{ { 1, 0, 0 } } );
            builder->create_point( Point3D{ { 0, 1, 0 } } );
            builder->create_point( Point3D{ { 0, 0, 1 } } );
            builder->create_tetrahedron( { 0, 1, 2, 3 } );
            return solid;
        }

        std::unique_ptr< SolidMesh< 3 > > two_tetrahedra( bool adjacent )
        {
            auto solid = one_tetrahedron();
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            builder->create_point( Point3D{ { 1, 1, 1 } } );
            builder->create_tetrahedron( { 4, 1, 3, 2 } );
            if( adjacent )
            {
                builder->compute_polyhedron_adjacencies();
            }
            return solid;
        }

        std::unique_ptr< SolidMesh< 3 > >
        two_tetrahedra_apart( double distance )
        {
            const auto tetrahedron = one_tetrahedron();
            auto solid = one_tetrahedron();
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            append_tetrahedra(
                *builder, *tetrahedron, Point3D{ { distance, 0, 0 } } );
            return solid;
        }

        std::unique_ptr< SolidMesh< 3 > > one_hexahedron()
        {
            auto solid =
                SolidMesh< 3 >::create( PolyhedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            std::vector< index_t > vertices;
            for( index_t v = 0; v < 8; v++ )
            {
                vertices.push_back( builder->create_point( cube_point( v ) ) );
            }
            std::vector< std::vector< local_index_t > > facets;
            for( const auto& quad : CUBE_QUADS )
            {
                facets.emplace_back( quad.begin(), quad.end() );
            }
            builder->create_polyhedron( vertices, facets );
            return solid;
        }

        std::unique_ptr< SolidMesh< 3 > >
        hexahedral_grid( index_t nx, index_t ny, index_t nz, double size )
        {
            auto solid =
                SolidMesh< 3 >::create( PolyhedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            for( index_t k = 0; k <= nz; k++ )
            {
                for( index_t j = 0; j <= ny; j++ )
                {
                    for( index_t i = 0; i <= nx; i++ )
                    {
                        builder->create_point(
                            Point3D{ { size * i, size * j, size * k } } );
                    }
                }
            }
            std::vector< std::vector< local_index_t > > facets;
            for( const auto& quad : CUBE_QUADS )
            {
                facets.emplace_back( quad.begin(), quad.end() );
            }
            for( index_t z = 0; z < nz; z++ )
            {
                for( index_t y = 0; y < ny; y++ )
                {
                    for( index_t x = 0; x < nx; x++ )
                    {
                        std::vector< index_t > corners;
                        for( index_t c = 0; c < 8; c++ )
                        {
                            corners.push_back(
                                x + ( c & 1 ) +
                                ( nx + 1 ) *
                                    ( y + ( ( c >> 1 ) & 1 ) +
                                      ( ny + 1 ) * ( z + ( c >> 2 ) ) ) );
                        }
                        builder->create_polyhedron( corners, facets );
                    }
                }
            }
            builder->compute_polyhedron_adjacencies();
            return solid;
        }

        std::unique_ptr< SolidMesh< 3 > > tetrahedral_grid( index_t n )
        {
            auto solid = empty_tetrahedral_solid();
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            build_tetrahedral_grid( *builder, n );
            builder->compute_polyhedron_adjacencies();
            return solid;
        }

        std::array< index_t, 3 > grid_cube( index_t n, index_t polyhedron )
        {
            const auto cube = polyhedron / 6;
            return { cube % n, ( cube / n ) % n, cube / ( n * n ) };
        }

        std::shared_ptr< VariableAttribute< unsigned int > >
        add_box_regions( SolidMesh< 3 >& grid,
                         index_t n,
                         index_t parts,
                         absl::string_view name )
        {
            auto regions =
                grid.polyhedron_attribute_manager()
                    .find_or_create_attribute< VariableAttribute,
                                               unsigned int >( name, 0u );
            // Slab of a cube coordinate: parts slabs of n / parts cubes,
            // the last one taking the remainder.
            const auto width = std::max< index_t >( n / parts, 1 );
            const auto slab = [width, parts]( index_t coordinate )
            { return std::min( coordinate / width, parts - 1 ); };
            for( index_t p = 0; p < grid.nb_polyhedra(); p++ )
            {
                const auto cube = grid_cube( n, p );
                regions->set_value(
                    p,
                    slab( cube[0] ) +
                        parts * ( slab( cube[1] ) + parts * slab( cube[2] ) ) );
            }
            return regions;
        }

        void cut_adjacency( SolidMesh< 3 >& solid,
                            const PolyhedronFacet& facet )
        {
            const auto other = solid.polyhedron_adjacent( facet );
            if( !other )
            {
                throw CorvaneException( "[test::cut_adjacency] Facet ",
                                        facet.string(),
                                        " has no adjacent polyhedron" );
            }
            auto builder = SolidMeshBuilder< 3 >::create( solid );
            for( local_index_t f = 0;
                 f < solid.nb_polyhedron_facets( other.value() );
                 f++ )
            {
                if( solid.polyhedron_adjacent( { other.value(), f } ) ==
                    facet.polyhedron_id )
                {
                    builder->unset_polyhedron_adjacent( { other.value(), f } );
                    builder->unset_polyhedron_adjacent( facet );
                    return;
                }
            }
            throw CorvaneException( "[test::cut_adjacency] Polyhedron ",
                                    other.value(),
                                    " does not point back across ",
                                    facet.string() );
        }

        std::unique_ptr< SolidMesh< 3 > > mixed_polyhedra()
        {
            auto solid =
                SolidMesh< 3 >::create( PolyhedralSolid3D::impl_name_static() );
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            for( index_t i = 0; i < 8; i++ )
            {
                builder->create_point( cube_point( i ) );
            }
            builder->create_point( Point3D{ { 2, 0, 0 } } );      // 8
            builder->create_point( Point3D{ { 2, 1, 0 } } );      // 9
            builder->create_point( Point3D{ { 1.3, 2, 0.3 } } );  // 10
            builder->create_point( Point3D{ { 1.3, -1, 0.3 } } ); // 11
            const std::vector< index_t > hexahedron{ 0, 1, 2, 3, 4, 5, 6, 7 };
            const std::vector< std::vector< local_index_t > > hexahedron_facets{
                { 0, 4, 6, 2 },
                { 1, 3, 7, 5 },
                { 0, 1, 5, 4 },
                { 2, 6, 7, 3 },
                { 0, 2, 3, 1 },
                { 4, 5, 7, 6 } };
            builder->create_polyhedron( hexahedron, hexahedron_facets );
            const std::vector< index_t > prism{ 1, 8, 5, 3, 9, 7 };
            const std::vector< std::vector< local_index_t > > prism_facets{
                { 0, 1, 2 },
                { 3, 5, 4 },
                { 0, 2, 5, 3 },
                { 0, 3, 4, 1 },
                { 1, 4, 5, 2 } };
            builder->create_polyhedron( prism, prism_facets );
            builder->create_tetrahedron( { 3, 7, 9, 10 } );
            builder->create_tetrahedron( { 1, 8, 5, 11 } );
            builder->compute_polyhedron_adjacencies();
            return solid;
        }

        std::unique_ptr< SolidMesh< 3 > >
        two_cubes_with_duplicated_nodes( double gap )
        {
            const auto cube = tetrahedral_grid( 1 );
            auto solid = empty_tetrahedral_solid();
            auto builder = SolidMeshBuilder< 3 >::create( *solid );
            append_tetrahedra( *builder, *cube, Point3D{ { 0, 0, 0 } } );
            append_tetrahedra( *builder, *cube, Point3D{ { 1 + gap, 0, 0 } } );
            builder->compute_polyhedron_adjacencies();
            return solid;
        }

        index_t edge( const SolidMesh< 3 >& solid, index_t a, index_t b )
        {
            return solid.edges().edge_from_vertices( { a, b } ).value();
        }

        PointFilter plane( index_t axis, double value )
        {
            return [axis, value]( const Point< 3 >& point )
            { return point.value( axis ) == value; };
        }

        std::vector< index_t > facets_where( const SolidMesh< 3 >& solid,
                                             const PointFilter& keep )
        {
            std::vector< index_t > facets;
            for( index_t f = 0; f < solid.facets().nb_facets(); f++ )
            {
                const auto vertices = solid.facets().facet_vertices( f );
                if( std::all_of( vertices.begin(),
                                 vertices.end(),
                                 [&]( index_t v )
                                 { return keep( solid.point( v ) ); } ) )
                {
                    facets.push_back( f );
                }
            }
            return facets;
        }

        std::vector< index_t >
        border_edges( const SolidMesh< 3 >& solid,
                      absl::Span< const index_t > facets )
        {
            return edges_used(
                solid, facets, []( index_t nb_uses ) { return nb_uses == 1; } );
        }

        std::vector< index_t >
        unpaired_edges( const SolidMesh< 3 >& solid,
                        absl::Span< const index_t > facets )
        {
            return edges_used(
                solid, facets, []( index_t nb_uses ) { return nb_uses != 2; } );
        }
    } // namespace test
} // namespace vorna
