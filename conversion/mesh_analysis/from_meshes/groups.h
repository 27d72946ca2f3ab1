#pragma once

#include <vector>

#include <absl/types/span.h>

#include <conversion/mesh_analysis/from_meshes/common.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// The polygons of every group, group after group, each group in
            /// ascending order.
            struct GroupTable
            {
                index_t nb_groups() const
                {
                    return static_cast< index_t >( begin.size() - 1 );
                }

                absl::Span< const index_t > group( index_t group_id ) const
                {
                    return absl::MakeConstSpan( polygons )
                        .subspan( begin[group_id],
                                  begin[group_id + 1] - begin[group_id] );
                }

                /// Group s holds polygons[begin[s]] to
                /// polygons[begin[s + 1] - 1].
                std::vector< index_t > begin;
                std::vector< index_t > polygons;
                /// Where each merged polygon stands in `polygons`.
                std::vector< index_t > position;
            };

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

                index_t nb_groups() const
                {
                    return nb_groups_;
                }

                /// \pre identify() ran.
                GroupTable table() const;

              private:
                const SurfaceMesh< D >& merged_;
                std::vector< index_t > labels_;
                index_t nb_groups_{ 0 };
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
