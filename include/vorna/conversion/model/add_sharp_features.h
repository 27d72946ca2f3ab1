#pragma once

#include <vorna/conversion/model/convert_surfaces_into_brep.h>

namespace vorna
{
    /// Builds a new BRep from `brep` in which every sharp edge of its
    /// surfaces lies on a line: an edge between two polygons of one surface
    /// (joined there, or on either side of a line inside the surface) is
    /// sharp when both have a normal and the dihedral angle there is at
    /// most `angle` degrees (the normals are at least 180 - angle degrees
    /// apart). Surfaces split where their sharp edges cut them apart;
    /// where no edge is sharp the result has the corners, lines and
    /// surfaces of `brep`, a line inside a surface staying inside it, even
    /// where two surfaces hold the same polygon. Lines, blocks and model
    /// boundaries are rebuilt as convert_curves_and_surfaces_into_brep
    /// does from the lines and surfaces of `brep`, which is only read;
    /// every corner of `brep` on a line or a surface stays a corner. Every
    /// model the conversions make is accepted, also where merging close
    /// points left a polygon that repeats a vertex.
    ///
    /// The mappings name input components: a MeshVertex or MeshElement
    /// holds the uuid of a line or surface of `brep` and a vertex or element
    /// index of its mesh; each corner of `brep` maps, as MeshVertex(corner
    /// id, 0), to the corner at the same unique vertex (a corner that no
    /// line or surface vertex shares gets no entry).
    /// ConversionModel::initialize() must have been called.
    /// \throw CorvaneException "[add_sharp_features] The angle must be a
    /// number of degrees from 0 to 180, got <angle>" for NaN or an angle
    /// outside [0, 180]; "[add_sharp_features] Coordinates must lie
    /// within [-1e+40, 1e+40]: vertex <v> of mesh '<name or uuid>' has
    /// <value>" for the first surface, line or corner mesh (in that order)
    /// with a point beyond that bound, naming its farthest coordinate;
    /// whatever a sharp-edge task or the conversion
    /// throws (passed on once every task has ended), such as its refusal
    /// of a point with a non-finite coordinate in a model built by hand.
    BRepConversionResult add_sharp_features( const BRep& brep, double angle );
} // namespace vorna
