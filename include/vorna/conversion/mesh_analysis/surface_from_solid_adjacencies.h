#pragma once

#include <memory>

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SolidMesh;
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Builds the boundary surface of a solid: one polygon per border
        /// facet, a facet across which the solid stores no adjacent
        /// polyhedron (the outer boundary, and both sides of every internal
        /// facet whose adjacency is missing or was cut). Border facets on the
        /// same vertices in the same cyclic order, in either direction, such
        /// as the two sides of a cut facet, become one polygon.
        ///
        /// Each polygon lists the solid facets it stands for in its attribute
        /// "polyhedra_exported" (absl::InlinedVector<PolyhedronFacet,2>),
        /// which goes with the returned surface. Each solid vertex gets, in
        /// the vertex attribute "solid_vertex" (unsigned int), the surface
        /// vertex made for it, or INVALID_INDEX when it lies on no border
        /// facet; that attribute stays on the solid until the caller deletes
        /// it. The surface's vertices take the solid's vertex attributes.
        ///
        /// Polygons are numbered in the order of their vertex cycles (each
        /// read from its smallest vertex towards the smaller neighbour), and
        /// surface vertices in the order of first use, whatever the number of
        /// threads; a polygon lists its facets in ascending order.
        class SurfaceFromSolidAdjacencies
        {
          public:
            static constexpr const char* polyhedra_exported_attribute_name =
                "polyhedra_exported";
            static constexpr const char* solid_vertex_attribute_name =
                "solid_vertex";

            /// \throw CorvaneException when "solid_vertex" is already on the
            /// solid with another storage or value type.
            explicit SurfaceFromSolidAdjacencies( const SolidMesh< 3 >& solid );
            ~SurfaceFromSolidAdjacencies();
            SurfaceFromSolidAdjacencies( const SurfaceFromSolidAdjacencies& ) =
                delete;
            SurfaceFromSolidAdjacencies&
            operator=( const SurfaceFromSolidAdjacencies& ) = delete;

            /// Collects the border facets in parallel chunks, merges them
            /// into polygons, joins and orients the polygons, and hands the
            /// surface over. "solid_vertex" is rewritten for every solid
            /// vertex, whatever an earlier build left in it.
            /// \throw the exception of the first failed chunk (in chunk
            /// order) once every chunk has ended; CorvaneException when
            /// called a second time.
            std::unique_ptr< SurfaceMesh< 3 > > build();

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
