#pragma once

#include <functional>
#include <memory>

#include <absl/strings/string_view.h>

#include <conversion/mesh_analysis/solid_boundary_surface.h>
#include <vorna/basic/common.h>

namespace vorna
{
    class BRep;
    template < index_t D >
    class SolidMesh;
    template < index_t D >
    class SurfaceMesh;
} // namespace vorna

namespace vorna
{
    namespace detail
    {
        /// Called with the name of each part of the blocks step as it ends:
        /// "blocks_identified", "blocks_filled", "unique_vertices",
        /// "relationships" (benchmarks time them).
        using PartObserver = std::function< void( absl::string_view ) >;

        /// The steps of BRepFromSolidAdjacenciesBuilder, with a probe into
        /// the tasks of its two parallel parts (the boundary-surface chunks
        /// and the per-block filling) so that tests can make one fail.
        class SolidAdjacenciesConversion
        {
          public:
            SolidAdjacenciesConversion( BRep& brep,
                                        const SolidMesh< 3 >& solid );
            ~SolidAdjacenciesConversion();
            SolidAdjacenciesConversion( const SolidAdjacenciesConversion& ) =
                delete;
            SolidAdjacenciesConversion&
            operator=( const SolidAdjacenciesConversion& ) = delete;

            void build_surface_step( const TaskProbe& probe = {} );
            void build_brep_without_block_step();
            void build_blocks_step( const TaskProbe& probe = {},
                                    const PartObserver& on_part_end = {} );
            SurfaceMesh< 3 >& solid_boundaries();

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
