#pragma once

#include <utility>
#include <vector>

#include <vorna/basic/common.h>
#include <vorna/model/component_mesh_vertex.h>

namespace vorna
{
    namespace detail
    {
        /// Cuts every surface of a model along the lines internal to it, so
        /// that the two sides of such a line share no surface vertex while
        /// keeping one unique vertex per point. Line tips inside a surface
        /// stay single; polygon indices do not change. Instantiated for
        /// <BRep, BRepBuilder, 3> and <Section, SectionBuilder, 2>.
        template < typename Model, typename ModelBuilder, index_t D >
        class CutAlongInternalLines
        {
          public:
            explicit CutAlongInternalLines( Model& model ) : model_( model ) {}

            /// Cuts the surfaces in the model's order and returns, surface by
            /// surface, each (vertex from before the cut, its new duplicate).
            std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >
            cut_all_surfaces();

          private:
            Model& model_;
        };
    } // namespace detail
} // namespace vorna
