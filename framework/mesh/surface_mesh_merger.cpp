#include <vorna/mesh/surface_mesh_merger.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/geometry/nn_search.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace vorna
{
    namespace detail
    {
        namespace
        {
            using Cycle = absl::InlinedVector< index_t, 4 >;

            // Smallest rotation, over both directions, of the vertex cycle:
            // equal for two polygons with the same cycle.
            Cycle canonical_cycle( const Cycle& cycle )
            {
                const auto size = cycle.size();
                Cycle best = cycle;
                Cycle candidate( size );
                for( std::size_t start = 0; start < size; start++ )
                {
                    for( std::size_t i = 0; i < size; i++ )
                    {
                        candidate[i] = cycle[( start + i ) % size];
                    }
                    if( candidate < best )
                    {
                        best = candidate;
                    }
                    for( std::size_t i = 0; i < size; i++ )
                    {
                        candidate[i] = cycle[( start + size - i ) % size];
                    }
                    if( candidate < best )
                    {
                        best = candidate;
                    }
                }
                return best;
            }

            std::array< index_t, 2 >
            sorted_pair( std::array< index_t, 2 > pair )
            {
                if( pair[1] < pair[0] )
                {
                    std::swap( pair[0], pair[1] );
                }
                return pair;
            }

            // The polygon edges of the merged mesh using one vertex pair:
            // the first two and the count.
            struct PairUse
            {
                index_t count{ 0 };
                std::array< PolygonEdge, 2 > edges;
            };
        } // namespace

        template < index_t D >
        class SurfaceMeshMerger< D >::Impl
        {
          public:
            Impl( absl::Span< const std::reference_wrapper<
                      const SurfaceMesh< D > > > surfaces,
                  double epsilon,
                  bool merge_identical_polygons )
                : surfaces_( surfaces.begin(), surfaces.end() ),
                  epsilon_( epsilon ),
                  merge_identical_polygons_( merge_identical_polygons )
            {
                if( !( epsilon >= 0 ) )
                {
                    throw CorvaneException(
                        "[SurfaceMeshMerger::SurfaceMeshMerger] Epsilon must "
                        "be non-negative, got ",
                        epsilon );
                }
                merged_ = SurfaceMesh< D >::create( merged_impl() );
                index_t nb_vertices{ 0 };
                index_t nb_polygons{ 0 };
                vertex_offsets_.push_back( 0 );
                polygon_offsets_.push_back( 0 );
                for( const auto& surface : surfaces_ )
                {
                    nb_vertices += surface.get().nb_vertices();
                    nb_polygons += surface.get().nb_polygons();
                    vertex_offsets_.push_back( nb_vertices );
                    polygon_offsets_.push_back( nb_polygons );
                }
            }

            const SurfaceMesh< D >& merged() const
            {
                return *merged_;
            }

            void create_surface_step()
            {
                if( done_ )
                {
                    throw CorvaneException(
                        "[SurfaceMeshMerger::create_surface_step] The "
                        "surfaces are already merged" );
                }
                auto builder = SurfaceMeshBuilder< D >::create( *merged_ );
                create_vertices( *builder );
                create_polygons( *builder );
                create_adjacencies( *builder );
                done_ = true;
            }

            index_t vertex_in_merged( index_t surface, index_t vertex ) const
            {
                check( surface, "SurfaceMeshMerger::vertex_in_merged" );
                if( vertex >= surfaces_[surface].get().nb_vertices() )
                {
                    throw CorvaneException(
                        "[SurfaceMeshMerger::vertex_in_merged] Invalid vertex ",
                        vertex,
                        " of surface ",
                        surface );
                }
                return vertex_map_[vertex_offsets_[surface] + vertex];
            }

            index_t polygon_in_merged( index_t surface, index_t polygon ) const
            {
                check( surface, "SurfaceMeshMerger::polygon_in_merged" );
                if( polygon >= surfaces_[surface].get().nb_polygons() )
                {
                    throw CorvaneException(
                        "[SurfaceMeshMerger::polygon_in_merged] Invalid "
                        "polygon ",
                        polygon,
                        " of surface ",
                        surface );
                }
                return polygon_map_[polygon_offsets_[surface] + polygon];
            }

          private:
            MeshImpl merged_impl() const
            {
                if( surfaces_.empty() )
                {
                    return PolygonalSurface< D >::impl_name_static();
                }
                const auto type = surfaces_.front().get().type_name();
                for( const auto& surface : surfaces_ )
                {
                    if( surface.get().type_name() != type )
                    {
                        return PolygonalSurface< D >::impl_name_static();
                    }
                }
                return MeshFactory::default_impl( type );
            }

            void check( index_t surface, const char* operation ) const
            {
                if( !done_ )
                {
                    throw CorvaneException(
                        "[", operation, "] create_surface_step() has not run" );
                }
                if( surface >= surfaces_.size() )
                {
                    throw CorvaneException( "[",
                                            operation,
                                            "] Invalid surface ",
                                            surface,
                                            " (",
                                            surfaces_.size(),
                                            " surfaces)" );
                }
            }

            void create_vertices( SurfaceMeshBuilder< D >& builder )
            {
                std::vector< Point< D > > points;
                points.reserve( vertex_offsets_.back() );
                for( const auto& surface : surfaces_ )
                {
                    for( index_t v = 0; v < surface.get().nb_vertices(); v++ )
                    {
                        points.push_back( surface.get().point( v ) );
                    }
                }
                if( points.empty() )
                {
                    return;
                }
                const NNSearch< D > search{ std::move( points ) };
                auto colocation = search.colocated_index_mapping( epsilon_ );
                vertex_map_ = std::move( colocation.colocated_mapping );
                for( const auto& point : colocation.unique_points )
                {
                    builder.create_point( point );
                }
            }

            void create_polygons( SurfaceMeshBuilder< D >& builder )
            {
                polygon_map_.reserve( polygon_offsets_.back() );
                absl::flat_hash_map< Cycle, index_t > cycles;
                for( index_t s = 0; s < surfaces_.size(); s++ )
                {
                    const auto& surface = surfaces_[s].get();
                    for( index_t p = 0; p < surface.nb_polygons(); p++ )
                    {
                        Cycle cycle;
                        for( const auto v : surface.polygon_vertices( p ) )
                        {
                            cycle.push_back(
                                vertex_map_[vertex_offsets_[s] + v] );
                        }
                        if( !merge_identical_polygons_ )
                        {
                            polygon_map_.push_back(
                                builder.create_polygon( cycle ) );
                            continue;
                        }
                        const auto inserted = cycles.emplace(
                            canonical_cycle( cycle ), merged_->nb_polygons() );
                        if( inserted.second )
                        {
                            builder.create_polygon( cycle );
                        }
                        polygon_map_.push_back( inserted.first->second );
                    }
                }
            }

            void create_adjacencies( SurfaceMeshBuilder< D >& builder )
            {
                const auto& merged = *merged_;
                absl::flat_hash_map< std::array< index_t, 2 >, PairUse > uses;
                for( index_t p = 0; p < merged.nb_polygons(); p++ )
                {
                    for( local_index_t e = 0; e < merged.nb_polygon_edges( p );
                         e++ )
                    {
                        const PolygonEdge edge{ p, e };
                        auto& use = uses[sorted_pair(
                            merged.polygon_edge_vertices( edge ) )];
                        if( use.count < 2 )
                        {
                            use.edges[use.count] = edge;
                        }
                        use.count++;
                    }
                }
                for( index_t s = 0; s < surfaces_.size(); s++ )
                {
                    const auto& surface = surfaces_[s].get();
                    for( index_t p = 0; p < surface.nb_polygons(); p++ )
                    {
                        const auto merged_polygon =
                            polygon_map_[polygon_offsets_[s] + p];
                        for( local_index_t e = 0;
                             e < surface.nb_polygon_edges( p );
                             e++ )
                        {
                            const auto adjacent =
                                surface.polygon_adjacent( { p, e } );
                            if( !adjacent )
                            {
                                continue;
                            }
                            const auto merged_adjacent =
                                polygon_map_[polygon_offsets_[s] + *adjacent];
                            auto pair =
                                surface.polygon_edge_vertices( { p, e } );
                            for( auto& v : pair )
                            {
                                v = vertex_map_[vertex_offsets_[s] + v];
                            }
                            const auto it = uses.find( sorted_pair( pair ) );
                            if( it == uses.end() || it->second.count != 2 )
                            {
                                continue;
                            }
                            const auto& edges = it->second.edges;
                            const auto p0 = edges[0].polygon_id;
                            const auto p1 = edges[1].polygon_id;
                            if( ( p0 == merged_polygon &&
                                  p1 == merged_adjacent ) ||
                                ( p1 == merged_polygon &&
                                  p0 == merged_adjacent ) )
                            {
                                builder.set_polygon_adjacent( edges[0], p1 );
                                builder.set_polygon_adjacent( edges[1], p0 );
                            }
                        }
                    }
                }
            }

          private:
            std::vector< std::reference_wrapper< const SurfaceMesh< D > > >
                surfaces_;
            double epsilon_;
            bool merge_identical_polygons_;
            std::unique_ptr< SurfaceMesh< D > > merged_;
            std::vector< index_t > vertex_offsets_;
            std::vector< index_t > polygon_offsets_;
            std::vector< index_t > vertex_map_;
            std::vector< index_t > polygon_map_;
            bool done_{ false };
        };

        template < index_t D >
        SurfaceMeshMerger< D >::SurfaceMeshMerger(
            absl::Span< const std::reference_wrapper< const SurfaceMesh< D > > >
                surfaces,
            double epsilon,
            bool merge_identical_polygons )
            : impl_( std::make_unique< Impl >(
                  surfaces, epsilon, merge_identical_polygons ) )
        {
        }

        template < index_t D >
        SurfaceMeshMerger< D >::~SurfaceMeshMerger() = default;

        template < index_t D >
        const SurfaceMesh< D >& SurfaceMeshMerger< D >::merged() const
        {
            return impl_->merged();
        }

        template < index_t D >
        void SurfaceMeshMerger< D >::create_surface_step()
        {
            impl_->create_surface_step();
        }

        template < index_t D >
        index_t SurfaceMeshMerger< D >::vertex_in_merged( index_t surface,
                                                          index_t vertex ) const
        {
            return impl_->vertex_in_merged( surface, vertex );
        }

        template < index_t D >
        index_t
        SurfaceMeshMerger< D >::polygon_in_merged( index_t surface,
                                                   index_t polygon ) const
        {
            return impl_->polygon_in_merged( surface, polygon );
        }

        template class SurfaceMeshMerger< 2 >;
        template class SurfaceMeshMerger< 3 >;
    } // namespace detail
} // namespace vorna
