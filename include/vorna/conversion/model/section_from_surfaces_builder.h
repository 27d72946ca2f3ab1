#pragma once

#include <functional>
#include <memory>

#include <absl/types/span.h>

#include <vorna/basic/common.h>

namespace vorna
{
    class Section;
    template < index_t D >
    class SurfaceMesh;

    namespace detail
    {
        /// Builds a Section from several 2D surface meshes, each with
        /// polygons becoming exactly one surface, in list order, whose mesh
        /// is a copy of it (same numbering, same attributes); a mesh
        /// without polygons adds nothing. Vertices of the meshes closer than
        /// 1e-6 share a unique vertex; corners and lines come from the
        /// surfaces' borders (CornersLinesBuilderFromModel), and each line is
        /// related to the surfaces it bounds (the surface on one side) or lies
        /// inside (on both sides). No model boundary and no cut.
        ///
        /// Use: construct, build() once. The meshes must outlive the
        /// builder; they are only read.
        class SectionFromSurfacesBuilder
        {
          public:
            SectionFromSurfacesBuilder(
                Section& section,
                absl::Span<
                    const std::reference_wrapper< const SurfaceMesh< 2 > > >
                    meshes );
            ~SectionFromSurfacesBuilder();
            SectionFromSurfacesBuilder( const SectionFromSurfacesBuilder& ) =
                delete;
            SectionFromSurfacesBuilder&
            operator=( const SectionFromSurfacesBuilder& ) = delete;

            /// \throw CorvaneException "[SectionFromSurfacesBuilder::build]
            /// The section is built already" when called again; when the
            /// Section already has unique vertices (nothing is changed
            /// then);
            /// "[SectionFromSurfacesBuilder]
            /// ...", before anything is built, naming the mesh (by name,
            /// else uuid) and: a vertex with a non-finite coordinate (every
            /// vertex is copied), a used coordinate beyond [-1e+40, 1e+40]
            /// (the first such mesh, as SectionFromSurfaceBuilder words
            /// it), a polygon edge of no length (a vertex
            /// repeated in a row, or two that merge), a polygon edge along
            /// which two other polygon edges of its mesh lie (once merged),
            /// or a stored adjacency that the neighbour does not store back
            /// across the same two vertices; or, naming the edge and
            /// the surface, when a surface border edge runs along edges of
            /// several lines; whatever the framework throws. The Section
            /// keeps what was built before a throw.
            void build();

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
