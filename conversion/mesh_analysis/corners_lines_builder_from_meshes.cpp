#include <vorna/conversion/mesh_analysis/corners_lines_builder_from_meshes.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>
#include <absl/strings/str_cat.h>

#include <conversion/common/tasks.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/mesh_builder_lookup.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>
#include <vorna/geometry/nn_search.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/mesh_factory.h>
#include <vorna/mesh/repair_polygon_orientations.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>
#include <vorna/mesh/surface_mesh_merger.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace
{
    using namespace vorna;

    constexpr double COLOCATION_EPSILON{ 1e-6 };

    using PolygonEdges = absl::InlinedVector< PolygonEdge, 3 >;

    const ComponentType& surface_type()
    {
        static const ComponentType type{ "Surface" };
        return type;
    }

    const ComponentType& line_type()
    {
        static const ComponentType type{ "Line" };
        return type;
    }

    const ComponentType& corner_type()
    {
        static const ComponentType type{ "Corner" };
        return type;
    }

    std::unique_ptr< SurfaceMeshBuilder< 3 > >
    surface_mesh_builder( BRep& model, const uuid& surface )
    {
        return brep_surface_mesh_builder( model, surface );
    }

    std::unique_ptr< SurfaceMeshBuilder< 2 > >
    surface_mesh_builder( Section& model, const uuid& surface )
    {
        return section_surface_mesh_builder( model, surface );
    }

    template < typename Mesh >
    std::string mesh_label( const Mesh& mesh )
    {
        return mesh.name().empty() ? mesh.id().string()
                                   : std::string{ mesh.name() };
    }

    template < index_t D >
    bool is_finite( const Point< D >& point )
    {
        for( index_t axis = 0; axis < D; axis++ )
        {
            if( !std::isfinite( point.value( axis ) ) )
            {
                return false;
            }
        }
        return true;
    }

    /// One pass over the polygons: a used vertex with a non-finite
    /// coordinate would poison every later geometric test, so it is refused
    /// (unused vertices are ignored anyway). With check_adjacency, returns
    /// whether every stored adjacency is answered by the neighbour's
    /// matching edge; otherwise true.
    template < index_t D >
    bool check_polygons( const SurfaceMesh< D >& mesh, bool check_adjacency )
    {
        bool symmetric{ check_adjacency };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto nb_vertices = mesh.nb_polygon_vertices( p );
            for( local_index_t k = 0; k < nb_vertices; k++ )
            {
                const auto v = mesh.polygon_vertex( { p, k } );
                if( !is_finite( mesh.point( v ) ) )
                {
                    throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                            "Vertex ",
                                            v,
                                            " of mesh '",
                                            mesh_label( mesh ),
                                            "' has a non-finite coordinate" );
                }
                if( !symmetric )
                {
                    continue;
                }
                const PolygonEdge edge{ p, k };
                if( !mesh.polygon_adjacent( edge ) )
                {
                    continue;
                }
                const auto across = mesh.polygon_adjacent_edge( edge );
                symmetric = across && mesh.polygon_adjacent( *across ) == p;
            }
        }
        return symmetric || !check_adjacency;
    }

    template < index_t D >
    void check_curve( const EdgedCurve< D >& curve )
    {
        for( index_t e = 0; e < curve.nb_edges(); e++ )
        {
            for( const auto v : curve.edge_vertices( e ) )
            {
                if( !is_finite( curve.point( v ) ) )
                {
                    throw CorvaneException( "[CornersLinesBuilderFromMeshes] "
                                            "Vertex ",
                                            v,
                                            " of curve '",
                                            mesh_label( curve ),
                                            "' has a non-finite coordinate" );
                }
            }
        }
    }

    /// Unique vertex k stands for distinct point k of the inputs, so the
    /// model must not number unique vertices already.
    template < typename Model >
    void check_model_has_no_unique_vertex( const Model& model )
    {
        if( model.nb_unique_vertices() != 0 )
        {
            throw CorvaneException(
                "[CornersLinesBuilderFromMeshes] The model to build must have "
                "no unique vertex (it has ",
                model.nb_unique_vertices(),
                ")" );
        }
    }

    template < index_t D >
    bool has_colocated_vertices( const SurfaceMesh< D >& mesh )
    {
        std::vector< Point< D > > points;
        points.reserve( mesh.nb_vertices() );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            points.push_back( mesh.point( v ) );
        }
        return NNSearch< D >{ std::move( points ) }
                   .colocated_index_mapping( COLOCATION_EPSILON )
                   .nb_colocated_points() > 0;
    }

    /// Where the vertices and polygons of one input surface mesh went in
    /// the merged mesh: flat tables, so that later passes need no mapping
    /// look-up per element.
    template < index_t D >
    struct SurfaceSource
    {
        explicit SurfaceSource( const SurfaceMesh< D >& input ) : mesh( input )
        {
        }

        const SurfaceMesh< D >& mesh;
        /// Input vertex -> unique vertex (= merged vertex).
        std::vector< index_t > vertex_unique;
        /// Input polygon -> merged polygon.
        std::vector< index_t > polygon_merged;
        /// False for a later listing of a mesh already listed: its keys
        /// are the same, so it is mapped once.
        bool first_listing{ true };
    };

    /// A working copy of one input's vertex or polygon attributes, for an
    /// input that several surfaces import from. Before each import the
    /// elements that the surface takes are swapped to the front, so the
    /// import walks only them: importing straight from the input would walk
    /// the whole input once per surface.
    class AttributeGatherer
    {
      public:
        /// to_merged: the merged element of every input element.
        AttributeGatherer( const AttributeManager& from,
                           absl::Span< const index_t > to_merged,
                           index_t nb_merged )
            : nb_elements_( static_cast< index_t >( to_merged.size() ) ),
              offsets_( nb_merged + 1, 0 ), elements_( nb_elements_ ),
              position_( nb_elements_ ), element_at_( nb_elements_ )
        {
            for( const auto merged : to_merged )
            {
                offsets_[merged + 1]++;
            }
            std::partial_sum(
                offsets_.begin(), offsets_.end(), offsets_.begin() );
            auto next = offsets_;
            for( index_t e = 0; e < nb_elements_; e++ )
            {
                elements_[next[to_merged[e]]++] = e;
            }
            std::iota( position_.begin(), position_.end(), 0u );
            std::iota( element_at_.begin(), element_at_.end(), 0u );
            working_.copy( from );
            // One more element, scratch space for swapping two values.
            working_.resize( nb_elements_ + 1 );
        }

        /// Imports into `to`, as an import from the input with an old-to-new
        /// list would: every input element whose merged element stands in
        /// merged_targets takes that pair's target.
        void import_into(
            AttributeManager& to,
            absl::Span< const std::pair< index_t, index_t > > merged_targets )
        {
            std::vector< std::pair< index_t, index_t > > taken;
            for( const auto& merged_target : merged_targets )
            {
                const auto merged = merged_target.first;
                for( auto k = offsets_[merged]; k < offsets_[merged + 1]; k++ )
                {
                    taken.emplace_back( elements_[k], merged_target.second );
                }
            }
            // Ascending input order, so that of two elements sent to one
            // target the later wins, as in a whole-input import.
            std::sort( taken.begin(), taken.end() );
            std::vector< index_t > old2new( taken.size() );
            for( index_t j = 0; j < taken.size(); j++ )
            {
                move_to( taken[j].first, j );
                old2new[j] = taken[j].second;
            }
            to.import( working_, old2new );
        }

      private:
        void move_to( index_t element, index_t position )
        {
            const auto current = position_[element];
            if( current == position )
            {
                return;
            }
            working_.copy_attribute_value( position, nb_elements_ );
            working_.copy_attribute_value( current, position );
            working_.copy_attribute_value( nb_elements_, current );
            const auto displaced = element_at_[position];
            element_at_[position] = element;
            element_at_[current] = displaced;
            position_[element] = position;
            position_[displaced] = current;
        }

        index_t nb_elements_;
        // Input elements grouped by merged element: those of merged
        // element m are elements_[offsets_[m] .. offsets_[m + 1]).
        std::vector< index_t > offsets_;
        std::vector< index_t > elements_;
        AttributeManager working_;
        std::vector< index_t > position_;
        std::vector< index_t > element_at_;
    };
} // namespace

