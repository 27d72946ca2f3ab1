#include <support/solid_checks.h>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <vorna/mesh/solid_mesh.h>

#include <support/check_failures.h>

namespace vorna
{
    namespace test
    {
        ::testing::AssertionResult
        holds_polyhedra( const SolidMesh< 3 >& block_mesh,
                         const SolidMesh< 3 >& solid,
                         absl::Span< const index_t > polyhedra )
        {
            CheckFailures failures;
            if( block_mesh.nb_polyhedra() != polyhedra.size() )
            {
                return ::testing::AssertionFailure()
                       << "the block holds " << block_mesh.nb_polyhedra()
                       << " polyhedra, expected " << polyhedra.size();
            }
            absl::flat_hash_map< index_t, index_t > rank;
            absl::flat_hash_set< index_t > solid_vertices;
            for( index_t i = 0; i < polyhedra.size(); i++ )
            {
                rank.emplace( polyhedra[i], i );
            }
            for( index_t i = 0; i < polyhedra.size(); i++ )
            {
                const auto p = polyhedra[i];
                const auto nb_vertices = solid.nb_polyhedron_vertices( p );
                if( block_mesh.nb_polyhedron_vertices( i ) != nb_vertices ||
                    block_mesh.nb_polyhedron_facets( i ) !=
                        solid.nb_polyhedron_facets( p ) )
                {
                    failures.fail(
                        "block polyhedron ", i, " is not shaped as ", p );
                    continue;
                }
                for( local_index_t v = 0; v < nb_vertices; v++ )
                {
                    const auto solid_vertex =
                        solid.polyhedron_vertex( { p, v } );
                    solid_vertices.insert( solid_vertex );
                    if( block_mesh.point( block_mesh.polyhedron_vertex(
                            { i, v } ) ) != solid.point( solid_vertex ) )
                    {
                        failures.fail( "block polyhedron ",
                                       i,
                                       " vertex ",
                                       int{ v },
                                       " is not where solid polyhedron ",
                                       p,
                                       " has it" );
                    }
                }
                for( local_index_t f = 0; f < solid.nb_polyhedron_facets( p );
                     f++ )
                {
                    const auto solid_facet =
                        solid.polyhedron_facet_vertices( { p, f } );
                    const auto block_facet =
                        block_mesh.polyhedron_facet_vertices( { i, f } );
                    bool same = solid_facet.size() == block_facet.size();
                    for( index_t k = 0; same && k < solid_facet.size(); k++ )
                    {
                        same = block_mesh.point( block_facet[k] ) ==
                               solid.point( solid_facet[k] );
                    }
                    if( !same )
                    {
                        failures.fail(
                            "block polyhedron ",
                            i,
                            " facet ",
                            int{ f },
                            " differs from that of solid polyhedron ",
                            p );
                    }
                    const auto across = solid.polyhedron_adjacent( { p, f } );
                    const auto found =
                        across ? rank.find( across.value() ) : rank.end();
                    const auto expected =
                        found == rank.end() ? INVALID_INDEX : found->second;
                    const auto adjacent =
                        block_mesh.polyhedron_adjacent( { i, f } )
                            .value_or( INVALID_INDEX );
                    if( adjacent != expected )
                    {
                        failures.fail( "block polyhedron ",
                                       i,
                                       " facet ",
                                       int{ f },
                                       " is adjacent to ",
                                       adjacent,
                                       ", expected ",
                                       expected );
                    }
                }
            }
            if( block_mesh.nb_vertices() != solid_vertices.size() )
            {
                failures.fail( "the block has ",
                               block_mesh.nb_vertices(),
                               " vertices, its polyhedra use ",
                               solid_vertices.size() );
            }
            return failures.result();
        }
    } // namespace test
} // namespace vorna
