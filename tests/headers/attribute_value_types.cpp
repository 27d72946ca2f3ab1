// Class templates warn only where they are instantiated: the attribute
// classes and look-ups are instantiated here, every member, for value types
// that callers put on meshes, so that the header check sees them.

#include <string>

#include <vorna/basic/uuid.h>
#include <vorna/conversion/common/attribute.h>
#include <vorna/geometry/point.h>

namespace vorna
{
#define VORNA_INSTANTIATE_ATTRIBUTES( T )                                      \
    template class VariableAttribute< T >;                                     \
    template class SparseAttribute< T >;                                       \
    template std::shared_ptr< ReadOnlyAttribute< T > >                         \
        AttributeManager::find_attribute< T >( absl::string_view ) const;      \
    template std::shared_ptr< VariableAttribute< T > >                         \
        AttributeManager::find_or_create_attribute< VariableAttribute, T >(    \
            absl::string_view, T, AttributeFlags );                            \
    template std::shared_ptr< SparseAttribute< T > >                           \
    AttributeManager::find_or_create_attribute< SparseAttribute, T >(          \
        absl::string_view, T, AttributeFlags )

    VORNA_INSTANTIATE_ATTRIBUTES( bool );
    VORNA_INSTANTIATE_ATTRIBUTES( char );
    VORNA_INSTANTIATE_ATTRIBUTES( int );
    VORNA_INSTANTIATE_ATTRIBUTES( unsigned int );
    VORNA_INSTANTIATE_ATTRIBUTES( long );
    VORNA_INSTANTIATE_ATTRIBUTES( float );
    VORNA_INSTANTIATE_ATTRIBUTES( double );
    VORNA_INSTANTIATE_ATTRIBUTES( std::string );
    VORNA_INSTANTIATE_ATTRIBUTES( uuid );
    VORNA_INSTANTIATE_ATTRIBUTES( Point3D );
#undef VORNA_INSTANTIATE_ATTRIBUTES
} // namespace vorna
