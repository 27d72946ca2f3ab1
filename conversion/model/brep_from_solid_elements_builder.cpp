#include <vorna/conversion/model/brep_from_solid_elements_builder.h>

#include <algorithm>
#include <utility>

#include <absl/container/fixed_array.h>
#include <absl/container/flat_hash_set.h>

#include <conversion/common/step_checks.h>
#include <conversion/mesh_analysis/solid_edge_checks.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/repair_polygon_orientations.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/cut_along_internal_lines.h>

namespace
{
    using namespace vorna;

    constexpr const char* OPERATION = "BRepFromSolidElementsBuilder";

    using VertexPair = std::array< index_t, 2 >;

    VertexPair sorted_pair( index_t a, index_t b )
    {
        return a < b ? VertexPair{ a, b } : VertexPair{ b, a };
    }

    MeshType surface_type( const SolidMesh< 3 >& solid )
    {
        return solid.type_name() == TetrahedralSolid3D::type_name_static()
                   ? TriangulatedSurface3D::type_name_static()
                   : PolygonalSurface3D::type_name_static();
    }

    const ComponentType& corner_type()
    {
        static const ComponentType type{ "Corner" };
        return type;
    }

    const ComponentType& surface_component_type()
    {
        static const ComponentType type{ "Surface" };
        return type;
    }

    /// Uuids in the order of first insertion.
    class OrderedUuids
    {
      public:
        void insert( const uuid& id )
        {
            if( seen_.insert( id ).second )
            {
                ordered_.push_back( id );
            }
        }

        const std::vector< uuid >& ordered() const
        {
            return ordered_;
        }

      private:
        absl::flat_hash_set< uuid > seen_;
        std::vector< uuid > ordered_;
    };
} // namespace

namespace vorna
{
    namespace detail
    {
        class BRepFromSolidElementsBuilder::Impl
        {
            using Regions = absl::flat_hash_map< uuid, std::vector< index_t > >;

          public:
            Impl( BRep& model,
                  const SolidMesh< 3 >& solid,
                  absl::Span< const index_t > line_edges,
                  absl::Span< const index_t > facets )
                : model_( model ), builder_( model ), solid_( solid ),
                  surface_impl_(
                      MeshFactory::default_impl( surface_type( solid ) ) ),
                  whole_( SurfaceMesh< 3 >::create( surface_impl_ ) ),
                  whole_builder_( SurfaceMeshBuilder< 3 >::create( *whole_ ) ),
                  identifier_( *whole_ )
            {
                check_solid_edges_input( OPERATION, model, solid, line_edges );
                read_facets( facets );
                refuse_unusable_vertices( OPERATION, solid, facet_vertices_ );
                count_facets_along_line_edges( line_edges );
            }

            bool is_corner( const BRepFromSolidElementsBuilder& owner,
                            index_t vertex ) const
            {
                const auto& around =
                    owner.wireframe().edges_around_vertex( vertex );
                if( around.size() != 2 )
                {
                    return true;
                }
                return facet_counts_[around[0].edge_id] !=
                       facet_counts_[around[1].edge_id];
            }

            void
            build_whole_surface( const BRepFromSolidElementsBuilder& owner )
            {
                static constexpr auto OPERATION =
                    "BRepFromSolidElementsBuilder::build_whole_surface_step";
                check_step_not_done(
                    OPERATION, whole_surface_built_, "The whole surface is" );
                check_step_done( OPERATION,
                                 owner.wireframe_built(),
                                 "The wireframe is",
                                 "build" );
                whole_surface_built_ = true;
                create_whole_polygons();
                whole_builder_->compute_polygon_adjacencies();
                cut_whole_surface_along_wireframe( owner );
                // Each piece on its own: a way round through a line edge
                // could leave a piece that can be oriented alike with two
                // neighbours that disagree.
                repair_polygon_orientations< 3 >( *whole_ );
            }

