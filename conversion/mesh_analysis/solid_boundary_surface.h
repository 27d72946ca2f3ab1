#pragma once

#include <functional>
#include <memory>
#include <vector>

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
        /// Called with the task index at the start of each task of a
        /// parallel group; tests make a task fail through it.
        using TaskProbe = std::function< void( index_t ) >;

        /// The boundary surface of a solid, as SurfaceFromSolidAdjacencies
        /// describes it, built without writing anything on the solid: the
        /// surface vertex of each solid vertex stays in this object's table,
        /// so several threads may build the surface of one solid at once.
        class SolidBoundarySurface
        {
          public:
            /// Creates the empty surface with its "polyhedra_exported"
            /// polygon attribute.
            explicit SolidBoundarySurface( const SolidMesh< 3 >& solid );
            ~SolidBoundarySurface();
            SolidBoundarySurface( const SolidBoundarySurface& ) = delete;
            SolidBoundarySurface&
            operator=( const SolidBoundarySurface& ) = delete;

            /// Logs "Building surface from solid adjacencies", collects the
            /// border facets (one pool task per chunk of polyhedra), merges
            /// them into polygons on the calling thread, then joins the
            /// polygons and settles their orientation.
            /// \throw the exception of the first failed chunk in chunk order,
            /// once every chunk has ended: no polygon is made then.
            /// CorvaneException when called twice.
            void build_polygons( const TaskProbe& probe = {} );

            /// Per solid vertex, the surface vertex made for it, or
            /// INVALID_INDEX for a vertex on no border facet.
            const std::vector< index_t >& surface_vertices() const;

            /// Gives the solid's vertex attributes to the surface vertices
            /// made from them, then hands the surface over.
            /// \throw CorvaneException unless build_polygons() ran and the
            /// surface is still here.
            std::unique_ptr< SurfaceMesh< 3 > > take_surface();

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
