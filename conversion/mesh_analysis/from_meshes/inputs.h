#pragma once

#include <functional>
#include <vector>

#include <conversion/mesh_analysis/from_meshes/common.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/mesh/surface_mesh_merger.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// Unique vertex k stands for distinct point k of the inputs,
            /// so the model must not number unique vertices already.
            template < typename Model >
            void check_model_has_no_unique_vertex( const Model& model )
            {
                if( model.nb_unique_vertices() != 0 )
                {
                    throw CorvaneException(
                        "[CornersLinesBuilderFromMeshes] The model to build "
                        "must have no unique vertex (it has ",
                        model.nb_unique_vertices(),
                        ")" );
                }
            }

            /// The checked inputs and the mesh they merge into: a single
            /// input serves as it is when merging would change nothing.
            template < index_t D >
            class MeshesInput
            {
              public:
                /// Checks the inputs and merges them; polygons of the same
                /// vertex cycle become one only if `merge_identical_polygons`.
                /// \throw CorvaneException when a used point is not finite
                /// or has a coordinate beyond the bound,
                /// a polygon repeats a vertex in a row or a curve edge joins
                /// a vertex to itself.
                MeshesInput( CurveSpan< D > curves,
                             SurfaceSpan< D > surfaces,
                             bool merge_identical_polygons = true );

                const SurfaceMesh< D >& merged() const
                {
                    return merged_;
                }

                bool uses_input() const
                {
                    return use_input_;
                }

                const std::vector<
                    std::reference_wrapper< const EdgedCurve< D > > >&
                curves() const
                {
                    return curves_;
                }

                const std::vector<
                    std::reference_wrapper< const SurfaceMesh< D > > >&
                surfaces() const
                {
                    return surfaces_;
                }

                const SurfaceMeshMerger< D >& merger() const
                {
                    return merger_;
                }

              private:
                // Copies of the caller's lists, which may be temporaries;
                // the meshes themselves must outlive the builder.
                std::vector< std::reference_wrapper< const EdgedCurve< D > > >
                    curves_;
                std::vector< std::reference_wrapper< const SurfaceMesh< D > > >
                    surfaces_;
                SurfaceMeshMerger< D > merger_;
                bool use_input_;
                const SurfaceMesh< D >& merged_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