namespace vorna
{
    namespace detail
    {
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromMeshes< Model, Builder, D >::Impl
        {
            using Owner = CornersLinesBuilderFromMeshes< Model, Builder, D >;
            using CurveSpan = absl::Span<
                const std::reference_wrapper< const EdgedCurve< D > > >;
            using SurfaceSpan = absl::Span<
                const std::reference_wrapper< const SurfaceMesh< D > > >;
            /// (new surface vertex, merged vertex) in creation order.
            using NewVertices =
                std::vector< std::pair< ComponentMeshVertex, index_t > >;

          public:
            Impl( Owner& owner,
                  Model& model,
                  CurveSpan curves,
                  SurfaceSpan surfaces )
                : owner_( owner ), model_( model ), builder_( model ),
                  curves_( curves.begin(), curves.end() ),
                  surfaces_( surfaces.begin(), surfaces.end() ),
                  merger_( surfaces_, COLOCATION_EPSILON ),
                  polygon_edges_(
                      owner.wireframe()
                          .edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              PolygonEdges >(
                              "polygon_edges", PolygonEdges{} ) ),
                  use_input_( check_inputs( curves, surfaces ) ),
                  merged_( use_input_ ? surfaces.front().get()
                                      : merger_.merged() ),
                  identifier_( merged_ ),
                  surface_ids_(
                      merged_.polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              index_t >(
                              SurfaceIdentifier< D >::surface_id_attribute_name,
                              INVALID_INDEX,
                              AttributeFlags{ true, false } ) )
            {
                if( use_input_ )
                {
                    // Labels left by an earlier conversion would be taken over
                    // as groups; this mesh is grouped afresh.
                    for( index_t p = 0; p < merged_.nb_polygons(); p++ )
                    {
                        surface_ids_->set_value( p, INVALID_INDEX );
                    }
                }
                else
                {
                    merger_.create_surface_step();
                }
            }

            void build_wireframe_step()
            {
                fork( [this] { identifier_.identify_polygons(); },
                      [this] { build_wireframe(); } );
            }

            bool is_corner( index_t vertex ) const
            {
                const auto& wireframe = owner_.wireframe();
                const auto& around = wireframe.edges_around_vertex( vertex );
                if( around.size() != 2 )
                {
                    return true;
                }
                const auto e0 = around[0].edge_id;
                const auto e1 = around[1].edge_id;
                const auto surfaces0 = edge_surface_ids( e0 );
                const auto surfaces1 = edge_surface_ids( e1 );
                if( surfaces0.empty() != surfaces1.empty() )
                {
                    // One edge comes from curves only, the other from
                    // surface borders: the line must change there.
                    return true;
                }
                if( !surfaces0.empty() )
                {
                    return surfaces0 != surfaces1;
                }
                return edge_curve_ids( e0 ) != edge_curve_ids( e1 );
            }

            void build_surfaces()
            {
                const auto groups = identifier_.identified_surfaces_polygons();
                const auto nb_groups = static_cast< index_t >( groups.size() );
                surface_uuids_.assign( nb_groups, uuid{} );
                const auto impl =
                    MeshFactory::default_impl( merged_.type_name() );
                for( index_t s = 0; s < nb_groups; s++ )
                {
                    surface_uuids_[s] = builder_.add_surface( impl );
                    add_line_relationships( s, groups[s] );
                }
                vertex_old2new_.assign( merged_.nb_vertices(), INVALID_INDEX );
                polygon_old2new_.assign( merged_.nb_polygons(), INVALID_INDEX );
                polygon_surface_.assign( merged_.nb_polygons(), INVALID_INDEX );
                polygon_in_surface_.assign( merged_.nb_polygons(),
                                            INVALID_INDEX );
                const auto behind_first =
                    inputs_behind_first_polygons( groups );
                nb_imports_.assign( sources_.size(), 0 );
                for( const auto& inputs : behind_first )
                {
                    for( const auto i : inputs )
                    {
                        nb_imports_[i]++;
                    }
                }
                vertex_gatherers_.clear();
                vertex_gatherers_.resize( sources_.size() );
                polygon_gatherers_.clear();
                polygon_gatherers_.resize( sources_.size() );
                for( index_t s = 0; s < nb_groups; s++ )
                {
                    build_surface( s, groups[s], behind_first[s] );
                }
                vertex_gatherers_.clear();
                polygon_gatherers_.clear();
                add_final_polygon_entries();
            }

            std::pair< VertexMapping, ElementMapping > mappings()
            {
                update_surface_mappings();
                update_line_mappings();
                merged_.polygon_attribute_manager().delete_attribute(
                    SurfaceIdentifier< D >::surface_id_attribute_name );
                return { std::move( vertex_mapping_ ),
                         std::move( element_mapping_ ) };
            }

          private:
            /// Refuses non-finite used points, and tells whether a single
            /// input can serve as the merged mesh as it is: merging welds
            /// vertices within the tolerance and rebuilds a symmetric
            /// adjacency from what the input stored, which the grouping and
            /// the border tests need.
            static bool check_inputs( CurveSpan curves, SurfaceSpan surfaces )
            {
                const bool single = surfaces.size() == 1;
                bool symmetric{ true };
                for( const auto& surface : surfaces )
                {
                    symmetric =
                        check_polygons( surface.get(), single ) && symmetric;
                }
                for( const auto& curve : curves )
                {
                    check_curve( curve.get() );
                }
                return single && symmetric &&
                       !has_colocated_vertices( surfaces.front().get() );
            }

            // ---- wireframe -------------------------------------------------

            void build_wireframe()
            {
                const auto colocated = colocate_points();
                builder_.create_unique_vertices( colocated.second );
                add_surface_borders_to_wireframe( colocated.first );
                add_curve_edges_to_wireframe( colocated.first );
            }

            /// Colocated index of every merged point then every curve point,
            /// and the number of distinct points. The merged mesh never has
            /// two vertices within the tolerance (the merger guarantees it,
            /// a single input is checked at construction), so without curves
            /// the numbering is the identity and no search is needed.
            std::pair< std::vector< index_t >, index_t > colocate_points() const
            {
                const auto nb_merged = merged_.nb_vertices();
                if( curves_.empty() )
                {
                    std::vector< index_t > identity( nb_merged );
                    std::iota( identity.begin(), identity.end(), 0u );
                    return { std::move( identity ), nb_merged };
                }
                std::size_t nb_points = nb_merged;
                for( const auto& curve : curves_ )
                {
                    nb_points += curve.get().nb_vertices();
                }
                std::vector< Point< D > > points;
                points.reserve( nb_points );
                for( index_t v = 0; v < nb_merged; v++ )
                {
                    points.push_back( merged_.point( v ) );
                }
                for( const auto& curve : curves_ )
                {
                    for( index_t v = 0; v < curve.get().nb_vertices(); v++ )
                    {
                        points.push_back( curve.get().point( v ) );
                    }
                }
                auto info = NNSearch< D >{ std::move( points ) }
                                .colocated_index_mapping( COLOCATION_EPSILON );
                const auto nb_unique =
                    static_cast< index_t >( info.unique_points.size() );
                return { std::move( info.colocated_mapping ), nb_unique };
            }

            void add_surface_borders_to_wireframe(
                const std::vector< index_t >& colocated )
            {
                for( index_t p = 0; p < merged_.nb_polygons(); p++ )
                {
                    const auto nb_edges = merged_.nb_polygon_edges( p );
                    for( local_index_t e = 0; e < nb_edges; e++ )
                    {
                        const PolygonEdge edge{ p, e };
                        if( !merged_.is_edge_on_border( edge ) )
                        {
                            continue;
                        }
                        const auto vertices =
                            merged_.polygon_edge_vertices( edge );
                        const auto wireframe_edge = owner_.find_or_create_edge(
                            { colocated[vertices[0]], colocated[vertices[1]] },
                            { merged_.point( vertices[0] ),
                              merged_.point( vertices[1] ) } );
                        polygon_edges_->modify_value(
                            wireframe_edge,
                            [&edge]( PolygonEdges& edges )
                            { edges.push_back( edge ); } );
                    }
                }
                // Surface vertices and polygons are mapped straight to their
                // final values from these tables: a provisional entry per
                // input element would cost a hash entry and an erase each.
                fill_surface_sources( colocated );
            }

            void fill_surface_sources( const std::vector< index_t >& colocated )
            {
                sources_.clear();
                if( use_input_ )
                {
                    auto& source = sources_.emplace_back( merged_ );
                    source.vertex_unique.resize( merged_.nb_vertices() );
                    for( index_t v = 0; v < merged_.nb_vertices(); v++ )
                    {
                        source.vertex_unique[v] = colocated[v];
                    }
                    source.polygon_merged.resize( merged_.nb_polygons() );
                    std::iota( source.polygon_merged.begin(),
                               source.polygon_merged.end(),
                               0u );
                    return;
                }
                absl::flat_hash_set< uuid > listed;
                for( index_t i = 0; i < surfaces_.size(); i++ )
                {
                    const auto& mesh = surfaces_.at( i ).get();
                    auto& source = sources_.emplace_back( mesh );
                    source.first_listing = listed.insert( mesh.id() ).second;
                    source.vertex_unique.resize( mesh.nb_vertices() );
                    for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                    {
                        source.vertex_unique[v] =
                            colocated[merger_.vertex_in_merged( i, v )];
                    }
                    source.polygon_merged.resize( mesh.nb_polygons() );
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        source.polygon_merged[p] =
                            merger_.polygon_in_merged( i, p );
                    }
                }
            }

