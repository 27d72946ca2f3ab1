#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/string_view.h>

#include <conversion/common/index_checks.h>
#include <conversion/common/step_checks.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/common/unset_uuid.h>
#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/edged_curve_builder.h>
#include <vorna/mesh/point_set_builder.h>
#include <vorna/model/brep.h>
#include <vorna/model/brep_builder.h>
#include <vorna/model/component_mesh_vertex.h>
#include <vorna/model/section.h>
#include <vorna/model/section_builder.h>

namespace vorna
{
    namespace detail
    {
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilder< Model, Builder, D >::Impl
        {
            using LineVertices = absl::flat_hash_map< uuid, index_t >;

          public:
            explicit Impl( Model& model )
                : model_( model ), builder_( model ),
                  wireframe_( EdgedCurve< D >::create() ),
                  wireframe_builder_(
                      EdgedCurveBuilder< D >::create( *wireframe_ ) ),
                  unique_vertex_(
                      wireframe_->vertex_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              index_t >(
                              "wireframe_vertex_id",
                              INVALID_INDEX,
                              AttributeFlags{ true, false } ) ),
                  corner_uuid_(
                      wireframe_->vertex_attribute_manager()
                          .template find_or_create_attribute< SparseAttribute,
                                                              uuid >(
                              "corner_uuid",
                              UNSET_UUID,
                              AttributeFlags{ true, false } ) ),
                  line_uuid_(
                      wireframe_->edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              uuid >(
                              "line_uuid",
                              UNSET_UUID,
                              AttributeFlags{ true, false } ) ),
                  line_vertex_(
                      wireframe_->vertex_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              LineVertices >(
                              "line_vertex", LineVertices{} ) ),
                  line_edge_(
                      wireframe_->edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              index_t >(
                              "line_edge",
                              INVALID_INDEX,
                              AttributeFlags{ true, false } ) )
            {
            }

            const EdgedCurve< D >& wireframe() const
            {
                return *wireframe_;
            }

            index_t find_or_create_edge(
                const std::array< index_t, 2 >& unique_vertices,
                const std::array< Point< D >, 2 >& points )
            {
                const auto key = sorted( unique_vertices );
                const auto found = edges_.find( key );
                if( found != edges_.end() )
                {
                    return found->second;
                }
                const auto edge = static_cast< index_t >( edges_.size() );
                edges_.emplace( key, edge );
                wireframe_builder_->create_edge();
                for( const local_index_t end : { 0, 1 } )
                {
                    const auto unique_vertex = unique_vertices[end];
                    auto inserted = vertices_.try_emplace(
                        unique_vertex,
                        static_cast< index_t >( vertices_.size() ) );
                    if( inserted.second )
                    {
                        wireframe_builder_->create_point( points[end] );
                        unique_vertex_->set_value( inserted.first->second,
                                                   unique_vertex );
                    }
                    wireframe_builder_->set_edge_vertex(
                        EdgeVertex{ edge, end }, inserted.first->second );
                }
                return edge;
            }

            absl::optional< index_t > wireframe_edge_id(
                const std::array< index_t, 2 >& unique_vertices ) const
            {
                const auto found = edges_.find( sorted( unique_vertices ) );
                if( found == edges_.end() )
                {
                    return absl::nullopt;
                }
                return found->second;
            }

            void check_vertex( absl::string_view operation,
                               index_t vertex ) const
            {
                check_index( operation,
                             "Wireframe vertex",
                             vertex,
                             wireframe_->nb_vertices() );
            }

            void check_edge( absl::string_view operation, index_t edge ) const
            {
                check_index(
                    operation, "Wireframe edge", edge, wireframe_->nb_edges() );
            }

            index_t vertex_id( index_t vertex ) const
            {
                check_vertex( "CornersLinesBuilder::vertex_id", vertex );
                return unique_vertex_->value( vertex );
            }

            const uuid& line_uuid( index_t edge ) const
            {
                check_edge( "CornersLinesBuilder::line_uuid", edge );
                return line_uuid_->value( edge );
            }

            index_t line_edge_id( index_t edge ) const
            {
                check_edge( "CornersLinesBuilder::line_edge_id", edge );
                return line_edge_->value( edge );
            }

            index_t line_vertex_id( index_t vertex, const uuid& line ) const
            {
                check_vertex( "CornersLinesBuilder::line_vertex_id", vertex );
                return line_vertex_->value( vertex ).at( line );
            }

            bool has_corner( index_t vertex ) const
            {
                return corner_uuid_->value( vertex ) != UNSET_UUID;
            }

            void add_corner( index_t vertex )
            {
                const auto corner_id = builder_.add_corner();
                builder_.corner_mesh_builder( corner_id )
                    ->create_point( wireframe_->point( vertex ) );
                corner_uuid_->set_value( vertex, corner_id );
                builder_.set_unique_vertex(
                    ComponentMeshVertex{ ComponentID{ "Corner", corner_id },
                                         0 },
                    unique_vertex_->value( vertex ) );
            }

            bool wireframe_built() const
            {
                return wireframe_built_;
            }

            bool lines_built() const
            {
                return lines_built_;
            }

            void start_wireframe_step( WireframeRerun rerun ) const
            {
                if( rerun == WireframeRerun::refused )
                {
                    check_step_not_done(
                        "CornersLinesBuilder::build_wireframe_step",
                        wireframe_built_,
                        "The wireframe is" );
                }
            }

            void set_wireframe_built()
            {
                wireframe_built_ = true;
            }

            // A rerun only adds what is_corner now asks for.
            void start_corners_step()
            {
                check_step_done( "CornersLinesBuilder::build_corners_step",
                                 wireframe_built_,
                                 "The wireframe is",
                                 "build_wireframe_step" );
                corners_built_ = true;
            }

            // A rerun finds every edge on a line and adds nothing.
            void start_lines_step()
            {
                check_step_done( "CornersLinesBuilder::build_lines_step",
                                 corners_built_,
                                 "The corners are",
                                 "build_corners_step" );
                lines_built_ = true;
            }

            // The traced lines would run through a new corner without ending
            // there.
            void refuse_late_corner( absl::string_view operation ) const
            {
                check_step_not_done( operation, lines_built_, "The lines are" );
            }

            void build_lines()
            {
                const auto nb_vertices = wireframe_->nb_vertices();
                for( index_t v = 0; v < nb_vertices; v++ )
                {
                    if( !has_corner( v ) )
                    {
                        continue;
                    }
                    for( const auto& edge_vertex :
                         wireframe_->edges_around_vertex( v ) )
                    {
                        if( line_uuid_->value( edge_vertex.edge_id ) ==
                            UNSET_UUID )
                        {
                            make_line( edge_vertex );
                        }
                    }
                }
                const auto nb_edges = wireframe_->nb_edges();
                for( index_t e = 0; e < nb_edges; e++ )
                {
                    if( line_uuid_->value( e ) == UNSET_UUID )
                    {
                        make_line( EdgeVertex{ e, 0 } );
                    }
                }
            }

          private:
            static std::array< index_t, 2 >
            sorted( const std::array< index_t, 2 >& pair )
            {
                return pair[0] <= pair[1]
                           ? pair
                           : std::array< index_t, 2 >{ pair[1], pair[0] };
            }

            void make_line( const EdgeVertex& start )
            {
                const auto line_id = builder_.add_line();
                const auto path = trace_line( start, line_id );
                build_line_mesh( line_id, path );
                const auto& line = model_.line( line_id );
                add_corner_line_relationship( path.front(), line );
                if( path.back() != path.front() )
                {
                    add_corner_line_relationship( path.back(), line );
                }
            }

            void add_corner_line_relationship( index_t vertex,
                                               const Line< D >& line )
            {
                const auto& corner_id = corner_uuid_->value( vertex );
                if( corner_id != UNSET_UUID )
                {
                    builder_.add_corner_line_boundary_relationship(
                        model_.corner( corner_id ), line );
                }
            }

            void assign_edge( index_t edge, const uuid& line, index_t rank )
            {
                line_uuid_->set_value( edge, line );
                line_edge_->set_value( edge, rank );
            }

            std::vector< index_t > trace_line( const EdgeVertex& start,
                                               const uuid& line )
            {
                std::vector< index_t > path;
                path.push_back( wireframe_->edge_vertex( start ) );
                assign_edge( start.edge_id, line, 0 );
                path.push_back( wireframe_->edge_vertex( EdgeVertex{
                    start.edge_id,
                    static_cast< local_index_t >( 1 - start.vertex_id ) } ) );
                while( true )
                {
                    const auto current = path.back();
                    if( has_corner( current ) || current == path.front() )
                    {
                        break;
                    }
                    bool found{ false };
                    for( const auto& edge_vertex :
                         wireframe_->edges_around_vertex( current ) )
                    {
                        if( line_uuid_->value( edge_vertex.edge_id ) !=
                            UNSET_UUID )
                        {
                            continue;
                        }
                        path.push_back( wireframe_->edge_vertex(
                            EdgeVertex{ edge_vertex.edge_id,
                                        static_cast< local_index_t >(
                                            1 - edge_vertex.vertex_id ) } ) );
                        assign_edge(
                            edge_vertex.edge_id,
                            line,
                            static_cast< index_t >( path.size() - 2 ) );
                        found = true;
                        break;
                    }
                    if( !found )
                    {
                        // A dead end without corner (the corners step did not
                        // run): the line simply ends here.
                        break;
                    }
                }
                return path;
            }

            void build_line_mesh( const uuid& line_id,
                                  const std::vector< index_t >& path )
            {
                auto mesh_builder = builder_.line_mesh_builder( line_id );
                for( index_t k = 0; k < path.size(); k++ )
                {
                    const auto vertex = path[k];
                    mesh_builder->create_point( wireframe_->point( vertex ) );
                    builder_.set_unique_vertex(
                        ComponentMeshVertex{ ComponentID{ "Line", line_id },
                                             k },
                        unique_vertex_->value( vertex ) );
                    line_vertex_->modify_value(
                        vertex,
                        [&line_id, k]( LineVertices& lines )
                        { lines[line_id] = k; } );
                }
                for( index_t k = 0; k + 1 < path.size(); k++ )
                {
                    mesh_builder->create_edge( k, k + 1 );
                }
            }

          private:
            Model& model_;
            Builder builder_;
            std::unique_ptr< EdgedCurve< D > > wireframe_;
            std::unique_ptr< EdgedCurveBuilder< D > > wireframe_builder_;
            std::shared_ptr< VariableAttribute< index_t > > unique_vertex_;
            std::shared_ptr< SparseAttribute< uuid > > corner_uuid_;
            std::shared_ptr< VariableAttribute< uuid > > line_uuid_;
            std::shared_ptr< VariableAttribute< LineVertices > > line_vertex_;
            std::shared_ptr< VariableAttribute< index_t > > line_edge_;
            absl::flat_hash_map< index_t, index_t > vertices_;
            absl::flat_hash_map< std::array< index_t, 2 >, index_t > edges_;
            bool wireframe_built_{ false };
            bool corners_built_{ false };
            bool lines_built_{ false };
        };

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilder< Model, Builder, D >::CornersLinesBuilder(
            Model& model )
            : impl_( std::make_unique< Impl >( model ) )
        {
        }

