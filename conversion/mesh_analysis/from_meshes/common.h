#pragma once

// Pieces shared by the steps of the meshes-and-curves builder.

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/conversion/common/component_mesh_element.h>
#include <vorna/conversion/common/generic_mapping.h>
#include <vorna/conversion/common/mesh_element.h>
#include <vorna/conversion/common/mesh_vertex.h>
#include <vorna/geometry/point.h>
#include <vorna/mesh/mesh_element.h>
#include <vorna/model/component_id.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    template < index_t D >
    class EdgedCurve;
    template < index_t D >
    class SurfaceMesh;

    namespace detail
    {
        namespace from_meshes
        {
            constexpr double COLOCATION_EPSILON{ 1e-6 };

            using PolygonEdges = absl::InlinedVector< PolygonEdge, 3 >;
            using VertexMapping =
                GenericMapping< MeshVertex, ComponentMeshVertex >;
            using ElementMapping =
                GenericMapping< MeshElement, ComponentMeshElement >;

            template < index_t D >
            using CurveSpan = absl::Span<
                const std::reference_wrapper< const EdgedCurve< D > > >;
            template < index_t D >
            using SurfaceSpan = absl::Span<
                const std::reference_wrapper< const SurfaceMesh< D > > >;

            const ComponentType& surface_type();
            const ComponentType& line_type();
            const ComponentType& corner_type();

            /// Whether every coordinate is finite.
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

            /// The mesh's name, or its uuid when it has none.
            template < typename Mesh >
            std::string mesh_label( const Mesh& mesh )
            {
                return mesh.name().empty() ? mesh.id().string()
                                           : std::string{ mesh.name() };
            }

            /// Where the vertices and polygons of one input surface mesh
            /// went in the merged mesh: flat tables, so that later passes
            /// need no mapping look-up per element.
            template < index_t D >
            struct SurfaceSource
            {
                explicit SurfaceSource( const SurfaceMesh< D >& input )
                    : mesh( input )
                {
                }

                const SurfaceMesh< D >& mesh;
                /// Input vertex -> unique vertex (= merged vertex).
                std::vector< index_t > vertex_unique;
                /// Input polygon -> merged polygon.
                std::vector< index_t > polygon_merged;
                /// False for a later listing of a mesh already listed: its
                /// keys are the same, so it is mapped once.
                bool first_listing{ true };
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
