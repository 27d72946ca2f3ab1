#pragma once

#include <vector>

#include <conversion/mesh_analysis/from_meshes/groups.h>
#include <conversion/mesh_analysis/from_meshes/wireframe.h>
#include <vorna/conversion/mesh_analysis/corners_lines_builder.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            class SurfaceVertices;

            /// One model surface per polygon group, with its mesh, unique
            /// vertices, line and corner relationships, name and the input
            /// attributes behind its first polygon.
            template < typename Model, typename Builder, index_t D >
            class MeshesSurfaces
            {
              public:
                MeshesSurfaces( const CornersLinesBuilder< Model, Builder, D >&
                                    corners_lines,
                                Model& model,
                                Builder& builder,
                                const MeshesInput< D >& input,
                                const MeshesWireframe< D >& wireframe,
                                const PolygonGroups< D >& groups );

                /// Builds the surfaces, maps every input polygon to its
                /// surface polygon and every input surface vertex to the
                /// surface vertices at its point. The meshes are filled, and
                /// the mappings' tables written, at the same time on
                /// several threads; the result does not depend on it.
                void build( VertexMapping& vertex_mapping,
                            ElementMapping& element_mapping );

              private:
                struct GroupLines;

                std::vector< GroupLines >
                find_line_relationships( const GroupTable& table ) const;
                void add_surfaces( index_t nb_groups );
                std::vector< ComponentID > surface_components() const;
                void add_line_relationships(
                    const std::vector< GroupLines >& lines );
                void build_surface_mesh( index_t group_id,
                                         const GroupTable& table,
                                         const SurfaceVertices< D >& vertices );
                void fill_element_mapping( ElementMapping& element_mapping,
                                           const GroupTable& table ) const;
                void fill_vertex_mapping(
                    VertexMapping& vertex_mapping,
                    const SurfaceVertices< D >& vertices ) const;
                void name_and_import( const GroupTable& table,
                                      const SurfaceVertices< D >& vertices );
                void add_corner_surface_relationships(
                    const SurfaceVertices< D >& vertices );

                const CornersLinesBuilder< Model, Builder, D >& corners_lines_;
                Model& model_;
                Builder& builder_;
                const SurfaceMesh< D >& merged_;
                const MeshesWireframe< D >& wireframe_;
                const PolygonGroups< D >& groups_;
                std::vector< uuid > surface_uuids_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
