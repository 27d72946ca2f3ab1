#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <conversion/mesh_analysis/from_meshes/groups.h>
#include <conversion/mesh_analysis/from_meshes/wireframe.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            class AttributeImporter;

            /// One model surface per polygon group, with its mesh, unique
            /// vertices, line and corner relationships, name and the input
            /// attributes behind its first polygon.
            template < typename Model, typename Builder, index_t D >
            class MeshesSurfaces
            {
                /// (new surface vertex, merged vertex) in creation order.
                using NewVertices =
                    std::vector< std::pair< ComponentMeshVertex, index_t > >;

              public:
                MeshesSurfaces( const CornersLinesBuilder< Model, Builder, D >&
                                    corners_lines,
                                Model& model,
                                Builder& builder,
                                const MeshesInput< D >& input,
                                const MeshesWireframe< D >& wireframe,
                                const PolygonGroups< D >& groups );
                ~MeshesSurfaces();

                /// Builds the surfaces and maps every input polygon to its
                /// surface polygon.
                void build( ElementMapping& element_mapping );

              private:
                void
                add_line_relationships( index_t group_id,
                                        const std::vector< index_t >& group );
                std::vector< absl::InlinedVector< index_t, 2 > >
                inputs_behind_first_polygons(
                    const std::vector< std::vector< index_t > >& groups ) const;
                void build_surface( index_t group_id,
                                    const std::vector< index_t >& group,
                                    absl::Span< const index_t > behind_first );
                NewVertices
                create_surface_mesh( index_t group_id,
                                     const std::vector< index_t >& group,
                                     absl::Span< const index_t > behind_first );
                void
                name_and_import( const uuid& surface_id,
                                 const std::vector< index_t >& group,
                                 const NewVertices& new_vertices,
                                 absl::Span< const index_t > behind_first );
                void add_corner_surface_relationships(
                    const uuid& surface_id, const NewVertices& new_vertices );
                void add_final_polygon_entries(
                    ElementMapping& element_mapping ) const;

                const CornersLinesBuilder< Model, Builder, D >& corners_lines_;
                Model& model_;
                Builder& builder_;
                const SurfaceMesh< D >& merged_;
                const MeshesWireframe< D >& wireframe_;
                const PolygonGroups< D >& groups_;
                std::vector< uuid > surface_uuids_;
                // Working tables over the merged mesh, reused surface after
                // surface: only the entries a surface sets are reset.
                std::vector< index_t > vertex_old2new_;
                std::vector< index_t > polygon_surface_;
                std::vector< index_t > polygon_in_surface_;
                std::unique_ptr< AttributeImporter > vertex_importer_;
                std::unique_ptr< AttributeImporter > polygon_importer_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
