#include <vorna/conversion/model/brep_from_solid_adjacencies_builder.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/strings/string_view.h>

#include <conversion/common/input_checks.h>
#include <conversion/common/step_checks.h>
#include <conversion/common/tasks.h>
#include <conversion/model/solid_adjacencies_conversion.h>
#include <conversion/model/solid_input.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/logger.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/mesh_analysis/surface_from_solid_adjacencies.h>
#include <vorna/conversion/model/brep_from_meshes_builder.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/model/block.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/surface.h>

namespace
{
    using namespace vorna;

    constexpr const char* SURFACE_UUID_ATTRIBUTE_NAME = "surface_uuid";

    /// One entry per element of `nb_elements`, INVALID_INDEX but where
    /// `new2old` says which element becomes which.
    std::vector< index_t > old_to_new( index_t nb_elements,
                                       absl::Span< const index_t > new2old )
    {
        std::vector< index_t > old2new( nb_elements, INVALID_INDEX );
        for( index_t i = 0; i < new2old.size(); i++ )
        {
            old2new[new2old[i]] = i;
        }
        return old2new;
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        class SolidAdjacenciesConversion::Impl
        {
          public:
            Impl( BRep& brep, const SolidMesh< 3 >& solid )
                : brep_( brep ), builder_( brep ), solid_( solid )
            {
            }

            void build_surface_step( const TaskProbe& probe )
            {
                check_step_not_done(
                    "BRepFromSolidAdjacenciesBuilder::build_surface_step",
                    boundary_ != nullptr,
                    "The boundary surface is" );
                groups_ = checked_polyhedron_groups(
                    solid_, "BRepFromSolidAdjacenciesBuilder" );
                SolidBoundarySurface boundary{ solid_ };
                boundary.build_polygons( probe );
                // Turned into unique vertices by the next step.
                unique_vertex_of_ = boundary.surface_vertices();
                boundary_ = boundary.take_surface();
            }

            void build_brep_without_block_step()
            {
                static constexpr auto OPERATION =
                    "BRepFromSolidAdjacenciesBuilder::build_brep_without_"
                    "block_step";
                check_boundary_built( OPERATION );
                check_step_not_done(
                    OPERATION, surfaces_built_, "The model surfaces are" );
                surfaces_built_ = true;
                const std::reference_wrapper< const SurfaceMesh< 3 > >
                    surfaces[] = { *boundary_ };
                BRepFromMeshesBuilder meshes_builder{ brep_, {}, surfaces };
                const auto mappings =
                    meshes_builder.build_brep_without_blocks();
                const auto& boundary_id = boundary_->id();
                auto surface_uuid =
                    boundary_->polygon_attribute_manager()
                        .find_or_create_attribute< VariableAttribute, uuid >(
                            SURFACE_UUID_ATTRIBUTE_NAME,
                            uuid{},
                            AttributeFlags{ true, false } );
                // Boundary polygons that the model made one (their nodes
                // within the merging distance) share their sides.
                absl::flat_hash_map< std::pair< uuid, index_t >, index_t >
                    rank_of;
                model_polygon_of_.resize( boundary_->nb_polygons() );
                for( index_t p = 0; p < boundary_->nb_polygons(); p++ )
                {
                    const auto& element =
                        mappings.second.in2out( { boundary_id, p } ).front();
                    surface_uuid->set_value( p, element.component_id.id() );
                    const auto found = rank_of.emplace(
                        std::make_pair( element.component_id.id(),
                                        element.element ),
                        static_cast< index_t >( model_surface_of_.size() ) );
                    if( found.second )
                    {
                        model_surface_of_.push_back(
                            element.component_id.id() );
                    }
                    model_polygon_of_[p] = found.first->second;
                }
                // The unique vertex the model gave a boundary vertex: boundary
                // vertices closer than the merging tolerance share one.
                for( auto& vertex : unique_vertex_of_ )
                {
                    if( vertex != INVALID_INDEX )
                    {
                        vertex = brep_.unique_vertex(
                            mappings.first.in2out( { boundary_id, vertex } )
                                .front() );
                    }
                }
            }

            void build_blocks_step( const TaskProbe& probe,
                                    const PartObserver& on_part_end )
            {
                static constexpr auto OPERATION =
                    "BRepFromSolidAdjacenciesBuilder::build_blocks_step";
                check_step_done( OPERATION,
                                 surfaces_built_,
                                 "The model surfaces are",
                                 "build_brep_without_block_step" );
                check_step_not_done(
                    OPERATION, blocks_built_, "The blocks are" );
                blocks_built_ = true;
                const auto part_ended = [&on_part_end]( absl::string_view part )
                {
                    if( on_part_end )
                    {
                        on_part_end( part );
                    }
                };
                Logger::log_trace( "Building BRep Blocks" );
                const auto& groups = groups_;
                const auto sides = model_polygon_sides( groups );
                refuse_unbounded_group( groups, sides );
                std::vector< uuid > blocks;
                blocks.reserve( groups.members.size() );
                for( index_t k = 0; k < groups.members.size(); k++ )
                {
                    blocks.push_back(
                        builder_.add_block( solid_.impl_name() ) );
                }
                part_ended( "blocks_identified" );
                const auto block_vertices =
                    fill_blocks( groups, blocks, probe );
                part_ended( "blocks_filled" );
                for( index_t k = 0; k < blocks.size(); k++ )
                {
                    set_unique_vertices( blocks[k], block_vertices[k] );
                }
                part_ended( "unique_vertices" );
                add_surface_block_relationships( sides, blocks );
                part_ended( "relationships" );
            }

            SurfaceMesh< 3 >& solid_boundaries()
            {
                check_boundary_built(
                    "BRepFromSolidAdjacenciesBuilder::solid_boundaries" );
                return *boundary_;
            }

          private:
            void check_boundary_built( absl::string_view operation ) const
            {
                check_step_done( operation,
                                 boundary_ != nullptr,
                                 "The boundary surface is",
                                 "build_surface_step" );
            }

            /// One pool task per block; per block, the solid vertex of each
            /// block vertex. A failed task leaves the model without blocks.
            std::vector< std::vector< index_t > >
            fill_blocks( const PolyhedronGroups& groups,
                         const std::vector< uuid >& blocks,
                         const TaskProbe& probe )
            {
                std::vector< std::vector< index_t > > block_vertices(
                    blocks.size() );
                try
                {
                    run_group_and_apply(
                        static_cast< index_t >( blocks.size() ),
                        [this, &probe, &blocks, &groups]( index_t k )
                        {
                            if( probe )
                            {
                                probe( k );
                            }
                            return fill_block( k, blocks[k], groups );
                        },
                        [&block_vertices]( index_t k,
                                           std::vector< index_t > vertices )
                        { block_vertices[k] = std::move( vertices ); } );
                }
                catch( ... )
                {
                    for( const auto& block : blocks )
                    {
                        builder_.remove_block( brep_.block( block ) );
                    }
                    throw;
                }
                return block_vertices;
            }

            /// Pool task: fills block k with the polyhedra of group k, in
            /// group order, and the solid's attributes; returns the solid
            /// vertex of each block vertex. Writes only this block's mesh.
            std::vector< index_t > fill_block( index_t k,
                                               const uuid& block_id,
                                               const PolyhedronGroups& groups )
            {
                const auto& group = groups.members[k];
                auto mesh_builder = brep_block_mesh_builder( brep_, block_id );
                absl::flat_hash_map< index_t, index_t > block_vertex;
                block_vertex.reserve( group.size() );
                std::vector< index_t > solid_vertices;
                absl::InlinedVector< index_t, 8 > polyhedron_vertices;
                absl::InlinedVector< index_t, 8 > vertices;
                std::vector< std::vector< local_index_t > > facets;
                // Local index of a vertex in the polyhedron being copied.
                const auto local_of = [&polyhedron_vertices]( index_t vertex )
                {
                    return static_cast< local_index_t >(
                        std::find( polyhedron_vertices.begin(),
                                   polyhedron_vertices.end(),
                                   vertex ) -
                        polyhedron_vertices.begin() );
                };
                for( const auto p : group )
                {
                    const auto nb_vertices = solid_.nb_polyhedron_vertices( p );
                    polyhedron_vertices.resize( nb_vertices );
                    vertices.resize( nb_vertices );
                    for( local_index_t i = 0; i < nb_vertices; i++ )
                    {
                        const auto v = solid_.polyhedron_vertex( { p, i } );
                        polyhedron_vertices[i] = v;
                        const auto found = block_vertex.emplace(
                            v,
                            static_cast< index_t >( solid_vertices.size() ) );
                        if( found.second )
                        {
                            mesh_builder->create_point( solid_.point( v ) );
                            solid_vertices.push_back( v );
                        }
                        vertices[i] = found.first->second;
                    }
                    facets.resize( solid_.nb_polyhedron_facets( p ) );
                    for( local_index_t f = 0; f < facets.size(); f++ )
                    {
                        const PolyhedronFacet facet{ p, f };
                        auto& locals = facets[f];
                        locals.resize(
                            solid_.nb_polyhedron_facet_vertices( facet ) );
                        for( local_index_t i = 0; i < locals.size(); i++ )
                        {
                            locals[i] =
                                local_of( solid_.polyhedron_facet_vertex(
                                    { facet, i } ) );
                        }
                    }
                    mesh_builder->create_polyhedron( vertices, facets );
                }
                for( index_t i = 0; i < group.size(); i++ )
                {
                    const auto nb_facets =
                        solid_.nb_polyhedron_facets( group[i] );
                    for( local_index_t f = 0; f < nb_facets; f++ )
                    {
                        const auto adjacent =
                            solid_.polyhedron_adjacent( { group[i], f } );
                        // A neighbour in another block stores no adjacency
                        // back: the facet stays a border.
                        if( adjacent && groups.group_of[adjacent.value()] == k )
                        {
                            mesh_builder->set_polyhedron_adjacent(
                                { i, f }, groups.rank[adjacent.value()] );
                        }
                    }
                }
                import_attributes(
                    brep_.block( block_id ).mesh(), group, solid_vertices );
                return solid_vertices;
            }

            void import_attributes( const SolidMesh< 3 >& mesh,
                                    absl::Span< const index_t > polyhedra,
                                    absl::Span< const index_t > vertices )
            {
                const auto& solid_vertices = solid_.vertex_attribute_manager();
                if( !solid_vertices.attribute_names().empty() )
                {
                    mesh.vertex_attribute_manager().import(
                        solid_vertices,
                        old_to_new( solid_.nb_vertices(), vertices ) );
                }
                const auto& solid_polyhedra =
                    solid_.polyhedron_attribute_manager();
                if( !solid_polyhedra.attribute_names().empty() )
                {
                    mesh.polyhedron_attribute_manager().import(
                        solid_polyhedra,
                        old_to_new( solid_.nb_polyhedra(), polyhedra ) );
                }
            }

            /// A block vertex takes the unique vertex of its solid vertex; a
            /// solid vertex on no border facet gets a new one, shared by
            /// every block that uses it.
            void
            set_unique_vertices( const uuid& block_id,
                                 absl::Span< const index_t > solid_vertices )
            {
                const ComponentID block{ Block< 3 >::component_type_static(),
                                         block_id };
                for( index_t v = 0; v < solid_vertices.size(); v++ )
                {
                    auto& unique = unique_vertex_of_[solid_vertices[v]];
                    if( unique == INVALID_INDEX )
                    {
                        unique = builder_.create_unique_vertex();
                    }
                    builder_.set_unique_vertex( { block, v }, unique );
                }
            }

            /// Per model polygon, the groups of the facets on its sides.
            std::vector< absl::InlinedVector< index_t, 2 > >
            model_polygon_sides( const PolyhedronGroups& groups ) const
            {
                const auto exported =
                    boundary_->polygon_attribute_manager()
                        .find_attribute<
                            absl::InlinedVector< PolyhedronFacet, 2 > >(
                            SurfaceFromSolidAdjacencies::
                                polyhedra_exported_attribute_name );
                std::vector< absl::InlinedVector< index_t, 2 > > sides(
                    model_surface_of_.size() );
                for( index_t p = 0; p < boundary_->nb_polygons(); p++ )
                {
                    for( const auto& facet : exported->value( p ) )
                    {
                        sides[model_polygon_of_[p]].push_back(
                            groups.group_of[facet.polyhedron_id] );
                    }
                }
                return sides;
            }

            /// A group bounded by no model polygon (one side of which it
            /// lies on alone) would be a block that no surface bounds: the
            /// model merged its border facets into polygons with the group
            /// on both sides, or into nothing.
            void refuse_unbounded_group(
                const PolyhedronGroups& groups,
                absl::Span< const absl::InlinedVector< index_t, 2 > > sides )
                const
            {
                std::vector< char > bounded( groups.members.size(), 0 );
                for( const auto& around : sides )
                {
                    for( const auto group : around )
                    {
                        if( std::count( around.begin(), around.end(), group ) ==
                            1 )
                        {
                            bounded[group] = 1;
                        }
                    }
                }
                const auto unbounded =
                    std::find( bounded.begin(), bounded.end(), 0 );
                if( unbounded != bounded.end() )
                {
                    throw CorvaneException(
                        "[BRepFromSolidAdjacenciesBuilder::build_blocks_step]"
                        " No surface bounds the polyhedra joined to "
                        "polyhedron ",
                        groups.members[unbounded - bounded.begin()].front(),
                        " of mesh '",
                        input_label( solid_ ),
                        "': their border facets merge within the merging "
                        "distance 1e-6" );
                }
            }

            /// A surface bounds the block on each side of its polygons; a
            /// polygon with one block on two sides (a cut facet inside a
            /// block, or facets whose nodes the model merged) makes the
            /// surface internal to it.
            void add_surface_block_relationships(
                absl::Span< const absl::InlinedVector< index_t, 2 > > sides,
                const std::vector< uuid >& blocks )
            {
                for( index_t m = 0; m < sides.size(); m++ )
                {
                    const auto& surface = brep_.surface( model_surface_of_[m] );
                    const auto& around = sides[m];
                    for( index_t i = 0; i < around.size(); i++ )
                    {
                        const auto first = std::find(
                            around.begin(), around.end(), around[i] );
                        if( first != around.begin() + i )
                        {
                            continue;
                        }
                        const auto& block = brep_.block( blocks[around[i]] );
                        if( std::find( first + 1, around.end(), around[i] ) ==
                            around.end() )
                        {
                            add_boundary( surface, block );
                        }
                        else if( !brep_.is_internal( surface, block ) )
                        {
                            builder_.add_surface_block_internal_relationship(
                                surface, block );
                        }
                    }
                }
            }

            void add_boundary( const Surface< 3 >& surface,
                               const Block< 3 >& block )
            {
                if( !brep_.is_boundary( surface, block ) )
                {
                    builder_.add_surface_block_boundary_relationship( surface,
                                                                      block );
                }
            }

          private:
            BRep& brep_;
            BRepBuilder builder_;
            const SolidMesh< 3 >& solid_;
            std::unique_ptr< SurfaceMesh< 3 > > boundary_;
            /// Per solid vertex: its boundary surface vertex after the first
            /// step, its unique vertex after the second (INVALID_INDEX for
            /// a vertex on no border facet until the blocks give it one).
            std::vector< index_t > unique_vertex_of_;
            PolyhedronGroups groups_;
            /// Per boundary polygon, its model polygon, numbered as first
            /// met; per model polygon, its surface.
            std::vector< index_t > model_polygon_of_;
            std::vector< uuid > model_surface_of_;
            bool surfaces_built_{ false };
            bool blocks_built_{ false };
        };

        SolidAdjacenciesConversion::SolidAdjacenciesConversion(
            BRep& brep, const SolidMesh< 3 >& solid )
            : impl_( std::make_unique< Impl >( brep, solid ) )
        {
        }

        SolidAdjacenciesConversion::~SolidAdjacenciesConversion() = default;

        void
        SolidAdjacenciesConversion::build_surface_step( const TaskProbe& probe )
        {
            impl_->build_surface_step( probe );
        }

        void SolidAdjacenciesConversion::build_brep_without_block_step()
        {
            impl_->build_brep_without_block_step();
        }

        void SolidAdjacenciesConversion::build_blocks_step(
            const TaskProbe& probe, const PartObserver& on_part_end )
        {
            impl_->build_blocks_step( probe, on_part_end );
        }

        SurfaceMesh< 3 >& SolidAdjacenciesConversion::solid_boundaries()
        {
            return impl_->solid_boundaries();
        }

        class BRepFromSolidAdjacenciesBuilder::Impl
            : public SolidAdjacenciesConversion
        {
          public:
            using SolidAdjacenciesConversion::SolidAdjacenciesConversion;
        };

        BRepFromSolidAdjacenciesBuilder::BRepFromSolidAdjacenciesBuilder(
            BRep& brep, const SolidMesh< 3 >& solid )
            : impl_( std::make_unique< Impl >( brep, solid ) )
        {
        }

        BRepFromSolidAdjacenciesBuilder::~BRepFromSolidAdjacenciesBuilder() =
            default;

        void BRepFromSolidAdjacenciesBuilder::build_surface_step()
        {
            impl_->build_surface_step();
        }

        void BRepFromSolidAdjacenciesBuilder::build_brep_without_block_step()
        {
            impl_->build_brep_without_block_step();
        }

        void BRepFromSolidAdjacenciesBuilder::build_blocks_step()
        {
            impl_->build_blocks_step();
        }

        SurfaceMesh< 3 >& BRepFromSolidAdjacenciesBuilder::solid_boundaries()
        {
            return impl_->solid_boundaries();
        }
    } // namespace detail
} // namespace vorna
