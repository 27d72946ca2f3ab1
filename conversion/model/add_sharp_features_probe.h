#pragma once

// Not installed: lets tests inject failures into the parallel stages of
// add_sharp_features and benchmarks time its stages.

#include <functional>

#include <absl/strings/string_view.h>

#include <vorna/conversion/model/add_sharp_features.h>
#include <vorna/mesh/mesh_element.h>

namespace vorna
{
    namespace detail
    {
        /// Observation points of add_sharp_features; empty members are not
        /// called. A member may throw to simulate a failure there.
        struct SharpFeaturesProbe
        {
            /// Called by each sharp-edge detection task, on its pool
            /// thread, with its chunk number, before it scans its polygons.
            std::function< void( index_t chunk ) > on_detection_chunk;

            /// Called just before the adjacency on one side of a sharp edge
            /// is removed.
            std::function< void( const PolygonEdge& side ) > on_unset;

            /// Called on the calling thread each time a stage ends: "copy",
            /// then per surface "normals", "detection" and "unsetting",
            /// then "collect", "conversion" and "corner_mappings".
            std::function< void( absl::string_view stage ) > on_stage_end;
        };

        /// add_sharp_features, reporting to `probe`.
        BRepConversionResult add_sharp_features(
            const BRep& brep, double angle, const SharpFeaturesProbe& probe );
    } // namespace detail
} // namespace vorna
