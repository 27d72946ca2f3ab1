#pragma once

#include <vector>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    class Section;
    template < index_t D >
    class Surface;

    namespace detail
    {
        /// The lines along a surface's border edges, each once, in the order
        /// first met (polygons, then their edges, ascending).
        struct SurfaceLinesRelations
        {
            /// Lines with the surface on one side of them.
            std::vector< uuid > boundaries;
            /// Lines with the surface on both sides (two of its polygon
            /// edges along the line's edge).
            std::vector< uuid > internals;
        };

        /// Relates, through unique vertices, each border edge of the
        /// surface to the one line that has an edge between the same two
        /// unique vertices; a border edge along no line is skipped.
        /// \throw CorvaneException "[SectionFromSurfaces::find_surface_lines_
        /// relations] Found multiple lines linked by unique vertices to edge
        /// <edge> of surface with uuid <uuid>" when several lines do.
        SurfaceLinesRelations
        find_surface_lines_relations( const Section& section,
                                      const Surface< 2 >& surface );
    } // namespace detail
} // namespace vorna