        template < typename Model, typename Builder, index_t D >
        CornersLinesBuilder< Model, Builder, D >::~CornersLinesBuilder() =
            default;

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilder< Model, Builder, D >::build()
        {
            build_wireframe_step();
            // An override that does not go through run_wireframe_step has
            // run all the same.
            impl_->set_wireframe_built();
            build_corners_step();
            build_lines_step();
        }

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilder< Model, Builder, D >::run_wireframe_step(
            absl::FunctionRef< void() > fill, WireframeRerun rerun )
        {
            impl_->start_wireframe_step( rerun );
            fill();
            impl_->set_wireframe_built();
        }

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilder< Model, Builder, D >::check_wireframe_vertex(
            absl::string_view operation, index_t vertex ) const
        {
            impl_->check_vertex( operation, vertex );
        }

        template < typename Model, typename Builder, index_t D >
        bool CornersLinesBuilder< Model, Builder, D >::wireframe_built() const
        {
            return impl_->wireframe_built();
        }

        template < typename Model, typename Builder, index_t D >
        bool CornersLinesBuilder< Model, Builder, D >::lines_built() const
        {
            return impl_->lines_built();
        }

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilder< Model, Builder, D >::build_corners_step()
        {
            impl_->start_corners_step();
            const auto nb_vertices = impl_->wireframe().nb_vertices();
            for( index_t v = 0; v < nb_vertices; v++ )
            {
                if( !impl_->has_corner( v ) && is_corner( v ) )
                {
                    impl_->refuse_late_corner(
                        "CornersLinesBuilder::build_corners_step" );
                    impl_->add_corner( v );
                }
            }
        }

