#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <vorna/conversion/model/convert_surfaces_into_brep.h>
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
        using SurfaceInputs = absl::Span<
            const std::reference_wrapper< const SurfaceMesh< 3 > > >;
        using CurveInputs =
            absl::Span< const std::reference_wrapper< const EdgedCurve< 3 > > >;

        /// Checks the invariants every converted BRep must hold:
        /// - every corner, line, surface and block mesh vertex is tied to a
        ///   unique vertex, listed back by it, and all the component vertices
        ///   of a unique vertex lie at one point (within 1e-6);
        /// - each end of an open line is a corner that bounds the line;
        /// - every border edge of a surface mesh runs along an edge of a line
        ///   bounding, or internal to, that surface;
        /// - every line bounding a surface runs along border edges of that
        ///   surface's mesh;
        /// - a line internal to a surface has surface edges on both sides;
        /// - a corner internal to a surface lies on none of its border edges
        ///   (edges along its internal lines aside);
        /// - each block's boundary surfaces close: along every edge of a line
        ///   runs an even number of polygon edges of the boundary surfaces
        ///   that the line bounds or lies in (two sheets, or more where a
        ///   surface meets itself), every polygon edge of theirs (by unique
        ///   vertices) is used an even number of times, and the block
        ///   encloses a positive volume (each boundary surface counted
        ///   from the block's side).
        ::testing::AssertionResult check_brep_consistency( const BRep& brep );

        /// Checks the two mappings of a conversion of `surfaces` and
        /// `curves` into `brep`:
        /// - every input polygon and curve edge maps to one element, and
        ///   every vertex that a polygon or an edge uses is mapped;
        /// - surface inputs map to surface vertices and polygons, curves to
        ///   line vertices and edges, each lying where its input lies;
        /// - no input lists a value twice, whatever the number of times its
        ///   mesh is listed;
        /// - every mapped value is a vertex or element of the model.
        ::testing::AssertionResult check_mappings(
            const BRep& brep,
            const GenericMapping< MeshVertex, ComponentMeshVertex >&
                vertex_mapping,
            const GenericMapping< MeshElement, ComponentMeshElement >&
                element_mapping,
            SurfaceInputs surfaces,
            CurveInputs curves = {} );

        /// Both checks above on the result of a conversion.
        ::testing::AssertionResult
        check_conversion( const BRepConversionResult& result,
                          SurfaceInputs surfaces,
                          CurveInputs curves = {} );

        /// Where a corner, line, surface or block mesh vertex of the model
        /// lies.
        Point3D component_point( const BRep& brep,
                                 const ComponentMeshVertex& vertex );

        /// Sum, over every polygon of the mesh fanned from its first vertex,
        /// of the signed volumes of the tetrahedra (fan triangle, apex):
        /// positive when the apex lies on the side the polygons face, so
        /// minus the enclosed volume for a closed mesh facing outwards.
        double fan_volume( const SurfaceMesh< 3 >& mesh, const Point3D& apex );

        /// Corners, lines, surfaces and blocks of a model.
        struct ModelCounts
        {
            index_t corners;
            index_t lines;
            index_t surfaces;
            index_t blocks;

            bool operator==( const ModelCounts& other ) const;
        };

        ModelCounts counts_of( const BRep& brep );

        void PrintTo( const ModelCounts& counts, std::ostream* out );

        /// Each component named by its kind and rank in the model's order
        /// ("c0", "l1", "s2", "b0"), so that two models made alike compare
        /// although their uuids differ.
        absl::flat_hash_map< uuid, std::string >
        component_names( const BRep& brep );
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

        /// component_names of a Section.
        absl::flat_hash_map< uuid, std::string >
        component_names( const Section& section );
    } // namespace test
} // namespace vorna
