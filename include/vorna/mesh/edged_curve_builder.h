#pragma once

#include <memory>

#include <vorna/mesh/edged_curve.h>
#include <vorna/mesh/graph_builder.h>

namespace vorna
{
    /// Builder of an EdgedCurve<D>.
    template < index_t D >
    class EdgedCurveBuilder : public GraphBuilder
    {
      public:
        /// \throw CorvaneException when the mesh is not an EdgedCurve<D>.
        EdgedCurveBuilder( VertexSet& mesh, MeshBuilderFactoryKey key );

        /// The registered builder of the mesh's implementation.
        /// \throw CorvaneException when there is none.
        static std::unique_ptr< EdgedCurveBuilder< D > >
        create( EdgedCurve< D >& mesh );

        /// A new vertex at the point; returns the previous vertex count.
        index_t create_point( const Point< D >& point );

        /// \throw CorvaneException on an out-of-range vertex.
        void set_point( index_t vertex, const Point< D >& point );

      private:
        EdgedCurve< D >& curve_;
    };

    using EdgedCurveBuilder2D = EdgedCurveBuilder< 2 >;
    using EdgedCurveBuilder3D = EdgedCurveBuilder< 3 >;
} // namespace vorna
