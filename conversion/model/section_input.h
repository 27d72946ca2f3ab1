#pragma once

#include <absl/strings/string_view.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Refuses the smallest vertex with a non-finite coordinate.
        /// \throw CorvaneException "[<operation>] Vertex <v> of mesh
        /// '<mesh>' has a non-finite coordinate", the mesh named by its
        /// name, else its uuid.
        void refuse_non_finite_points( const SurfaceMesh< 2 >& mesh,
                                       absl::string_view operation );

        /// Refuses the farthest coordinate of the polygons' vertices when it
        /// lies beyond the bound, as FarthestCoordinate words it;
        /// non-finite ones are left to their own refusal.
        void refuse_far_points( const SurfaceMesh< 2 >& mesh,
                                absl::string_view operation );

        /// Refuses polygons of which no sound Section can be made, the
        /// vertices taken as `merged` numbers them (as they are when
        /// empty).
        /// \throw CorvaneException "[<operation>] ..." naming the mesh,
        /// and in this order of checks: the smallest vertex of a polygon
        /// with a non-finite coordinate (as refuse_non_finite_points); the
        /// farthest coordinate of the polygons' vertices, when beyond the
        /// bound ("Coordinates must lie within [-1e+40, 1e+40]: vertex <v>
        /// of mesh '<mesh>' has <value>"); the
        /// first polygon with an edge of no length ("Polygon <p> of mesh
        /// '<mesh>' repeats vertex <v> in a row", or "... joins vertices
        /// <a> and <b> in a row, which merge into one", or, when `merged`
        /// is empty, "..., which lie at one point": distinct vertices of
        /// equal coordinates, an edge of any other length being kept); the
        /// first pair of vertices that three polygon edges run along, which
        /// in a plane means polygons that overlap, naming the polygon that
        /// overlaps the first two joined there ("Polygon <p> of mesh
        /// '<mesh>' shares its edge <e> with more than one other polygon",
        /// or "... runs twice along one edge: its edges <e> and <f> join
        /// the same two vertices"); the first polygon edge stored as
        /// adjacent to its own polygon ("Edge <e> of polygon <p> of mesh
        /// '<mesh>' is adjacent to its own polygon") or whose stored
        /// neighbour does not store it back across the same two vertices
        /// ("... is adjacent to polygon <q>, which is not adjacent back
        /// across it").
        void check_section_polygons( const SurfaceMesh< 2 >& mesh,
                                     absl::string_view operation,
                                     absl::Span< const index_t > merged );

        /// Refuses, before anything changes, a mesh on which the Section
        /// conversions of one mesh could not write their own polygon
        /// attributes, "surface_identifier" (unsigned int) and
        /// "surface_uuid" (uuid): one of those names taken by an attribute
        /// of another type or storage. The conversion by attribute must
        /// check it before it cuts the mesh, which would stay cut for
        /// nothing.
        /// \throw CorvaneException "[<operation>] Polygon attribute
        /// \"<name>\" of the mesh has another type than the one the
        /// conversion writes under that name".
        void check_section_attribute_names( const SurfaceMesh< 2 >& mesh,
                                            absl::string_view operation );
    } // namespace detail
} // namespace vorna
