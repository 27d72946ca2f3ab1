#pragma once

#include <memory>
#include <vector>

#include <conversion/mesh_analysis/from_meshes/common.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/conversion/mesh_analysis/surface_identifier.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// The groups of polygons of the merged mesh connected by stored
            /// adjacencies: one surface each.
            template < index_t D >
            class PolygonGroups
            {
              public:
                /// \param reset drops labels left on the mesh by an earlier
                /// conversion, which would be taken over as groups.
                PolygonGroups( const SurfaceMesh< D >& merged, bool reset );

                void identify();

                /// Group of a merged polygon. \pre identify() ran.
                index_t group( index_t polygon ) const
                {
                    return labels_->value( polygon );
                }

                /// Group s lists its polygons in ascending order.
                std::vector< std::vector< index_t > > groups() const;

                /// Removes the labels from the merged mesh.
                void release();

              private:
                const SurfaceMesh< D >& merged_;
                SurfaceIdentifier< D > identifier_;
                std::shared_ptr< VariableAttribute< index_t > > labels_;
            };
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
