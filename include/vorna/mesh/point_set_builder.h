#pragma once

#include <memory>

#include <vorna/mesh/point_set.h>
#include <vorna/mesh/vertex_set_builder.h>

namespace vorna
{
    /// Builder of a PointSet<D>.
    template < index_t D >
    class PointSetBuilder : public VertexSetBuilder
    {
      public:
        /// \throw CorvaneException when the mesh is not a PointSet<D>.
        PointSetBuilder( VertexSet& mesh, MeshBuilderFactoryKey key );

        /// The registered builder of the mesh's implementation.
        /// \throw CorvaneException when there is none.
        static std::unique_ptr< PointSetBuilder< D > >
        create( PointSet< D >& mesh );

        /// A new vertex at the point; returns the previous vertex count.
        index_t create_point( const Point< D >& point );

        /// \throw CorvaneException on an out-of-range vertex.
        void set_point( index_t vertex, const Point< D >& point );

      private:
        PointSet< D >& point_set_;
    };

    using PointSetBuilder2D = PointSetBuilder< 2 >;
    using PointSetBuilder3D = PointSetBuilder< 3 >;
} // namespace vorna
