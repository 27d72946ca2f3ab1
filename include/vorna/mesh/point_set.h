#pragma once

#include <memory>
#include <vector>

#include <vorna/geometry/point.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    template < index_t D >
    class PointSetBuilder;

    /// Vertices with coordinates and nothing else. Type "PointSet{D}D".
    template < index_t D >
    class PointSet : public VertexSet
    {
        friend class PointSetBuilder< D >;

      public:
        PointSet();
        ~PointSet() override;
        PointSet( PointSet&& ) noexcept;
        PointSet& operator=( PointSet&& ) noexcept;

        /// A new empty mesh of the default implementation.
        static std::unique_ptr< PointSet< D > > create();

        /// A new empty mesh of the given implementation.
        /// \throw CorvaneException for an unknown key or one of another
        /// interface.
        static std::unique_ptr< PointSet< D > > create( const MeshImpl& impl );

        /// Copy with the same implementation, data and name, fresh uuid.
        std::unique_ptr< PointSet< D > > clone() const;

        /// \throw CorvaneException on an out-of-range vertex.
        const Point< D >& point( index_t vertex ) const;

        MeshType type_name() const override;
        MeshImpl impl_name() const override;

        static MeshType type_name_static();
        static MeshImpl impl_name_static();

      protected:
        void resize_vertices( index_t nb_vertices ) override;

      private:
        std::vector< Point< D > > points_;
    };

    using PointSet2D = PointSet< 2 >;
    using PointSet3D = PointSet< 3 >;
} // namespace vorna