            /// Curve edges and vertices are recorded in flat tables, mapped
            /// to their final lines by mappings(): provisional entries in the
            /// mappings would cost an erase each, and an erase walks the list
            /// of every value, which is long where a curve lingers at one
            /// point or runs many times over one segment.
            void add_curve_edges_to_wireframe(
                const std::vector< index_t >& colocated )
            {
                curve_edge_wireframe_.assign( curves_.size(), {} );
                curve_vertex_unique_.assign( curves_.size(), {} );
                wireframe_edge_curves_.clear();
                auto offset = merged_.nb_vertices();
                for( index_t c = 0; c < curves_.size(); c++ )
                {
                    const auto& curve = curves_[c].get();
                    auto& edge_wireframe = curve_edge_wireframe_[c];
                    edge_wireframe.resize( curve.nb_edges() );
                    for( index_t e = 0; e < curve.nb_edges(); e++ )
                    {
                        const auto& vertices = curve.edge_vertices( e );
                        const auto wireframe_edge = owner_.find_or_create_edge(
                            { colocated[offset + vertices[0]],
                              colocated[offset + vertices[1]] },
                            { curve.point( curve.edge_vertex( { e, 0 } ) ),
                              curve.point( curve.edge_vertex( { e, 1 } ) ) } );
                        edge_wireframe[e] = wireframe_edge;
                        if( wireframe_edge >= wireframe_edge_curves_.size() )
                        {
                            wireframe_edge_curves_.resize( wireframe_edge + 1 );
                        }
                        auto& made_by = wireframe_edge_curves_[wireframe_edge];
                        if( std::find( made_by.begin(),
                                       made_by.end(),
                                       curve.id() ) == made_by.end() )
                        {
                            made_by.push_back( curve.id() );
                        }
                    }
                    auto& vertex_unique = curve_vertex_unique_[c];
                    vertex_unique.resize( curve.nb_vertices() );
                    for( index_t v = 0; v < curve.nb_vertices(); v++ )
                    {
                        vertex_unique[v] = colocated[offset + v];
                    }
                    offset += curve.nb_vertices();
                }
            }

