#pragma once

// Everything needed to find, create and use typed attributes: the storage
// classes and the bodies of AttributeManager's typed look-ups.

#include <memory>
#include <utility>

#include <absl/strings/string_view.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/conversion/common/read_only_attribute.h>
#include <vorna/conversion/common/sparse_attribute.h>
#include <vorna/conversion/common/variable_attribute.h>

namespace vorna
{
    template < typename T >
    std::shared_ptr< ReadOnlyAttribute< T > >
    AttributeManager::find_attribute( absl::string_view name ) const
    {
        auto typed = std::dynamic_pointer_cast< ReadOnlyAttribute< T > >(
            find_attribute_base( name ) );
        if( !typed )
        {
            throw CorvaneException(
                "[AttributeManager::find_attribute] You have to create an "
                "attribute before using it. See find_or_create_attribute "
                "method and derived classes of ReadOnlyAttribute." );
        }
        return typed;
    }

    template < template < typename > class Kind, typename T >
    std::shared_ptr< Kind< T > > AttributeManager::find_or_create_attribute(
        absl::string_view name, T default_value, AttributeFlags flags )
    {
        const auto base = find_attribute_base( name );
        if( auto typed = std::dynamic_pointer_cast< Kind< T > >( base ) )
        {
            return typed;
        }
        // The manager's reference plus ours: the name is taken by another
        // storage class or value type.
        if( base && base.use_count() >= 2 )
        {
            throw CorvaneException(
                "[AttributeManager::find_or_create_attribute] Do not "
                "instantiate an attribute if an instantiated attribute of the "
                "same name with different storage already exists." );
        }
        auto created =
            std::make_shared< Kind< T > >( std::move( default_value ), flags );
        register_attribute( created, name );
        return created;
    }
} // namespace vorna
