#include <conversion/model/region_separation.h>

#include <type_traits>

#include <conversion/common/tasks.h>
#include <vorna/basic/attribute_base.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/read_only_attribute.h>
#include <vorna/conversion/common/variable_attribute.h>
#include <vorna/mesh/solid_mesh.h>
#include <vorna/mesh/solid_mesh_builder.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace
{
    using namespace vorna;

    /// Calls visitor(value_of) where value_of(element) reads the
    /// attribute's value in the first type of the list that it stores.
    template < typename T, typename... Others, typename Visitor >
    void visit_values( const AttributeBase& attribute, Visitor&& visitor )
    {
        if( const auto* typed =
                dynamic_cast< const ReadOnlyAttribute< T >* >( &attribute ) )
        {
            visitor( [typed]( index_t element )
                     { return typed->value( element ); } );
            return;
        }
        if constexpr( sizeof...( Others ) == 0 )
        {
            // A value type without exact reading: its float reading.
            visitor( [&attribute]( index_t element )
                     { return attribute.value_as_float( element ); } );
        }
        else
        {
            visit_values< Others... >( attribute,
                                       std::forward< Visitor >( visitor ) );
        }
    }

    /// Runs visitor(value_of) with the exact reading of the attribute's
    /// values when they are of an arithmetic type.
    template < typename Visitor >
    void with_region_values( const AttributeBase& attribute, Visitor&& visitor )
    {
        visit_values< unsigned int,
                      int,
                      double,
                      float,
                      long double,
                      unsigned long,
                      long,
                      unsigned long long,
                      long long,
                      unsigned short,
                      short,
                      unsigned char,
                      signed char,
                      char,
                      bool >( attribute, std::forward< Visitor >( visitor ) );
    }

    /// Each element unsets only its own sides; the neighbour unsets its
    /// side when its own turn meets the same pair, the test being
    /// symmetric.
    template < typename NbSides, typename Adjacent, typename Unset >
    void unset_by_attribute( index_t nb_elements,
                             const AttributeBase& attribute,
                             const NbSides& nb_sides,
                             const Adjacent& adjacent,
                             const Unset& unset )
    {
        with_region_values(
            attribute,
            [&]( const auto& value_of )
            {
                detail::parallel_for(
                    0,
                    nb_elements,
                    0,
                    [&]( index_t element )
                    {
                        const auto value = value_of( element );
                        const auto nb = nb_sides( element );
                        for( local_index_t side = 0; side < nb; side++ )
                        {
                            const auto neighbour = adjacent( element, side );
                            if( neighbour == INVALID_INDEX )
                            {
                                continue;
                            }
                            // Written so that a NaN on either side separates.
                            if( !( value == value_of( neighbour ) ) )
                            {
                                unset( element, side );
                            }
                        }
                    } );
            } );
    }
} // namespace

namespace vorna
{
    namespace detail
    {
        void unset_polygon_adjacencies_by_attribute(
            const SurfaceMesh< 2 >& mesh,
            SurfaceMeshBuilder< 2 >& builder,
            const AttributeBase& attribute )
        {
            unset_by_attribute(
                mesh.nb_polygons(),
                attribute,
                [&mesh]( index_t polygon )
                { return mesh.nb_polygon_edges( polygon ); },
                [&mesh]( index_t polygon, local_index_t edge )
                {
                    return mesh.polygon_adjacent( { polygon, edge } )
                        .value_or( INVALID_INDEX );
                },
                [&builder]( index_t polygon, local_index_t edge ) {
                    builder.unset_polygon_adjacent( { polygon, edge } );
                } );
        }

        void unset_polyhedron_adjacencies_by_attribute(
            const SolidMesh< 3 >& solid,
            SolidMeshBuilder< 3 >& builder,
            const AttributeBase& attribute )
        {
            unset_by_attribute(
                solid.nb_polyhedra(),
                attribute,
                [&solid]( index_t polyhedron )
                { return solid.nb_polyhedron_facets( polyhedron ); },
                [&solid]( index_t polyhedron, local_index_t facet )
                {
                    return solid.polyhedron_adjacent( { polyhedron, facet } )
                        .value_or( INVALID_INDEX );
                },
                [&builder]( index_t polyhedron, local_index_t facet ) {
                    builder.unset_polyhedron_adjacent( { polyhedron, facet } );
                } );
        }
    } // namespace detail
} // namespace vorna