            // ---- corner rule -----------------------------------------------

            absl::InlinedVector< index_t, 4 >
            edge_surface_ids( index_t edge ) const
            {
                absl::InlinedVector< index_t, 4 > ids;
                for( const auto& polygon_edge : polygon_edges_->value( edge ) )
                {
                    ids.push_back(
                        surface_ids_->value( polygon_edge.polygon_id ) );
                }
                std::sort( ids.begin(), ids.end() );
                ids.erase( std::unique( ids.begin(), ids.end() ), ids.end() );
                return ids;
            }

            /// The curves whose edges made the wireframe edge.
            absl::flat_hash_set< uuid > edge_curve_ids( index_t edge ) const
            {
                absl::flat_hash_set< uuid > ids;
                if( edge < wireframe_edge_curves_.size() )
                {
                    const auto& made_by = wireframe_edge_curves_[edge];
                    ids.insert( made_by.begin(), made_by.end() );
                }
                return ids;
            }

            // ---- surfaces --------------------------------------------------

            void add_line_relationships( index_t group_id,
                                         const std::vector< index_t >& group )
            {
                absl::flat_hash_set< uuid > boundaries;
                absl::flat_hash_set< uuid > internals;
                for( const auto p : group )
                {
                    const auto nb_edges = merged_.nb_polygon_edges( p );
                    for( local_index_t e = 0; e < nb_edges; e++ )
                    {
                        const auto wireframe_edge = owner_.wireframe_edge_id(
                            merged_.polygon_edge_vertices( { p, e } ) );
                        if( !wireframe_edge )
                        {
                            continue;
                        }
                        const auto& polygon_edges =
                            polygon_edges_->value( wireframe_edge.value() );
                        const auto count = std::count_if(
                            polygon_edges.begin(),
                            polygon_edges.end(),
                            [this, group_id]( const PolygonEdge& edge ) {
                                return surface_ids_->value( edge.polygon_id ) ==
                                       group_id;
                            } );
                        const auto& line =
                            owner_.line_uuid( wireframe_edge.value() );
                        if( count == 1 )
                        {
                            boundaries.insert( line );
                        }
                        else
                        {
                            internals.insert( line );
                        }
                    }
                }
                const auto& surface =
                    model_.surface( surface_uuids_[group_id] );
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
            }

