#include <conversion/mesh_analysis/from_meshes/wireframe.h>

#include <algorithm>
#include <numeric>

#include <absl/container/flat_hash_set.h>

#include <conversion/common/tasks.h>
#include <vorna/basic/logger.h>
#include <vorna/geometry/nn_search.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/surface_mesh.h>

namespace
{
    // Polygons or vertices per parallel piece of work.
    constexpr vorna::index_t CHUNK{ 4096 };

    // The inputs refuse a polygon that repeats a vertex in a row: a repeat
    // in the merged mesh comes from points merged within the tolerance, and
    // whatever the polygon enclosed is gone.
    template < vorna::index_t D >
    void warn_of_collapsed_edges( const vorna::SurfaceMesh< D >& merged )
    {
        const auto nb_polygons = merged.nb_polygons();
        const auto nb_chunks = ( nb_polygons + CHUNK - 1 ) / CHUNK;
        std::vector< char > collapsed( nb_chunks, 0 );
        vorna::detail::parallel_for(
            0,
            nb_chunks,
            1,
            [&]( vorna::index_t chunk )
            {
                const auto end = std::min( ( chunk + 1 ) * CHUNK, nb_polygons );
                collapsed[chunk] =
                    merged.find_repeated_vertex( chunk * CHUNK, end )
                        .has_value();
            } );
        if( std::find( collapsed.begin(), collapsed.end(), 1 ) !=
            collapsed.end() )
        {
            vorna::Logger::log_warn(
                "[CornersLinesBuilderFromMeshes] Points closer than 1e-6 were "
                "merged: polygon edges between them collapsed to a point" );
        }
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            MeshesWireframe< D >::MeshesWireframe(
                const MeshesInput< D >& input,
                const EdgedCurve< D >& wireframe )
                : input_( input ),
                  polygon_edges_(
                      wireframe.edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              PolygonEdges >(
                              "polygon_edges", PolygonEdges{} ) )
            {
            }

            template < index_t D >
            void MeshesWireframe< D >::build(
                UniqueVerticesCreator create_unique_vertices,
                EdgeCreator find_or_create_edge )
            {
                const auto colocated = colocate_points();
                create_unique_vertices( colocated.second );
                // The unique vertices of each wireframe edge, as it is made.
                std::vector< std::array< index_t, 2 > > edge_ends;
                const auto record_edge =
                    [&]( const std::array< index_t, 2 >& vertices,
                         const std::array< Point< D >, 2 >& points )
                {
                    const auto edge = find_or_create_edge( vertices, points );
                    if( edge == edge_ends.size() )
                    {
                        edge_ends.push_back( vertices );
                    }
                    return edge;
                };
                add_surface_borders_to_wireframe( colocated.first,
                                                  record_edge );
                add_curve_edges_to_wireframe( colocated.first, record_edge );
                find_inner_polygon_edges( edge_ends );
            }

            /// A curve edge along polygon edges inside a surface, or a border
            /// edge on which other polygons join across (a fin standing on
            /// a surface), runs along that surface too: the corner rule must
            /// see it to end a line where it leaves the surface.
            template < index_t D >
            void MeshesWireframe< D >::find_inner_polygon_edges(
                const std::vector< std::array< index_t, 2 > >& edge_ends )
            {
                const auto& merged = input_.merged();
                const auto nb_merged = merged.nb_vertices();
                const auto offsets = merged.polygon_offsets();
                const auto vertices = merged.polygon_slot_vertices();
                const auto adjacents = merged.polygon_slot_adjacents();
                const auto nb_edges =
                    static_cast< index_t >( edge_ends.size() );
                const auto nb_chunks = ( nb_edges + CHUNK - 1 ) / CHUNK;
                // (wireframe edge, inner polygon edge), by wireframe edge.
                std::vector< std::vector< std::pair< index_t, PolygonEdge > > >
                    found( nb_chunks );
                parallel_for(
                    0,
                    nb_chunks,
                    1,
                    [&]( index_t chunk )
                    {
                        const auto end =
                            std::min( ( chunk + 1 ) * CHUNK, nb_edges );
                        for( auto edge = chunk * CHUNK; edge < end; edge++ )
                        {
                            const auto& ends = edge_ends[edge];
                            if( ends[0] >= nb_merged || ends[1] >= nb_merged ||
                                ends[0] == ends[1] )
                            {
                                continue;
                            }
                            // From the end with fewer polygons: on a book
                            // of k pages each page edge would otherwise
                            // scan the k polygons around the spine.
                            const auto& around0 =
                                merged.polygons_around_vertex( ends[0] );
                            const auto& around1 =
                                merged.polygons_around_vertex( ends[1] );
                            const bool from_second =
                                around1.size() < around0.size();
                            const auto target = from_second ? ends[0] : ends[1];
                            for( const auto& use :
                                 from_second ? around1 : around0 )
                            {
                                const auto begin = offsets[use.polygon_id];
                                const auto last =
                                    offsets[use.polygon_id + 1] - 1;
                                const auto slot = begin + use.vertex_id;
                                const auto next =
                                    slot == last ? begin : slot + 1;
                                const auto previous =
                                    slot == begin ? last : slot - 1;
                                for( const auto from : { slot, previous } )
                                {
                                    const auto other =
                                        from == slot ? next : previous;
                                    if( vertices[other] == target &&
                                        adjacents[from] != INVALID_INDEX )
                                    {
                                        found[chunk].emplace_back(
                                            edge,
                                            PolygonEdge{
                                                use.polygon_id,
                                                static_cast< local_index_t >(
                                                    from - begin ) } );
                                    }
                                }
                            }
                        }
                    } );
                inner_begin_.assign( nb_edges + 1, 0 );
                inner_edges_.clear();
                for( const auto& chunk_found : found )
                {
                    for( const auto& pair : chunk_found )
                    {
                        inner_begin_[pair.first + 1]++;
                        inner_edges_.push_back( pair.second );
                    }
                }
                for( index_t edge = 0; edge < nb_edges; edge++ )
                {
                    inner_begin_[edge + 1] += inner_begin_[edge];
                }
            }

            template < index_t D >
            absl::Span< const uuid >
            MeshesWireframe< D >::edge_curves( index_t edge ) const
            {
                if( edge < wireframe_edge_curves_.size() )
                {
                    return wireframe_edge_curves_[edge];
                }
                return {};
            }

            /// Colocated index of every merged point then every curve point,
            /// and the number of distinct points. The merged mesh never has
            /// two vertices within the tolerance (the merger guarantees it,
            /// a single input is checked at construction), so without curves
            /// the numbering is the identity and no search is needed.
            template < index_t D >
            std::pair< std::vector< index_t >, index_t >
            MeshesWireframe< D >::colocate_points() const
            {
                const auto& merged = input_.merged();
                const auto& curves = input_.curves();
                const auto nb_merged = merged.nb_vertices();
                std::vector< Point< D > > curve_points;
                for( const auto& curve : curves )
                {
                    for( index_t v = 0; v < curve.get().nb_vertices(); v++ )
                    {
                        curve_points.push_back( curve.get().point( v ) );
                    }
                }
                if( curve_points.empty() )
                {
                    std::vector< index_t > identity( nb_merged );
                    std::iota( identity.begin(), identity.end(), 0u );
                    return { std::move( identity ), nb_merged };
                }
                // Colocating merged points then curve points in one list
                // numbers merged vertex v as v (no two lie within the
                // tolerance) and gives a curve point the first merged
                // vertex within the tolerance, if any. So only the curve
                // points are searched: each merged point looks for the curve
                // points near it (in parallel), and the curve points left
                // colocate among themselves after the merged vertices.
                const auto nb_curve_points =
                    static_cast< index_t >( curve_points.size() );
                const NNSearch< D > curve_search{ curve_points };
                const auto merged_points = merged.points();
                const auto nb_chunks = ( nb_merged + CHUNK - 1 ) / CHUNK;
                // (curve point, merged vertex) within the tolerance.
                std::vector< std::vector< std::pair< index_t, index_t > > >
                    near( nb_chunks );
                parallel_for(
                    0,
                    nb_chunks,
                    1,
                    [&]( index_t chunk )
                    {
                        const auto end =
                            std::min( ( chunk + 1 ) * CHUNK, nb_merged );
                        for( auto v = chunk * CHUNK; v < end; v++ )
                        {
                            for( const auto c : curve_search.radius_neighbors(
                                     merged_points[v], COLOCATION_EPSILON ) )
                            {
                                near[chunk].emplace_back( c, v );
                            }
                        }
                    } );
                std::vector< index_t > colocated( nb_merged + nb_curve_points,
                                                  INVALID_INDEX );
                std::iota(
                    colocated.begin(), colocated.begin() + nb_merged, 0u );
                for( const auto& chunk_near : near )
                {
                    for( const auto& pair : chunk_near )
                    {
                        auto& unique = colocated[nb_merged + pair.first];
                        unique = std::min( unique, pair.second );
                    }
                }
                std::vector< index_t > left;
                std::vector< Point< D > > left_points;
                for( index_t c = 0; c < nb_curve_points; c++ )
                {
                    if( colocated[nb_merged + c] == INVALID_INDEX )
                    {
                        left.push_back( c );
                        left_points.push_back( curve_points[c] );
                    }
                }
                auto info = NNSearch< D >{ std::move( left_points ) }
                                .colocated_index_mapping( COLOCATION_EPSILON );
                for( index_t k = 0; k < left.size(); k++ )
                {
                    colocated[nb_merged + left[k]] =
                        nb_merged + info.colocated_mapping[k];
                }
                const auto nb_unique =
                    nb_merged +
                    static_cast< index_t >( info.unique_points.size() );
                return { std::move( colocated ), nb_unique };
            }

            template < index_t D >
            void MeshesWireframe< D >::add_surface_borders_to_wireframe(
                const std::vector< index_t >& colocated,
                EdgeCreator find_or_create_edge )
            {
                const auto& merged = input_.merged();
                const auto offsets = merged.polygon_offsets();
                const auto vertices = merged.polygon_slot_vertices();
                const auto adjacents = merged.polygon_slot_adjacents();
                const auto points = merged.points();
                // The border edges, found in parallel, then made into
                // wireframe edges in polygon order.
                const auto nb_polygons = merged.nb_polygons();
                const auto nb_chunks = ( nb_polygons + CHUNK - 1 ) / CHUNK;
                std::vector< std::vector< PolygonEdge > > borders( nb_chunks );
                parallel_for(
                    0,
                    nb_chunks,
                    1,
                    [&]( index_t chunk )
                    {
                        const auto end =
                            std::min( ( chunk + 1 ) * CHUNK, nb_polygons );
                        for( auto p = chunk * CHUNK; p < end; p++ )
                        {
                            for( auto slot = offsets[p]; slot < offsets[p + 1];
                                 slot++ )
                            {
                                if( adjacents[slot] == INVALID_INDEX )
                                {
                                    borders[chunk].emplace_back(
                                        p,
                                        static_cast< local_index_t >(
                                            slot - offsets[p] ) );
                                }
                            }
                        }
                    } );
                // An input used as it is repeats no vertex in a row.
                if( !input_.uses_input() )
                {
                    warn_of_collapsed_edges( merged );
                }
                for( const auto& chunk_borders : borders )
                {
                    for( const auto& edge : chunk_borders )
                    {
                        const auto begin = offsets[edge.polygon_id];
                        const auto slot = begin + edge.edge_id;
                        const auto next =
                            slot + 1 == offsets[edge.polygon_id + 1] ? begin
                                                                     : slot + 1;
                        const std::array< index_t, 2 > ends{ vertices[slot],
                                                             vertices[next] };
                        const auto wireframe_edge = find_or_create_edge(
                            { colocated[ends[0]], colocated[ends[1]] },
                            { points[ends[0]], points[ends[1]] } );
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

            template < index_t D >
            void MeshesWireframe< D >::fill_surface_sources(
                const std::vector< index_t >& colocated )
            {
                const auto& merged = input_.merged();
                sources_.clear();
                if( input_.uses_input() )
                {
                    auto& source = sources_.emplace_back( merged );
                    source.vertex_unique.resize( merged.nb_vertices() );
                    for( index_t v = 0; v < merged.nb_vertices(); v++ )
                    {
                        source.vertex_unique[v] = colocated[v];
                    }
                    source.polygon_merged.resize( merged.nb_polygons() );
                    std::iota( source.polygon_merged.begin(),
                               source.polygon_merged.end(),
                               0u );
                    return;
                }
                const auto& surfaces = input_.surfaces();
                const auto& merger = input_.merger();
                absl::flat_hash_set< uuid > listed;
                for( index_t i = 0; i < surfaces.size(); i++ )
                {
                    const auto& mesh = surfaces.at( i ).get();
                    auto& source = sources_.emplace_back( mesh );
                    source.first_listing = listed.insert( mesh.id() ).second;
                    source.vertex_unique.resize( mesh.nb_vertices() );
                    for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                    {
                        source.vertex_unique[v] =
                            colocated[merger.vertex_in_merged( i, v )];
                    }
                    source.polygon_merged.resize( mesh.nb_polygons() );
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        source.polygon_merged[p] =
                            merger.polygon_in_merged( i, p );
                    }
                }
            }

            /// Curve edges and vertices are recorded in flat tables, mapped
            /// to their final lines at the end: provisional entries in the
            /// mappings would cost an erase each, and an erase walks the list
            /// of every value, which is long where a curve lingers at one
            /// point or runs many times over one segment.
            template < index_t D >
            void MeshesWireframe< D >::add_curve_edges_to_wireframe(
                const std::vector< index_t >& colocated,
                EdgeCreator find_or_create_edge )
            {
                const auto& curves = input_.curves();
                curve_edge_wireframe_.assign( curves.size(), {} );
                curve_vertex_unique_.assign( curves.size(), {} );
                wireframe_edge_curves_.clear();
                auto offset = input_.merged().nb_vertices();
                for( index_t c = 0; c < curves.size(); c++ )
                {
                    const auto& curve = curves[c].get();
                    auto& edge_wireframe = curve_edge_wireframe_[c];
                    edge_wireframe.resize( curve.nb_edges() );
                    for( index_t e = 0; e < curve.nb_edges(); e++ )
                    {
                        const auto& vertices = curve.edge_vertices( e );
                        const auto wireframe_edge = find_or_create_edge(
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

            template class MeshesWireframe< 2 >;
            template class MeshesWireframe< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
