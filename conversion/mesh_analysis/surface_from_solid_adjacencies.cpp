#include <vorna/conversion/mesh_analysis/surface_from_solid_adjacencies.h>

#include <algorithm>
#include <queue>
#include <utility>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/container/inlined_vector.h>

#include <conversion/common/step_checks.h>
#include <conversion/common/tasks.h>
#include <conversion/mesh_analysis/solid_boundary_surface.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/mesh/repair_polygon_orientations.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace
{
    using namespace vorna;

    using PolyhedraExported =
        VariableAttribute< absl::InlinedVector< PolyhedronFacet, 2 > >;

    /// One border facet: its vertices as a canonical cycle, which starts at
    /// the smallest vertex and goes on towards the smaller of its two
    /// neighbours, so both sides of a facet give the same cycle.
    struct BorderFacet
    {
        absl::InlinedVector< index_t, 3 > cycle;
        PolyhedronFacet facet;
    };

    // Ordered by cycle (a proper prefix first), then by facet, so that
    // the order never depends on how the polyhedra were cut into chunks.
    bool operator<( const BorderFacet& lhs, const BorderFacet& rhs )
    {
        if( lhs.cycle != rhs.cycle )
        {
            return std::lexicographical_compare( lhs.cycle.begin(),
                                                 lhs.cycle.end(),
                                                 rhs.cycle.begin(),
                                                 rhs.cycle.end() );
        }
        return std::make_pair( lhs.facet.polyhedron_id, lhs.facet.facet_id ) <
               std::make_pair( rhs.facet.polyhedron_id, rhs.facet.facet_id );
    }

    bool same_cycle( const BorderFacet& lhs, const BorderFacet& rhs )
    {
        return lhs.cycle == rhs.cycle;
    }

    void make_canonical( absl::InlinedVector< index_t, 3 >& cycle )
    {
        if( cycle.size() < 2 )
        {
            return;
        }
        std::rotate( cycle.begin(),
                     std::min_element( cycle.begin(), cycle.end() ),
                     cycle.end() );
        if( cycle[1] > cycle.back() )
        {
            std::reverse( cycle.begin() + 1, cycle.end() );
        }
    }

    /// The border facets of polyhedra [begin, end), sorted by cycle.
    std::vector< BorderFacet > collect_border_facets(
        const SolidMesh< 3 >& solid, index_t begin, index_t end )
    {
        std::vector< BorderFacet > records;
        records.reserve( end - begin );
        for( index_t p = begin; p < end; p++ )
        {
            const auto nb_facets = solid.nb_polyhedron_facets( p );
            for( local_index_t f = 0; f < nb_facets; f++ )
            {
                const PolyhedronFacet facet{ p, f };
                if( !solid.is_polyhedron_facet_on_border( facet ) )
                {
                    continue;
                }
                BorderFacet record;
                record.facet = facet;
                const auto nb_vertices =
                    solid.nb_polyhedron_facet_vertices( facet );
                for( local_index_t v = 0; v < nb_vertices; v++ )
                {
                    record.cycle.push_back(
                        solid.polyhedron_facet_vertex( { facet, v } ) );
                }
                make_canonical( record.cycle );
                records.push_back( std::move( record ) );
            }
        }
        std::sort( records.begin(), records.end() );
        return records;
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        class SolidBoundarySurface::Impl
        {
          public:
            explicit Impl( const SolidMesh< 3 >& solid )
                : solid_( solid ), surface_( SurfaceMesh< 3 >::create() ),
                  builder_( SurfaceMeshBuilder< 3 >::create( *surface_ ) ),
                  polyhedra_exported_(
                      surface_->polygon_attribute_manager()
                          .find_or_create_attribute<
                              VariableAttribute,
                              absl::InlinedVector< PolyhedronFacet, 2 > >(
                              SurfaceFromSolidAdjacencies::
                                  polyhedra_exported_attribute_name,
                              {},
                              AttributeFlags{ true, false } ) )
            {
            }

            void build_polygons( const TaskProbe& probe )
            {
                check_step_not_done( "SurfaceFromSolidAdjacencies::build",
                                     built_,
                                     "The boundary surface is" );
                built_ = true;
                Logger::log_trace( "Building surface from solid adjacencies" );
                surface_vertices_.assign( solid_.nb_vertices(), INVALID_INDEX );
                collect_and_merge( probe );
                builder_->compute_polygon_adjacencies();
                repair_polygon_orientations( *surface_ );
            }

            const std::vector< index_t >& surface_vertices() const
            {
                return surface_vertices_;
            }

            std::unique_ptr< SurfaceMesh< 3 > > take_surface()
            {
                if( !built_ || !surface_ )
                {
                    throw CorvaneException(
                        "[SurfaceFromSolidAdjacencies::build] No boundary "
                        "surface to hand over" );
                }
                surface_->vertex_attribute_manager().import(
                    solid_.vertex_attribute_manager(), surface_vertices_ );
                builder_.reset();
                return std::move( surface_ );
            }

          private:
            // Chunks of n / t polyhedra (at least 1), one task each, and a
            // last task for the remainder; each sorts its border facets. One
            // merge of the sorted lists then makes a polygon per cycle, so
            // the surface is numbered alike whatever the number of chunks.
            void collect_and_merge( const TaskProbe& probe )
            {
                const auto nb_polyhedra = solid_.nb_polyhedra();
                const auto chunk = std::max< index_t >(
                    nb_polyhedra / hardware_concurrency(), 1 );
                const auto nb_full_chunks = nb_polyhedra / chunk;
                std::vector< std::vector< BorderFacet > > lists;
                run_group_and_apply(
                    nb_full_chunks + 1,
                    [this, &probe, chunk, nb_full_chunks, nb_polyhedra](
                        index_t task )
                    {
                        if( probe )
                        {
                            probe( task );
                        }
                        const auto begin = task * chunk;
                        const auto end = task == nb_full_chunks ? nb_polyhedra
                                                                : begin + chunk;
                        return collect_border_facets( solid_, begin, end );
                    },
                    [&lists]( index_t /*task*/,
                              std::vector< BorderFacet > records )
                    {
                        if( !records.empty() )
                        {
                            lists.push_back( std::move( records ) );
                        }
                    } );
                merge( lists );
            }

            // k-way merge of the sorted lists: the facets of one cycle, taken
            // one after the other, go to one polygon.
            void merge( const std::vector< std::vector< BorderFacet > >& lists )
            {
                struct Head
                {
                    index_t list;
                    index_t position;
                };
                const auto later = [&lists]( const Head& lhs, const Head& rhs )
                {
                    return lists[rhs.list][rhs.position] <
                           lists[lhs.list][lhs.position];
                };
                std::priority_queue< Head,
                                     std::vector< Head >,
                                     decltype( later ) >
                    heads{ later };
                for( index_t l = 0; l < lists.size(); l++ )
                {
                    heads.push( { l, 0 } );
                }
                const BorderFacet* previous{ nullptr };
                index_t polygon{ INVALID_INDEX };
                while( !heads.empty() )
                {
                    const auto head = heads.top();
                    heads.pop();
                    const auto& record = lists[head.list][head.position];
                    if( previous == nullptr ||
                        !same_cycle( *previous, record ) )
                    {
                        polygon = create_polygon( record );
                    }
                    append_facet( polygon, record.facet );
                    previous = &record;
                    if( head.position + 1 < lists[head.list].size() )
                    {
                        heads.push( { head.list, head.position + 1 } );
                    }
                }
            }

            index_t create_polygon( const BorderFacet& record )
            {
                absl::FixedArray< index_t, 64 > vertices( record.cycle.size() );
                for( index_t i = 0; i < record.cycle.size(); i++ )
                {
                    auto& vertex = surface_vertices_[record.cycle[i]];
                    if( vertex == INVALID_INDEX )
                    {
                        vertex = builder_->create_point(
                            solid_.point( record.cycle[i] ) );
                    }
                    vertices[i] = vertex;
                }
                return builder_->create_polygon( vertices );
            }

            void append_facet( index_t polygon, const PolyhedronFacet& facet )
            {
                polyhedra_exported_->modify_value(
                    polygon,
                    [&facet](
                        absl::InlinedVector< PolyhedronFacet, 2 >& facets )
                    { facets.push_back( facet ); } );
            }

          private:
            const SolidMesh< 3 >& solid_;
            std::unique_ptr< SurfaceMesh< 3 > > surface_;
            std::unique_ptr< SurfaceMeshBuilder< 3 > > builder_;
            std::shared_ptr< PolyhedraExported > polyhedra_exported_;
            std::vector< index_t > surface_vertices_;
            bool built_{ false };
        };

        SolidBoundarySurface::SolidBoundarySurface(
            const SolidMesh< 3 >& solid )
            : impl_( std::make_unique< Impl >( solid ) )
        {
        }

        SolidBoundarySurface::~SolidBoundarySurface() = default;

        void SolidBoundarySurface::build_polygons( const TaskProbe& probe )
        {
            impl_->build_polygons( probe );
        }

        const std::vector< index_t >&
        SolidBoundarySurface::surface_vertices() const
        {
            return impl_->surface_vertices();
        }

        std::unique_ptr< SurfaceMesh< 3 > > SolidBoundarySurface::take_surface()
        {
            return impl_->take_surface();
        }

        class SurfaceFromSolidAdjacencies::Impl
        {
          public:
            explicit Impl( const SolidMesh< 3 >& solid )
                : boundary_( solid ),
                  solid_vertex_(
                      solid.vertex_attribute_manager()
                          .find_or_create_attribute< VariableAttribute,
                                                     index_t >(
                              solid_vertex_attribute_name,
                              INVALID_INDEX,
                              AttributeFlags{ true, false } ) )
            {
            }

            std::unique_ptr< SurfaceMesh< 3 > > build()
            {
                boundary_.build_polygons();
                const auto& surface_vertices = boundary_.surface_vertices();
                for( index_t v = 0; v < surface_vertices.size(); v++ )
                {
                    solid_vertex_->set_value( v, surface_vertices[v] );
                }
                return boundary_.take_surface();
            }

          private:
            SolidBoundarySurface boundary_;
            std::shared_ptr< VariableAttribute< index_t > > solid_vertex_;
        };

        SurfaceFromSolidAdjacencies::SurfaceFromSolidAdjacencies(
            const SolidMesh< 3 >& solid )
            : impl_( std::make_unique< Impl >( solid ) )
        {
        }

        SurfaceFromSolidAdjacencies::~SurfaceFromSolidAdjacencies() = default;

        std::unique_ptr< SurfaceMesh< 3 > > SurfaceFromSolidAdjacencies::build()
        {
            return impl_->build();
        }
    } // namespace detail
} // namespace vorna