            /// For each group, the inputs (indices in sources_, in span order,
            /// once per input polygon) behind the group's first polygon.
            std::vector< absl::InlinedVector< index_t, 2 > >
            inputs_behind_first_polygons(
                const std::vector< std::vector< index_t > >& groups ) const
            {
                std::vector< index_t > group_of_first( merged_.nb_polygons(),
                                                       INVALID_INDEX );
                for( index_t s = 0; s < groups.size(); s++ )
                {
                    group_of_first[absl::MakeConstSpan( groups[s] ).at( 0 )] =
                        s;
                }
                std::vector< absl::InlinedVector< index_t, 2 > > behind(
                    groups.size() );
                for( index_t i = 0; i < sources_.size(); i++ )
                {
                    for( const auto merged : sources_[i].polygon_merged )
                    {
                        const auto group_id = group_of_first[merged];
                        if( group_id != INVALID_INDEX )
                        {
                            behind[group_id].push_back( i );
                        }
                    }
                }
                return behind;
            }

            void build_surface( index_t group_id,
                                const std::vector< index_t >& group,
                                absl::Span< const index_t > behind_first )
            {
                const auto& surface_id = surface_uuids_[group_id];
                const auto new_vertices =
                    create_surface_mesh( group_id, group, behind_first );
                {
                    auto mesh_builder =
                        surface_mesh_builder( model_, surface_id );
                    mesh_builder->compute_polygon_adjacencies();
                    for( index_t k = 0; k < group.size(); k++ )
                    {
                        const auto p = group[k];
                        const auto nb_edges = merged_.nb_polygon_vertices( p );
                        for( local_index_t e = 0; e < nb_edges; e++ )
                        {
                            if( merged_.is_edge_on_border( { p, e } ) )
                            {
                                mesh_builder->unset_polygon_adjacent(
                                    { k, e } );
                            }
                        }
                    }
                }
                // Sides and block volumes take neighbouring polygons of one
                // surface to agree in orientation. Polygon indices, and so
                // the element mapping, stay as they are.
                repair_polygon_orientations< D >(
                    model_.modifiable_surface( surface_id )
                        .get_modifiable_mesh() );
                for( const auto& new_vertex : new_vertices )
                {
                    builder_.set_unique_vertex( new_vertex.first,
                                                new_vertex.second );
                }
                add_corner_surface_relationships( surface_id, new_vertices );
                // Ready for the next surface: only the entries set here.
                for( const auto& new_vertex : new_vertices )
                {
                    vertex_old2new_[new_vertex.second] = INVALID_INDEX;
                }
                for( const auto p : group )
                {
                    polygon_old2new_[p] = INVALID_INDEX;
                }
            }

