#pragma once

#include <vorna/conversion/model/convert_surfaces_into_brep.h>

namespace vorna
{
    /// Builds a new BRep from `brep` in which every sharp edge of its
    /// surfaces lies on a line: an edge between two polygons of one surface
    /// is sharp when both have a normal and the dihedral angle there is at
    /// most `angle` degrees (the normals are at least 180 - angle degrees
    /// apart). Surfaces split where their sharp edges cut them apart;
    /// corners, lines, blocks and model boundaries are rebuilt as
    /// convert_curves_and_surfaces_into_brep does from the lines and
    /// surfaces of `brep`, which is only read.
    ///
    /// The mappings name input components: a MeshVertex or MeshElement
    /// holds the uuid of a line or surface of `brep` and a vertex or element
    /// index of its mesh; each corner of `brep` maps, as MeshVertex(corner
    /// id, 0), to the corner at the same unique vertex (a corner that no
    /// line or surface vertex shares gets no entry).
    /// ConversionModel::initialize() must have been called.
    /// \throw CorvaneException "[add_corner_mappings] Did not find exactly
    /// one corner for initial corner with uuid <uuid>" when the new model
    /// has no corner, or several, where an input corner was; whatever a
    /// sharp-edge task or the conversion throws (passed on once every task
    /// has ended).
    BRepConversionResult add_sharp_features( const BRep& brep, double angle );
} // namespace vorna
