#include <support/solid_checks.h>

#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <vorna/mesh/solid_mesh.h>

namespace vorna
{
    namespace test
    {
        ::testing::AssertionResult
        holds_polyhedra( const SolidMesh< 3 >& block_mesh,
                         const SolidMesh< 3 >& solid,
                         absl::Span< const index_t > polyhedra )
        {
            std::vector< std::string > failures;
            const auto fail = [&failures]( const auto&... parts )
            {
                if( failures.size() < 20 )
                {
                    failures.push_back( absl::StrCat( parts... ) );
                }
            };
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
                    fail( "block polyhedron ", i, " is not shaped as ", p );
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
                        fail( "block polyhedron ",
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
                        fail( "block polyhedron ",
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
                        fail( "block polyhedron ",
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
                fail( "the block has ",
                      block_mesh.nb_vertices(),
                      " vertices, its polyhedra use ",
                      solid_vertices.size() );
            }
            if( failures.empty() )
            {
                return ::testing::AssertionSuccess();
            }
            auto result = ::testing::AssertionFailure();
            for( const auto& failure : failures )
            {
                result << failure << "\n";
            }
            return result;
        }
    } // namespace test
} // namespace vorna