            NewVertices
            create_surface_mesh( index_t group_id,
                                 const std::vector< index_t >& group,
                                 absl::Span< const index_t > behind_first )
            {
                const auto& surface_id = surface_uuids_[group_id];
                const ComponentID component_id{ surface_type(), surface_id };
                auto mesh_builder = surface_mesh_builder( model_, surface_id );
                NewVertices new_vertices;
                new_vertices.reserve( group.size() );
                absl::InlinedVector< index_t, 64 > polygon_vertices;
                for( const auto p : group )
                {
                    const auto nb_vertices = merged_.nb_polygon_vertices( p );
                    polygon_vertices.resize( nb_vertices );
                    for( local_index_t k = 0; k < nb_vertices; k++ )
                    {
                        const auto m = merged_.polygon_vertex( { p, k } );
                        if( vertex_old2new_[m] == INVALID_INDEX )
                        {
                            const auto n = mesh_builder->create_point(
                                merged_.point( m ) );
                            vertex_old2new_[m] = n;
                            new_vertices.emplace_back(
                                ComponentMeshVertex{ component_id, n }, m );
                        }
                        polygon_vertices[k] = vertex_old2new_[m];
                    }
                    const auto q =
                        mesh_builder->create_polygon( polygon_vertices );
                    polygon_old2new_[p] = q;
                    polygon_surface_[p] = group_id;
                    polygon_in_surface_[p] = q;
                }
                name_and_import(
                    surface_id, group, new_vertices, behind_first );
                return new_vertices;
            }

            /// The surface takes the name and the attributes of every input
            /// behind its group's first polygon.
            void name_and_import( const uuid& surface_id,
                                  const std::vector< index_t >& group,
                                  const NewVertices& new_vertices,
                                  absl::Span< const index_t > behind_first )
            {
                const auto& surface_mesh = model_.surface( surface_id ).mesh();
                std::string name;
                for( const auto i : behind_first )
                {
                    import_vertex_attributes( i, new_vertices, surface_mesh );
                    import_polygon_attributes( i, group, surface_mesh );
                    absl::StrAppend( &name, sources_[i].mesh.name() );
                }
                builder_.set_surface_name( surface_id, name );
            }