            Regions build_surfaces( const BRepFromSolidElementsBuilder& owner )
            {
                check_ready_for_surfaces( owner );
                surfaces_built_ = true;
                identifier_.identify_polygons();
                auto regions = identifier_.identified_surfaces_polygons();
                Regions result;
                result.reserve( regions.size() );
                edge_counters_.assign( owner.wireframe().nb_edges(), 0 );
                vertex_old2new_.assign( whole_->nb_vertices(), INVALID_INDEX );
                vertex_seen_.assign( whole_->nb_vertices(), 0 );
                for( auto& region : regions )
                {
                    const auto lines = find_surface_lines( owner, region );
                    const auto corners = find_internal_corners( region );
                    const auto& surface_id =
                        builder_.add_surface( surface_impl_ );
                    build_surface_mesh( surface_id, region );
                    add_surface_relationships(
                        surface_id, lines.first, lines.second, corners );
                    result.emplace( surface_id, std::move( region ) );
                }
                edge_counters_ = {};
                vertex_old2new_ = {};
                vertex_seen_ = {};
                CutAlongInternalLines< BRep, BRepBuilder, 3 >{ model_ }
                    .cut_all_surfaces();
                return result;
            }

          private:
            /// Keeps the vertex lists of the chosen facets, read once.
            void read_facets( absl::Span< const index_t > facets )
            {
                const auto& solid_facets = solid_.facets();
                const auto nb_facets = solid_facets.nb_facets();
                facet_offsets_.reserve( facets.size() + 1 );
                facet_offsets_.push_back( 0 );
                facet_vertices_.reserve( 3 * facets.size() );
                absl::flat_hash_map< index_t, std::size_t > first_position;
                first_position.reserve( facets.size() );
                for( std::size_t position = 0; position < facets.size();
                     position++ )
                {
                    if( facets[position] >= nb_facets )
                    {
                        throw CorvaneException( "[",
                                                OPERATION,
                                                "] Facet ",
                                                facets[position],
                                                " at position ",
                                                position,
                                                " is not a facet of the solid "
                                                "(it has ",
                                                nb_facets,
                                                " facets)" );
                    }
                    const auto chosen =
                        first_position.emplace( facets[position], position );
                    if( !chosen.second )
                    {
                        throw CorvaneException( "[",
                                                OPERATION,
                                                "] Facet ",
                                                facets[position],
                                                " is chosen twice, at "
                                                "positions ",
                                                chosen.first->second,
                                                " and ",
                                                position );
                    }
                    const auto vertices =
                        solid_facets.facet_vertices( facets[position] );
                    refuse_repeated_vertex(
                        facets[position], position, vertices );
                    facet_vertices_.insert( facet_vertices_.end(),
                                            vertices.begin(),
                                            vertices.end() );
                    facet_offsets_.push_back(
                        static_cast< index_t >( facet_vertices_.size() ) );
                }
                facets_ = { facets.begin(), facets.end() };
            }

            /// A vertex twice in a polygon would make it its own neighbour.
            static void
            refuse_repeated_vertex( index_t facet,
                                    std::size_t position,
                                    const std::vector< index_t >& vertices )
            {
                for( auto k = vertices.begin(); k != vertices.end(); ++k )
                {
                    if( std::find( vertices.begin(), k, *k ) != k )
                    {
                        throw CorvaneException( "[",
                                                OPERATION,
                                                "] Facet ",
                                                facet,
                                                " at position ",
                                                position,
                                                " lists vertex ",
                                                *k,
                                                " twice" );
                    }
                }
            }

            index_t nb_facets() const
            {
                return static_cast< index_t >( facets_.size() );
            }

            absl::Span< const index_t > facet_vertices( index_t position ) const
            {
                return absl::MakeConstSpan( facet_vertices_ )
                    .subspan( facet_offsets_[position],
                              facet_offsets_[position + 1] -
                                  facet_offsets_[position] );
            }

            /// The sorted vertex pair of side k of the facet at the position.
            VertexPair facet_side( index_t position, std::size_t k ) const
            {
                const auto vertices = facet_vertices( position );
                return sorted_pair( vertices[k],
                                    vertices[( k + 1 ) % vertices.size()] );
            }

