#pragma once

#include <memory>
#include <vector>

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SolidMesh;

    namespace detail
    {
        /// Groups the polyhedra of a solid into regions connected by the
        /// adjacencies stored in the solid. Region numbers go to the
        /// polyhedron attribute "block_identifier" (unsigned int,
        /// INVALID_INDEX = no region yet), which stays on the solid after the
        /// identifier is gone.
        class SolidIdentifier
        {
          public:
            static constexpr const char* block_id_attribute_name =
                "block_identifier";

            /// Finds or creates the label attribute; labels already held by
            /// a VariableAttribute<unsigned int> of that name are kept.
            /// \throw CorvaneException when the name is taken by another
            /// storage or value type.
            explicit SolidIdentifier( const SolidMesh< 3 >& solid );
            ~SolidIdentifier();
            SolidIdentifier( const SolidIdentifier& ) = delete;
            SolidIdentifier& operator=( const SolidIdentifier& ) = delete;

            /// Labels every unlabelled polyhedron by breadth-first fill and
            /// returns the number of regions found so far.
            index_t identify_polyhedra();

            /// Entry k: the polyhedra labelled k, ascending.
            /// \pre identify_polyhedra() ran on this object.
            /// \throw CorvaneException on a label this object did not give.
            std::vector< std::vector< index_t > >
            identified_blocks_polyhedra() const;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
