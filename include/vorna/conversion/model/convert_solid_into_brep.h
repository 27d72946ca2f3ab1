#pragma once

#include <absl/strings/string_view.h>

#include <vorna/model/brep.h>

namespace vorna
{
    template < index_t D >
    class SolidMesh;
} // namespace vorna

namespace vorna
{
    /// Converts a solid into a BRep with one block per group of polyhedra
    /// joined by the adjacencies the solid stores, each filled with its
    /// polyhedra, and the corners, lines and surfaces of the solid's
    /// boundary and of every facet whose adjacency is missing. The solid is
    /// only read, so several threads may convert one solid at once.
    /// ConversionModel::initialize() must have been called.
    /// \throw as detail::BRepFromSolidAdjacenciesBuilder's steps.
    BRep
    convert_solid_into_brep_from_adjacencies( const SolidMesh< 3 >& solid );

    /// Converts a solid into a BRep with one block per region: polyhedra
    /// whose values of the polyhedron attribute `attribute_name` differ
    /// (integers compared exactly, +0.0 equal to -0.0, a NaN equal to
    /// nothing) never share a block. To that end every adjacency between
    /// two such polyhedra is removed from the solid, and stays removed; so
    /// no two calls may share a solid at the same time.
    /// \throw CorvaneException "[convert_solid_into_brep_from_attribute]
    /// Attribute not found" when the solid has no such polyhedron attribute;
    /// "[convert_solid_into_brep_from_attribute] Coordinates must lie within
    /// [-1e+40, 1e+40]: vertex <v> of mesh '<name or uuid>' has <value>"
    /// when a polyhedron vertex lies beyond that bound (the farthest
    /// coordinate named; the solid is unchanged in both cases); as
    /// convert_solid_into_brep_from_adjacencies.
    BRep
    convert_solid_into_brep_from_attribute( SolidMesh< 3 >& solid,
                                            absl::string_view attribute_name );
} // namespace vorna
