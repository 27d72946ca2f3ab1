#pragma once

#include <functional>
#include <memory>

#include <absl/types/span.h>

#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    namespace detail
    {
        /// Merges surface meshes into one: colocated vertices (within
        /// epsilon) become one, identical polygon cycles become one polygon
        /// (unless told to keep them apart), and adjacency is kept only
        /// where an input stored it and the merged edge pair is used by
        /// exactly those two polygon edges. Not thread-safe.
        template < index_t D >
        class SurfaceMeshMerger
        {
          public:
            /// Keeps views of the meshes, which must outlive the merger, and
            /// creates the empty merged mesh at once (a fresh uuid, empty
            /// name, the inputs' common type or PolygonalSurface{D}D).
            /// With `merge_identical_polygons` false, every input polygon
            /// gets a merged polygon of its own.
            /// \throw CorvaneException when epsilon is negative or NaN.
            SurfaceMeshMerger( absl::Span< const std::reference_wrapper<
                                   const SurfaceMesh< D > > > surfaces,
                               double epsilon,
                               bool merge_identical_polygons = true );
            ~SurfaceMeshMerger();

            /// The merged mesh; attributes registered on it before
            /// create_surface_step() follow its polygons.
            const SurfaceMesh< D >& merged() const;

            /// Fills the merged mesh.
            /// \throw CorvaneException when called twice.
            void create_surface_step();

            /// Merged vertex of an input vertex.
            /// \throw CorvaneException before create_surface_step() or on an
            /// out-of-range surface or vertex.
            index_t vertex_in_merged( index_t surface, index_t vertex ) const;

            /// Merged polygon of an input polygon, never INVALID_INDEX.
            /// \throw CorvaneException before create_surface_step() or on an
            /// out-of-range surface or polygon.
            index_t polygon_in_merged( index_t surface, index_t polygon ) const;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
