#pragma once

#include <memory>
#include <vector>

#include <vorna/geometry/point.h>
#include <vorna/mesh/graph.h>

namespace vorna
{
    template < index_t D >
    class EdgedCurveBuilder;

    /// A graph whose vertices have coordinates. Type "EdgedCurve{D}D".
    template < index_t D >
    class EdgedCurve : public Graph
    {
        friend class EdgedCurveBuilder< D >;

      public:
        EdgedCurve();
        ~EdgedCurve() override;
        EdgedCurve( EdgedCurve&& ) noexcept;
        EdgedCurve& operator=( EdgedCurve&& ) noexcept;

        /// A new empty mesh of the default implementation.
        static std::unique_ptr< EdgedCurve< D > > create();

        /// A new empty mesh of the given implementation.
        /// \throw CorvaneException for an unknown key or one of another
        /// interface.
        static std::unique_ptr< EdgedCurve< D > >
        create( const MeshImpl& impl );

        /// Copy with the same implementation, data and name, fresh uuid.
        std::unique_ptr< EdgedCurve< D > > clone() const;

        /// \throw CorvaneException on an out-of-range vertex.
        const Point< D >& point( index_t vertex ) const;

        /// Middle of the edge.
        /// \throw CorvaneException on an out-of-range edge or an edge with
        /// an unset end.
        Point< D > edge_barycenter( index_t edge ) const;

        /// \throw as edge_barycenter.
        double edge_length( index_t edge ) const;

        MeshType type_name() const override;
        MeshImpl impl_name() const override;

        static MeshType type_name_static();
        static MeshImpl impl_name_static();

      protected:
        void resize_vertices( index_t nb_vertices ) override;

      private:
        std::vector< Point< D > > points_;
    };

    using EdgedCurve2D = EdgedCurve< 2 >;
    using EdgedCurve3D = EdgedCurve< 3 >;
} // namespace vorna