            /// Counts, for each distinct line edge, the chosen facets along it,
            /// and refuses a border edge of the chosen facets (one whose
            /// vertex pair they use other than exactly twice, which leaves it
            /// unjoined in the whole surface) that is no line edge: its
            /// surface would have a border along no line. Sides are counted
            /// by vertex pair: the solid's edge table is only asked on error.
            void count_facets_along_line_edges(
                absl::Span< const index_t > line_edges )
            {
                absl::flat_hash_map< VertexPair, index_t > nb_uses;
                nb_uses.reserve( facet_vertices_.size() );
                for( index_t position = 0; position < nb_facets(); position++ )
                {
                    for( std::size_t k = 0;
                         k < facet_vertices( position ).size();
                         k++ )
                    {
                        nb_uses[facet_side( position, k )]++;
                    }
                }
                // Wireframe edge k is the k-th distinct line edge, so counts
                // are kept in that order: a repeated entry is one edge.
                absl::flat_hash_set< VertexPair > named;
                named.reserve( line_edges.size() );
                for( const auto edge : line_edges )
                {
                    const auto& ends = solid_.edges().edge_vertices( edge );
                    const auto pair = sorted_pair( ends[0], ends[1] );
                    if( named.insert( pair ).second )
                    {
                        const auto uses = nb_uses.find( pair );
                        facet_counts_.push_back(
                            uses == nb_uses.end() ? 0 : uses->second );
                    }
                }
                for( index_t position = 0; position < nb_facets(); position++ )
                {
                    for( std::size_t k = 0;
                         k < facet_vertices( position ).size();
                         k++ )
                    {
                        const auto pair = facet_side( position, k );
                        if( nb_uses.at( pair ) != 2 && !named.contains( pair ) )
                        {
                            throw_unnamed_border( position, pair );
                        }
                    }
                }
            }

            [[noreturn]] void
            throw_unnamed_border( index_t position,
                                  const VertexPair& pair ) const
            {
                const auto edge = solid_.edges().edge_from_vertices( pair );
                if( !edge )
                {
                    throw CorvaneException( "[",
                                            OPERATION,
                                            "] Facet ",
                                            facets_[position],
                                            " at position ",
                                            position,
                                            " has consecutive vertices ",
                                            pair[0],
                                            " and ",
                                            pair[1],
                                            " that no solid edge joins" );
                }
                const auto& ends = solid_.edges().edge_vertices( edge.value() );
                throw CorvaneException(
                    "[",
                    OPERATION,
                    "] Solid edge ",
                    edge.value(),
                    " (vertices ",
                    ends[0],
                    " and ",
                    ends[1],
                    ") is on the border of the chosen facets but is not among "
                    "the line edges" );
            }

            void create_whole_polygons()
            {
                for( index_t position = 0; position < nb_facets(); position++ )
                {
                    const auto vertices = facet_vertices( position );
                    absl::FixedArray< index_t > polygon( vertices.size() );
                    for( std::size_t k = 0; k < vertices.size(); k++ )
                    {
                        const auto solid_vertex = vertices[k];
                        const auto inserted = solid_to_whole_.try_emplace(
                            solid_vertex, whole_->nb_vertices() );
                        if( inserted.second )
                        {
                            whole_builder_->create_point(
                                solid_.point( solid_vertex ) );
                            whole_to_solid_.push_back( solid_vertex );
                        }
                        polygon[k] = inserted.first->second;
                    }
                    whole_builder_->create_polygon( polygon );
                }
            }

            std::array< index_t, 2 >
            solid_vertices( const PolygonEdge& edge ) const
            {
                const auto vertices = whole_->polygon_edge_vertices( edge );
                return { whole_to_solid_[vertices[0]],
                         whole_to_solid_[vertices[1]] };
            }

            void cut_whole_surface_along_wireframe(
                const BRepFromSolidElementsBuilder& owner )
            {
                for( index_t p = 0; p < whole_->nb_polygons(); p++ )
                {
                    for( local_index_t e = 0; e < whole_->nb_polygon_edges( p );
                         e++ )
                    {
                        if( owner.wireframe_edge_id(
                                solid_vertices( { p, e } ) ) )
                        {
                            whole_builder_->unset_polygon_adjacent( { p, e } );
                        }
                    }
                }
            }

            void check_ready_for_surfaces(
                const BRepFromSolidElementsBuilder& owner ) const
            {
                static constexpr auto OPERATION =
                    "BRepFromSolidElementsBuilder::build_surfaces";
                check_step_not_done(
                    OPERATION, surfaces_built_, "The surfaces are" );
                check_step_done(
                    OPERATION, owner.lines_built(), "The lines are", "build" );
                check_step_done( OPERATION,
                                 whole_surface_built_,
                                 "The whole surface is",
                                 "build_whole_surface_step" );
            }

