#include <conversion/mesh_analysis/from_meshes/groups.h>

#include <vorna/mesh/surface_mesh.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            template < index_t D >
            PolygonGroups< D >::PolygonGroups( const SurfaceMesh< D >& merged,
                                               bool reset )
                : merged_( merged ), identifier_( merged ),
                  labels_(
                      merged.polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                                                              index_t >(
                              SurfaceIdentifier< D >::surface_id_attribute_name,
                              INVALID_INDEX,
                              AttributeFlags{ true, false } ) )
            {
                if( reset )
                {
                    for( index_t p = 0; p < merged_.nb_polygons(); p++ )
                    {
                        labels_->set_value( p, INVALID_INDEX );
                    }
                }
            }

            template < index_t D >
            void PolygonGroups< D >::identify()
            {
                identifier_.identify_polygons();
            }

            template < index_t D >
            std::vector< std::vector< index_t > >
            PolygonGroups< D >::groups() const
            {
                return identifier_.identified_surfaces_polygons();
            }

            template < index_t D >
            void PolygonGroups< D >::release()
            {
                merged_.polygon_attribute_manager().delete_attribute(
                    SurfaceIdentifier< D >::surface_id_attribute_name );
            }

            template class PolygonGroups< 2 >;
            template class PolygonGroups< 3 >;
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
