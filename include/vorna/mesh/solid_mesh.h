#pragma once

#include <memory>
#include <vector>

#include <absl/types/optional.h>

#include <vorna/geometry/point.h>
#include <vorna/mesh/mesh_element.h>
#include <vorna/mesh/solid_edges.h>
#include <vorna/mesh/solid_facets.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    template < index_t D >
    class SolidMeshBuilder;

    /// Polyhedra over vertices with coordinates (D = 3), with one adjacency
    /// slot per polyhedron facet, and the derived edge and facet tables.
    /// Concrete types are PolyhedralSolid<3> and TetrahedralSolid<3>.
    template < index_t D >
    class SolidMesh : public VertexSet
    {
        static_assert( D == 3, "Solid meshes are 3D" );
        friend class SolidMeshBuilder< D >;

      public:
        ~SolidMesh() override;
        SolidMesh( SolidMesh&& ) noexcept;
        SolidMesh& operator=( SolidMesh&& ) noexcept;

        /// A new empty PolyhedralSolid<3>.
        static std::unique_ptr< SolidMesh< D > > create();

        /// A new empty mesh of the given implementation.
        /// \throw CorvaneException for an unknown key or one of another
        /// interface.
        static std::unique_ptr< SolidMesh< D > > create( const MeshImpl& impl );

        /// Copy with the same implementation, points, polyhedra, adjacency,
        /// tables, attributes and name; it gets a fresh uuid.
        std::unique_ptr< SolidMesh< D > > clone() const;

        /// True when only tetrahedra are accepted.
        bool is_tetrahedral() const
        {
            return tetrahedral_;
        }

        /// \throw CorvaneException on an out-of-range vertex.
        const Point< D >& point( index_t vertex ) const;

        index_t nb_polyhedra() const;

        /// \throw CorvaneException on an out-of-range polyhedron.
        local_index_t nb_polyhedron_vertices( index_t polyhedron ) const;

        /// \throw CorvaneException on an out-of-range polyhedron.
        local_index_t nb_polyhedron_facets( index_t polyhedron ) const;

        /// \throw CorvaneException on an out-of-range polyhedron or facet.
        local_index_t nb_polyhedron_facet_vertices(
            const PolyhedronFacet& polyhedron_facet ) const;

        /// \throw CorvaneException on out-of-range indices.
        index_t
        polyhedron_vertex( const PolyhedronVertex& polyhedron_vertex ) const;

        /// The mesh vertex at a facet vertex.
        /// \throw CorvaneException on out-of-range indices.
        index_t polyhedron_facet_vertex(
            const PolyhedronFacetVertex& polyhedron_facet_vertex ) const;

        /// Mesh vertices of the facet, in stored order.
        /// \throw CorvaneException on out-of-range indices.
        std::vector< index_t > polyhedron_facet_vertices(
            const PolyhedronFacet& polyhedron_facet ) const;

        /// Local index of the vertex in the polyhedron; empty when absent.
        /// \throw CorvaneException on an out-of-range polyhedron.
        absl::optional< local_index_t >
        vertex_in_polyhedron( index_t polyhedron, index_t vertex ) const;

        /// The polyhedron across the facet; empty on a border.
        /// \throw CorvaneException on out-of-range indices.
        absl::optional< index_t >
        polyhedron_adjacent( const PolyhedronFacet& polyhedron_facet ) const;

        /// True when the facet has no adjacent polyhedron.
        /// \throw CorvaneException on out-of-range indices.
        bool is_polyhedron_facet_on_border(
            const PolyhedronFacet& polyhedron_facet ) const;

        /// Writable through a const mesh.
        AttributeManager& polyhedron_attribute_manager() const
        {
            return polyhedron_attributes_;
        }

        const SolidEdges< D >& edges() const
        {
            return edges_;
        }

        const SolidFacets< D >& facets() const
        {
            return facets_;
        }

      protected:
        explicit SolidMesh( bool tetrahedral );

        void resize_vertices( index_t nb_vertices ) override;

      private:
        void check_vertex( index_t vertex, const char* operation ) const;
        void check_polyhedron( index_t polyhedron,
                               const char* operation ) const;
        /// Global slot of a polyhedron facet.
        index_t facet_slot( const PolyhedronFacet& polyhedron_facet,
                            const char* operation ) const;

      private:
        bool tetrahedral_;
        std::vector< Point< D > > points_;
        // Polyhedron p uses vertex slots [vertex_offsets[p],
        // vertex_offsets[p+1]) and facet slots [facet_offsets[p],
        // facet_offsets[p+1]); facet slot s lists local vertices
        // [facet_vertex_offsets[s], facet_vertex_offsets[s+1]), holds the
        // neighbour across that facet and the index of its solid facet.
        std::vector< index_t > vertex_offsets_;
        std::vector< index_t > polyhedron_vertices_;
        std::vector< index_t > facet_offsets_;
        std::vector< index_t > facet_vertex_offsets_;
        std::vector< local_index_t > facet_local_vertices_;
        std::vector< index_t > polyhedron_adjacents_;
        std::vector< index_t > polyhedron_facet_ids_;
        SolidEdges< D > edges_;
        SolidFacets< D > facets_;
        mutable AttributeManager polyhedron_attributes_;
    };

    /// Solid of any polyhedra. Type "PolyhedralSolid3D".
    template < index_t D >
    class PolyhedralSolid : public SolidMesh< D >
    {
      public:
        PolyhedralSolid();

        MeshType type_name() const override;
        MeshImpl impl_name() const override;

        static MeshType type_name_static();
        static MeshImpl impl_name_static();
    };

    /// Solid of tetrahedra only. Type "TetrahedralSolid3D".
    template < index_t D >
    class TetrahedralSolid : public SolidMesh< D >
    {
      public:
        TetrahedralSolid();

        MeshType type_name() const override;
        MeshImpl impl_name() const override;

        static MeshType type_name_static();
        static MeshImpl impl_name_static();
    };

    using SolidMesh3D = SolidMesh< 3 >;
    using PolyhedralSolid3D = PolyhedralSolid< 3 >;
    using TetrahedralSolid3D = TetrahedralSolid< 3 >;
} // namespace vorna