            /// The lines along the region (the region borders their edges
            /// once) and inside it (twice or more), in wireframe edge order.
            std::pair< std::vector< uuid >, std::vector< uuid > >
            find_surface_lines( const BRepFromSolidElementsBuilder& owner,
                                const std::vector< index_t >& region )
            {
                std::vector< index_t > touched;
                for( const auto p : region )
                {
                    for( local_index_t e = 0; e < whole_->nb_polygon_edges( p );
                         e++ )
                    {
                        if( !whole_->is_edge_on_border( { p, e } ) )
                        {
                            continue;
                        }
                        // Every border edge is a line edge: the constructor
                        // refused the others.
                        const auto edge =
                            owner
                                .wireframe_edge_id( solid_vertices( { p, e } ) )
                                .value();
                        if( edge_counters_[edge]++ == 0 )
                        {
                            touched.push_back( edge );
                        }
                    }
                }
                std::sort( touched.begin(), touched.end() );
                OrderedUuids boundaries;
                OrderedUuids internals;
                for( const auto edge : touched )
                {
                    const auto& line = owner.line_uuid( edge );
                    if( edge_counters_[edge] == 1 )
                    {
                        boundaries.insert( line );
                    }
                    else
                    {
                        internals.insert( line );
                    }
                    edge_counters_[edge] = 0;
                }
                return { boundaries.ordered(), internals.ordered() };
            }

            /// The corners at vertices strictly inside the region: on no
            /// border edge. Regions are joined by adjacency, so an edge that
            /// is no border has the same region on both sides.
            std::vector< uuid >
            find_internal_corners( const std::vector< index_t >& region )
            {
                std::vector< index_t > marked;
                const auto mark = [this, &marked]( index_t vertex )
                {
                    if( vertex_seen_[vertex] == 0 )
                    {
                        vertex_seen_[vertex] = 1;
                        marked.push_back( vertex );
                    }
                };
                for( const auto p : region )
                {
                    for( local_index_t e = 0; e < whole_->nb_polygon_edges( p );
                         e++ )
                    {
                        if( whole_->is_edge_on_border( { p, e } ) )
                        {
                            for( const auto vertex :
                                 whole_->polygon_edge_vertices( { p, e } ) )
                            {
                                mark( vertex );
                            }
                        }
                    }
                }
                OrderedUuids corners;
                for( const auto p : region )
                {
                    for( local_index_t k = 0;
                         k < whole_->nb_polygon_vertices( p );
                         k++ )
                    {
                        const auto vertex = whole_->polygon_vertex( { p, k } );
                        if( vertex_seen_[vertex] != 0 )
                        {
                            continue;
                        }
                        mark( vertex );
                        for( const auto& component :
                             model_.component_mesh_vertices(
                                 whole_to_solid_[vertex] ) )
                        {
                            if( component.component_id.type() == corner_type() )
                            {
                                corners.insert( component.component_id.id() );
                                break;
                            }
                        }
                    }
                }
                for( const auto vertex : marked )
                {
                    vertex_seen_[vertex] = 0;
                }
                return corners.ordered();
            }

            /// Surface vertices in first-use order over the region's
            /// polygons; polygon i from region entry i, in the whole surface's
            /// repaired orientation. The surface is cut wherever the whole
            /// surface was, lines inside the region included.
            void build_surface_mesh( const uuid& surface_id,
                                     const std::vector< index_t >& region )
            {
                auto mesh_builder =
                    brep_surface_mesh_builder( model_, surface_id );
                const ComponentID component_id{ surface_component_type(),
                                                surface_id };
                std::vector< index_t > used;
                for( const auto p : region )
                {
                    const auto nb_vertices = whole_->nb_polygon_vertices( p );
                    absl::FixedArray< index_t > polygon( nb_vertices );
                    for( local_index_t k = 0; k < nb_vertices; k++ )
                    {
                        const auto vertex = whole_->polygon_vertex( { p, k } );
                        if( vertex_old2new_[vertex] == INVALID_INDEX )
                        {
                            const auto created = mesh_builder->create_point(
                                whole_->point( vertex ) );
                            vertex_old2new_[vertex] = created;
                            used.push_back( vertex );
                            builder_.set_unique_vertex(
                                ComponentMeshVertex{ component_id, created },
                                whole_to_solid_[vertex] );
                        }
                        polygon[k] = vertex_old2new_[vertex];
                    }
                    mesh_builder->create_polygon( polygon );
                }
                for( const auto vertex : used )
                {
                    vertex_old2new_[vertex] = INVALID_INDEX;
                }
                mesh_builder->compute_polygon_adjacencies();
                for( index_t i = 0; i < region.size(); i++ )
                {
                    const auto p = region[i];
                    for( local_index_t e = 0; e < whole_->nb_polygon_edges( p );
                         e++ )
                    {
                        if( whole_->is_edge_on_border( { p, e } ) )
                        {
                            mesh_builder->unset_polygon_adjacent( { i, e } );
                        }
                    }
                }
            }

