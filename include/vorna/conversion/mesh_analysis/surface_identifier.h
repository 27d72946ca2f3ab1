#pragma once

#include <memory>
#include <vector>

#include <vorna/basic/common.h>

namespace vorna
{
    template < index_t D >
    class SurfaceMesh;

    namespace detail
    {
        /// Shared text of the polygon label attribute of both dimensions.
        inline constexpr char surface_identifier_attribute_text[] =
            "surface_identifier";

        /// Groups the polygons of a surface mesh into regions connected by
        /// the adjacencies stored in the mesh; geometry plays no part, so
        /// callers cut adjacencies beforehand to keep regions apart.
        /// Region numbers go to the polygon attribute "surface_identifier"
        /// (unsigned int, INVALID_INDEX = no region yet), which stays on the
        /// mesh after the identifier is gone.
        template < index_t D >
        class SurfaceIdentifier
        {
          public:
            static constexpr const char* surface_id_attribute_name =
                surface_identifier_attribute_text;

            /// Finds or creates the label attribute; labels already held by
            /// a VariableAttribute<unsigned int> of that name are kept.
            /// \throw CorvaneException when the name is taken by another
            /// storage or value type.
            explicit SurfaceIdentifier( const SurfaceMesh< D >& mesh );
            ~SurfaceIdentifier();
            SurfaceIdentifier( const SurfaceIdentifier& ) = delete;
            SurfaceIdentifier& operator=( const SurfaceIdentifier& ) = delete;

            /// Labels every unlabelled polygon by breadth-first fill,
            /// numbering new regions in the order of their smallest polygon,
            /// and returns the number of regions found so far.
            index_t identify_polygons();

            /// Entry k: the polygons labelled k, ascending.
            /// \pre identify_polygons() ran on this object.
            /// \throw CorvaneException on a label this object did not give.
            std::vector< std::vector< index_t > >
            identified_surfaces_polygons() const;

          private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace vorna