            void
            import_vertex_attributes( index_t input,
                                      const NewVertices& new_vertices,
                                      const SurfaceMesh< D >& surface_mesh )
            {
                const auto& source = sources_[input];
                const auto& from = source.mesh.vertex_attribute_manager();
                if( from.attribute_names().empty() )
                {
                    return;
                }
                if( nb_imports_[input] > 1 )
                {
                    auto& gatherer = vertex_gatherers_[input];
                    if( !gatherer )
                    {
                        gatherer = std::make_unique< AttributeGatherer >(
                            from, source.vertex_unique, merged_.nb_vertices() );
                    }
                    std::vector< std::pair< index_t, index_t > > targets;
                    targets.reserve( new_vertices.size() );
                    for( const auto& new_vertex : new_vertices )
                    {
                        targets.emplace_back( new_vertex.second,
                                              new_vertex.first.vertex );
                    }
                    gatherer->import_into(
                        surface_mesh.vertex_attribute_manager(), targets );
                    return;
                }
                std::vector< index_t > old2new( source.vertex_unique.size() );
                for( index_t v = 0; v < old2new.size(); v++ )
                {
                    old2new[v] = vertex_old2new_[source.vertex_unique[v]];
                }
                surface_mesh.vertex_attribute_manager().import( from, old2new );
            }

            void
            import_polygon_attributes( index_t input,
                                       const std::vector< index_t >& group,
                                       const SurfaceMesh< D >& surface_mesh )
            {
                const auto& source = sources_[input];
                const auto& from = source.mesh.polygon_attribute_manager();
                if( from.attribute_names().empty() )
                {
                    return;
                }
                if( nb_imports_[input] > 1 )
                {
                    auto& gatherer = polygon_gatherers_[input];
                    if( !gatherer )
                    {
                        gatherer = std::make_unique< AttributeGatherer >(
                            from,
                            source.polygon_merged,
                            merged_.nb_polygons() );
                    }
                    std::vector< std::pair< index_t, index_t > > targets;
                    targets.reserve( group.size() );
                    for( const auto p : group )
                    {
                        targets.emplace_back( p, polygon_old2new_[p] );
                    }
                    gatherer->import_into(
                        surface_mesh.polygon_attribute_manager(), targets );
                    return;
                }
                std::vector< index_t > old2new( source.polygon_merged.size() );
                for( index_t p = 0; p < old2new.size(); p++ )
                {
                    old2new[p] = polygon_old2new_[source.polygon_merged[p]];
                }
                surface_mesh.polygon_attribute_manager().import( from,
                                                                 old2new );
            }

            void
            add_corner_surface_relationships( const uuid& surface_id,
                                              const NewVertices& new_vertices )
            {
                const auto& surface = model_.surface( surface_id );
                const auto& surface_mesh = surface.mesh();
                for( const auto& new_vertex : new_vertices )
                {
                    if( surface_mesh.is_vertex_on_border(
                            new_vertex.first.vertex ) )
                    {
                        continue;
                    }
                    const auto unique_vertex =
                        model_.unique_vertex( new_vertex.first );
                    for( const auto& component_vertex :
                         model_.component_mesh_vertices( unique_vertex ) )
                    {
                        const auto& component = component_vertex.component_id;
                        if( component.type() == corner_type() )
                        {
                            builder_.add_corner_surface_internal_relationship(
                                model_.corner( component.id() ), surface );
                        }
                    }
                }
            }

            /// Every input polygon goes to the surface polygon that its
            /// merged polygon became, whichever input stands behind the
            /// group's first polygon.
            void add_final_polygon_entries()
            {
                for( const auto& source : sources_ )
                {
                    if( !source.first_listing )
                    {
                        continue;
                    }
                    const auto& mesh_id = source.mesh.id();
                    for( index_t p = 0; p < source.polygon_merged.size(); p++ )
                    {
                        const auto merged = source.polygon_merged[p];
                        const auto group_id = polygon_surface_[merged];
                        if( group_id == INVALID_INDEX )
                        {
                            continue;
                        }
                        element_mapping_.map(
                            MeshElement{ mesh_id, p },
                            ComponentMeshElement{
                                ComponentID{ surface_type(),
                                             surface_uuids_[group_id] },
                                polygon_in_surface_[merged] } );
                    }
                }
            }

            // ---- mappings --------------------------------------------------

            void update_surface_mappings()
            {
                for( const auto& source : sources_ )
                {
                    if( !source.first_listing )
                    {
                        continue;
                    }
                    const auto& mesh_id = source.mesh.id();
                    for( index_t v = 0; v < source.vertex_unique.size(); v++ )
                    {
                        const MeshVertex key{ mesh_id, v };
                        for( const auto& component_vertex :
                             model_.component_mesh_vertices(
                                 source.vertex_unique[v] ) )
                        {
                            if( component_vertex.component_id.type() ==
                                surface_type() )
                            {
                                vertex_mapping_.map( key, component_vertex );
                            }
                        }
                    }
                }
            }

