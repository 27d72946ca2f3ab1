#pragma once

#include <gtest/gtest.h>

#include <vorna/geometry/point.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    class BRep;
} // namespace vorna

namespace vorna
{
    namespace test
    {
        /// Checks the invariants every converted BRep must hold:
        /// - every corner, line, surface and block mesh vertex is tied to a
        ///   unique vertex, listed back by it, and all the component vertices
        ///   of a unique vertex lie at one point (within 1e-6);
        /// - each end of an open line is a corner that bounds the line;
        /// - every border edge of a surface mesh runs along an edge of a line
        ///   bounding, or internal to, that surface;
        /// - each block's boundary surfaces close: every line bounding them
        ///   bounds an even number of them, every polygon edge of theirs
        ///   (by unique vertices) is used an even number of times, and the
        ///   block encloses a positive volume (each boundary surface counted
        ///   from the block's side).
        ::testing::AssertionResult check_brep_consistency( const BRep& brep );

        /// Where a corner, line, surface or block mesh vertex of the model
        /// lies.
        Point3D component_point( const BRep& brep,
                                 const ComponentMeshVertex& vertex );
    } // namespace test
} // namespace vorna

namespace vorna
{
    class Section;

    namespace test
    {
        /// Checks the invariants every converted Section must hold:
        /// - every corner, line and surface mesh vertex is tied to a unique
        ///   vertex, listed back by it, and all the component vertices of a
        ///   unique vertex lie at one point (within 1e-6);
        /// - a corner mesh has one vertex;
        /// - a line mesh is a chain: each end of an open line is a corner
        ///   bounding the line, each corner bounding it sits at one of its
        ///   ends, and a line without corner is closed;
        /// - every border edge of a surface mesh runs along an edge of a line
        ///   bounding, or internal to, that surface; every edge of a line
        ///   that only bounds the surface has one surface border edge along
        ///   it, of a line only internal to it two;
        /// - every line of a model boundary bounds exactly one surface.
        ::testing::AssertionResult
        check_section_consistency( const Section& section );
    } // namespace test
} // namespace vorna
