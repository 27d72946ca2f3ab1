#pragma once

#include <memory>

#include <vorna/basic/common.h>

namespace vorna
{
    class Section;
    class SectionBuilder;
    template < index_t D >
    class SurfaceMesh;

    namespace detail
    {
        template < typename Model, typename Builder, index_t D >
        class CornersLinesBuilderFromSurface;

        /// Builds a whole Section from one 2D surface mesh: corners, lines
        /// and one surface per region of polygons joined by stored
        /// adjacencies (CornersLinesBuilderFromSurface), one model boundary
        /// holding the lines that bound exactly one surface, and the surfaces
        /// cut along their internal lines.
        ///
        /// Use: build(), or build_wireframe_step(), any number of
        /// add_wireframe_corner(), build_section_components_step(),
        /// cut_surfaces_by_lines_step(), each once and in that order: a
        /// step run out of order or again throws CorvaneException
        /// "[SectionFromSurfaceBuilder::<step>] The ... is not built: run
        /// <step>() first" or "... is built already" (or "The surfaces are
        /// cut already"), changing nothing. The
        /// mesh must outlive the builder; the Section should be empty. Leaves
        /// on the mesh the polygon attributes "surface_identifier" and
        /// "surface_uuid".
        class SectionFromSurfaceBuilder
        {
          public:
            /// \throw CorvaneException "[SectionFromSurfaceBuilder] ...",
            /// before anything is written on the mesh or the Section,
            /// naming the mesh (by name, else uuid) and: a vertex of a
            /// polygon with a non-finite coordinate ("Vertex <v> of mesh
            /// '<mesh>' has a non-finite coordinate"), a used coordinate
            /// beyond the bound ("Coordinates must lie within [-1e+40,
            /// 1e+40]: vertex <v> of mesh '<mesh>' has <value>", the
            /// farthest coordinate), a polygon that repeats a vertex in a
            /// row or joins two distinct vertices at one point (of equal
            /// coordinates; any other edge, however short, is kept), a
            /// polygon edge along which two other polygon edges lie
            /// (overlapping polygons), an edge adjacent to its own polygon,
            /// or a stored adjacency that the neighbour does not store back
            /// across the same two vertices; else as
            /// CornersLinesBuilderFromSurface's constructor.
            SectionFromSurfaceBuilder( Section& section,
                                       const SurfaceMesh< 2 >& mesh );
            ~SectionFromSurfaceBuilder();
            SectionFromSurfaceBuilder( const SectionFromSurfaceBuilder& ) =
                delete;
            SectionFromSurfaceBuilder&
            operator=( const SectionFromSurfaceBuilder& ) = delete;

            /// The wireframe of the mesh's border edges, and the regions.
            void build_wireframe_step();

            /// Makes a corner at the wireframe vertex now, whatever the
            /// corner rule says; lines will end there.
            /// \throw CorvaneException when the wireframe has no such vertex
            /// ("Wireframe vertex <v> is out of range [0, <count>)") or this
            /// vertex was given already.
            void add_wireframe_corner( index_t vertex );

            /// Corners, lines, surfaces with their meshes and relationships,
            /// and the model boundary.
            /// \throw as CornersLinesBuilderFromSurface::build_surfaces.
            void build_section_components_step();

            /// Cuts every surface along its internal lines, so that their two
            /// sides share no surface vertex.
            void cut_surfaces_by_lines_step();

            /// The three steps in order.
            void build();

            /// The wireframe builder, to choose corners between steps.
            const CornersLinesBuilderFromSurface< Section, SectionBuilder, 2 >&
            wireframe() const;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
