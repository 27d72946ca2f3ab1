#pragma once

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include <absl/functional/function_ref.h>

#include <conversion/mesh_analysis/from_meshes/common.h>
#include <conversion/mesh_analysis/from_meshes/inputs.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/geometry/point.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// The wireframe of merged border edges and curve edges, and
            /// where every input vertex, polygon and curve edge went.
            template < index_t D >
            class MeshesWireframe
            {
              public:
                /// Creates the given number of unique vertices.
                using UniqueVerticesCreator =
                    absl::FunctionRef< void( index_t ) >;
                /// The wireframe edge of a pair of unique vertices, made on
                /// first use with the given points.
                using EdgeCreator = absl::FunctionRef< index_t(
                    const std::array< index_t, 2 >&,
                    const std::array< Point< D >, 2 >& ) >;

                MeshesWireframe( const MeshesInput< D >& input,
                                 const EdgedCurve< D >& wireframe );

                /// Colocates every point, creates one unique vertex per
                /// distinct point and fills the wireframe.
                void build( UniqueVerticesCreator create_unique_vertices,
                            EdgeCreator find_or_create_edge );

                /// The merged polygon edges that made a wireframe edge.
                const PolygonEdges& polygon_edges( index_t edge ) const
                {
                    return polygon_edges_->value( edge );
                }

                const std::vector< SurfaceSource< D > >& sources() const
                {
                    return sources_;
                }

                /// Wireframe edge of each edge of curve c.
                const std::vector< index_t >& curve_edges( index_t c ) const
                {
                    return curve_edge_wireframe_.at( c );
                }

                /// Unique vertex of each vertex of curve c.
                const std::vector< index_t >& curve_vertices( index_t c ) const
                {
                    return curve_vertex_unique_.at( c );
                }

                /// The curves whose edges made a wireframe edge.
                absl::Span< const uuid > edge_curves( index_t edge ) const;

                /// The merged polygon edges along a wireframe edge that are
                /// not borders: the surface goes on across them, so a curve
                /// along one lies inside that surface.
                absl::Span< const PolygonEdge >
                inner_polygon_edges( index_t edge ) const
                {
                    return absl::MakeConstSpan( inner_edges_ )
                        .subspan( inner_begin_[edge],
                                  inner_begin_[edge + 1] - inner_begin_[edge] );
                }

              private:
                std::pair< std::vector< index_t >, index_t >
                colocate_points() const;
                void add_surface_borders_to_wireframe(
                    const std::vector< index_t >& colocated,
                    EdgeCreator find_or_create_edge );
                void
                fill_surface_sources( const std::vector< index_t >& colocated );
                void add_curve_edges_to_wireframe(
                    const std::vector< index_t >& colocated,
                    EdgeCreator find_or_create_edge );
                void find_inner_polygon_edges(
                    const std::vector< std::array< index_t, 2 > >& edge_ends );

                const MeshesInput< D >& input_;
                std::shared_ptr< VariableAttribute< PolygonEdges > >
                    polygon_edges_;
                std::vector< SurfaceSource< D > > sources_;
                // Per curve: the wireframe edge of each edge, the unique
                // vertex of each vertex. Per wireframe edge: the curves that
                // made it.
                std::vector< std::vector< index_t > > curve_edge_wireframe_;
                std::vector< std::vector< index_t > > curve_vertex_unique_;
                std::vector< absl::InlinedVector< uuid, 1 > >
                    wireframe_edge_curves_;
                // Wireframe edge e runs along the inner polygon edges
                // inner_edges_[inner_begin_[e]] to
                // inner_edges_[inner_begin_[e + 1] - 1].
                std::vector< index_t > inner_begin_{ 0 };
                std::vector< PolygonEdge > inner_edges_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