        template < typename Model, typename Builder, index_t D >
        void CornersLinesBuilder< Model, Builder, D >::build_lines_step()
        {
            impl_->start_lines_step();
            impl_->build_lines();
        }

        template < typename Model, typename Builder, index_t D >
        void
        CornersLinesBuilder< Model, Builder, D >::add_corner( index_t vertex )
        {
            impl_->check_vertex( "CornersLinesBuilder::add_corner", vertex );
            impl_->refuse_late_corner( "CornersLinesBuilder::add_corner" );
            impl_->add_corner( vertex );
        }

        template < typename Model, typename Builder, index_t D >
        const EdgedCurve< D >&
        CornersLinesBuilder< Model, Builder, D >::wireframe() const
        {
            return impl_->wireframe();
        }

        template < typename Model, typename Builder, index_t D >
        index_t CornersLinesBuilder< Model, Builder, D >::vertex_id(
            index_t vertex ) const
        {
            return impl_->vertex_id( vertex );
        }

        template < typename Model, typename Builder, index_t D >
        absl::optional< index_t >
        CornersLinesBuilder< Model, Builder, D >::wireframe_edge_id(
            const std::array< index_t, 2 >& unique_vertices ) const
        {
            return impl_->wireframe_edge_id( unique_vertices );
        }

        template < typename Model, typename Builder, index_t D >
        const uuid& CornersLinesBuilder< Model, Builder, D >::line_uuid(
            index_t edge ) const
        {
            return impl_->line_uuid( edge );
        }

        template < typename Model, typename Builder, index_t D >
        index_t CornersLinesBuilder< Model, Builder, D >::line_edge_id(
            index_t edge ) const
        {
            return impl_->line_edge_id( edge );
        }

        template < typename Model, typename Builder, index_t D >
        index_t CornersLinesBuilder< Model, Builder, D >::line_vertex_id(
            index_t vertex, const uuid& line ) const
        {
            return impl_->line_vertex_id( vertex, line );
        }

        template < typename Model, typename Builder, index_t D >
        index_t CornersLinesBuilder< Model, Builder, D >::find_or_create_edge(
            const std::array< index_t, 2 >& unique_vertices,
            const std::array< Point< D >, 2 >& points )
        {
            return impl_->find_or_create_edge( unique_vertices, points );
        }

        template class CornersLinesBuilder< BRep, BRepBuilder, 3 >;
        template class CornersLinesBuilder< Section, SectionBuilder, 2 >;
    } // namespace detail
} // namespace vorna