            void
            add_surface_relationships( const uuid& surface_id,
                                       const std::vector< uuid >& boundaries,
                                       const std::vector< uuid >& internals,
                                       const std::vector< uuid >& corners )
            {
                const auto& surface = model_.surface( surface_id );
                for( const auto& line : boundaries )
                {
                    builder_.add_line_surface_boundary_relationship(
                        model_.line( line ), surface );
                }
                for( const auto& line : internals )
                {
                    builder_.add_line_surface_internal_relationship(
                        model_.line( line ), surface );
                }
                for( const auto& corner : corners )
                {
                    builder_.add_corner_surface_internal_relationship(
                        model_.corner( corner ), surface );
                }
            }

          private:
            BRep& model_;
            BRepBuilder builder_;
            const SolidMesh< 3 >& solid_;
            std::vector< index_t > facets_;
            /// Vertices of the facet at position k: entries
            /// [facet_offsets_[k], facet_offsets_[k + 1]) of facet_vertices_.
            std::vector< index_t > facet_offsets_;
            std::vector< index_t > facet_vertices_;
            /// Per wireframe edge (= distinct line edge), the chosen facets
            /// along it.
            std::vector< index_t > facet_counts_;
            const MeshImpl surface_impl_;
            std::unique_ptr< SurfaceMesh< 3 > > whole_;
            std::unique_ptr< SurfaceMeshBuilder< 3 > > whole_builder_;
            absl::flat_hash_map< index_t, index_t > solid_to_whole_;
            std::vector< index_t > whole_to_solid_;
            SurfaceIdentifier< 3 > identifier_;
            bool whole_surface_built_{ false };
            bool surfaces_built_{ false };
            // Scratch of build_surfaces, reset after each region so that
            // the cost stays linear in the number of regions.
            std::vector< index_t > edge_counters_;
            std::vector< index_t > vertex_old2new_;
            std::vector< char > vertex_seen_;
        };

        BRepFromSolidElementsBuilder::BRepFromSolidElementsBuilder(
            BRep& model,
            const SolidMesh< 3 >& solid,
            absl::Span< const index_t > line_edges,
            absl::Span< const index_t > facets )
            // The record, with all its checks, is made before the base
            // creates the unique vertices: a refused input changes nothing.
            : BRepFromSolidElementsBuilder(
                  std::make_unique< Impl >( model, solid, line_edges, facets ),
                  model,
                  solid,
                  line_edges )
        {
        }

        BRepFromSolidElementsBuilder::BRepFromSolidElementsBuilder(
            std::unique_ptr< Impl > impl,
            BRep& model,
            const SolidMesh< 3 >& solid,
            absl::Span< const index_t > line_edges )
            : CornersLinesBuilderFromSolid< BRep, BRepBuilder >(
                  model, solid, line_edges ),
              impl_( std::move( impl ) )
        {
        }

        BRepFromSolidElementsBuilder::~BRepFromSolidElementsBuilder() = default;

        bool BRepFromSolidElementsBuilder::is_corner( index_t vertex ) const
        {
            check_wireframe_vertex( "BRepFromSolidElementsBuilder::is_corner",
                                    vertex );
            return impl_->is_corner( *this, vertex );
        }

        void BRepFromSolidElementsBuilder::build_whole_surface_step()
        {
            impl_->build_whole_surface( *this );
        }

        absl::flat_hash_map< uuid, std::vector< index_t > >
        BRepFromSolidElementsBuilder::build_surfaces()
        {
            return impl_->build_surfaces( *this );
        }
    } // namespace detail
} // namespace vorna