            void update_line_mappings()
            {
                absl::flat_hash_set< uuid > done;
                for( index_t c = 0; c < curves_.size(); c++ )
                {
                    const auto& curve = curves_[c].get();
                    if( !done.insert( curve.id() ).second )
                    {
                        continue;
                    }
                    const auto& edge_wireframe = curve_edge_wireframe_.at( c );
                    for( index_t e = 0; e < curve.nb_edges(); e++ )
                    {
                        const auto wireframe_edge = edge_wireframe.at( e );
                        element_mapping_.map(
                            MeshElement{ curve.id(), e },
                            ComponentMeshElement{
                                ComponentID{
                                    line_type(),
                                    owner_.line_uuid( wireframe_edge ) },
                                owner_.line_edge_id( wireframe_edge ) } );
                    }
                    const auto& vertex_unique = curve_vertex_unique_.at( c );
                    for( index_t v = 0; v < curve.nb_vertices(); v++ )
                    {
                        const MeshVertex key{ curve.id(), v };
                        for( const auto& component_vertex :
                             model_.component_mesh_vertices(
                                 vertex_unique.at( v ) ) )
                        {
                            if( component_vertex.component_id.type() ==
                                line_type() )
                            {
                                vertex_mapping_.map( key, component_vertex );
                            }
                        }
                    }
                }
            }

          private:
            Owner& owner_;
            Model& model_;
            Builder builder_;
            // Copies of the caller's lists, which may be temporaries; the
            // meshes themselves must outlive the builder.
            std::vector< std::reference_wrapper< const EdgedCurve< D > > >
                curves_;
            std::vector< std::reference_wrapper< const SurfaceMesh< D > > >
                surfaces_;
            SurfaceMeshMerger< D > merger_;
            std::shared_ptr< VariableAttribute< PolygonEdges > > polygon_edges_;
            bool use_input_;
            const SurfaceMesh< D >& merged_;
            SurfaceIdentifier< D > identifier_;
            std::shared_ptr< VariableAttribute< index_t > > surface_ids_;
            VertexMapping vertex_mapping_;
            ElementMapping element_mapping_;
            std::vector< SurfaceSource< D > > sources_;
            // Per curve: the wireframe edge of each edge, the unique vertex
            // of each vertex. Per wireframe edge: the curves that made it.
            std::vector< std::vector< index_t > > curve_edge_wireframe_;
            std::vector< std::vector< index_t > > curve_vertex_unique_;
            std::vector< absl::InlinedVector< uuid, 1 > >
                wireframe_edge_curves_;
            std::vector< uuid > surface_uuids_;
            // Working tables over the merged mesh, reused surface after
            // surface: only the entries a surface sets are reset.
            std::vector< index_t > vertex_old2new_;
            std::vector< index_t > polygon_old2new_;
            std::vector< index_t > polygon_surface_;
            std::vector< index_t > polygon_in_surface_;
            // How many surfaces each input's attributes go to, and the
            // working copies of those that go to several.
            std::vector< index_t > nb_imports_;
            std::vector< std::unique_ptr< AttributeGatherer > >
                vertex_gatherers_;
            std::vector< std::unique_ptr< AttributeGatherer > >
                polygon_gatherers_;
        };

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromMeshes< Model, Builder, D >::
            CornersLinesBuilderFromMeshes(
                Model& model,
                absl::Span<
                    const std::reference_wrapper< const EdgedCurve< D > > >
                    curves,
                absl::Span<
                    const std::reference_wrapper< const SurfaceMesh< D > > >
                    surfaces )
            : CornersLinesBuilder< Model, Builder, D >( model ),
              impl_( (
                  check_model_has_no_unique_vertex( model ),
                  std::make_unique< Impl >( *this, model, curves, surfaces ) ) )
        {
        }

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilderFromMeshes< Model, Builder, D >::
            ~CornersLinesBuilderFromMeshes() = default;

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilderFromMeshes< Model, Builder, D >::
            build_wireframe_step()
        {
            impl_->build_wireframe_step();
        }

        template < typename Model, typename Builder, index_t D >
        bool CornersLinesBuilderFromMeshes< Model, Builder, D >::is_corner(
            index_t vertex ) const
        {
            return impl_->is_corner( vertex );
        }

        template < typename Model, typename Builder, index_t D >
        void
        CornersLinesBuilderFromMeshes< Model, Builder, D >::build_surfaces()
        {
            impl_->build_surfaces();
        }

        template < typename Model, typename Builder, index_t D >
        auto CornersLinesBuilderFromMeshes< Model, Builder, D >::mappings()
            -> std::pair< VertexMapping, ElementMapping >
        {
            return impl_->mappings();
        }

        template class CornersLinesBuilderFromMeshes< BRep, BRepBuilder, 3 >;
        template class CornersLinesBuilderFromMeshes< Section,
                                                      SectionBuilder,
                                                      2 >;
    } // namespace detail
} // namespace vorna
