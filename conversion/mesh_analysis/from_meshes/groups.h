#pragma once

#include <vector>

#include <conversion/mesh_analysis/from_meshes/common.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// The groups of polygons of the merged mesh connected by stored
            /// adjacencies: one surface each. The labels stay in the
            /// builder: the merged mesh may be the caller's, which a
            /// conversion only reads (several may read it at once).
            template < index_t D >
            class PolygonGroups
            {
              public:
                explicit PolygonGroups( const SurfaceMesh< D >& merged );

                /// Group k holds the smallest polygon outside groups 0 to
                /// k - 1, and every polygon joined to it.
                void identify();

                /// Group of a merged polygon. \pre identify() ran.
                index_t group( index_t polygon ) const
                {
                    return labels_[polygon];
                }

                /// Group s lists its polygons in ascending order.
                std::vector< std::vector< index_t > > groups() const;

              private:
                const SurfaceMesh< D >& merged_;
                std::vector< index_t > labels_;
                index_t nb_groups_{ 0 };
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
