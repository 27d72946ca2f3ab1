#pragma once

#include <memory>
#include <vector>

#include <absl/types/optional.h>
#include <absl/types/span.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SolidMeshBuilder;

    /// Distinct facets of a solid mesh (a vertex set shared by two
    /// polyhedra is one facet), numbered as the polyhedra create them.
    /// Kept current by SolidMeshBuilder; queries only read.
    template < index_t D >
    class SolidFacets
    {
        friend class SolidMeshBuilder< D >;

      public:
        SolidFacets();
        ~SolidFacets();
        SolidFacets( SolidFacets&& ) noexcept;
        SolidFacets& operator=( SolidFacets&& ) noexcept;

        index_t nb_facets() const;

        /// Vertices in the order of the polyhedron facet that created it.
        /// \throw CorvaneException on an out-of-range facet.
        std::vector< index_t > facet_vertices( index_t facet ) const;

        /// The facet on that vertex set, given in any order; empty when there
        /// is none.
        absl::optional< index_t >
        facet_from_vertices( absl::Span< const index_t > vertices ) const;

        /// Writable through a const mesh.
        AttributeManager& facet_attribute_manager() const
        {
            return facet_attributes_;
        }

        /// Copies everything of `from`.
        void copy( const SolidFacets& from );

      private:
        /// The facet on that vertex set, created at the end when unseen.
        index_t find_or_create_facet( absl::Span< const index_t > vertices );

      private:
        // Storage and lookup table live behind one pointer: the table's hash
        // reads the storage, so both must keep their address when moved.
        struct Impl;
        std::unique_ptr< Impl > impl_;
        mutable AttributeManager facet_attributes_;
    };
} // namespace vorna
