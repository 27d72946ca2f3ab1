#include <vorna/basic/attribute_manager.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/index_check.h>

namespace vorna
{
    void AttributeManager::resize( index_t nb_elements )
    {
        for( auto& [name, attribute] : attributes_ )
        {
            attribute->resize( nb_elements );
        }
        nb_elements_ = nb_elements;
    }

    void AttributeManager::reserve( index_t capacity )
    {
        for( auto& [name, attribute] : attributes_ )
        {
            attribute->reserve( capacity );
        }
    }

    std::shared_ptr< AttributeBase >
    AttributeManager::find_attribute_base( absl::string_view name ) const
    {
        const auto it = attributes_.find( name );
        return it == attributes_.end() ? nullptr : it->second;
    }

    void AttributeManager::register_attribute(
        std::shared_ptr< AttributeBase > attribute, absl::string_view name )
    {
        if( !attribute )
        {
            throw CorvaneException(
                "[AttributeManager::register_attribute] Cannot register a "
                "null attribute under the name ",
                name );
        }
        attribute->resize( nb_elements_ );
        const auto it = attributes_.find( name );
        if( it != attributes_.end() )
        {
            it->second = std::move( attribute );
            return;
        }
        attributes_.emplace( std::string{ name }, std::move( attribute ) );
    }

    void AttributeManager::delete_attribute( absl::string_view name )
    {
        const auto it = attributes_.find( name );
        if( it != attributes_.end() )
        {
            attributes_.erase( it );
        }
    }

    std::shared_ptr< AttributeBase >
    AttributeManager::find_generic_attribute( absl::string_view name ) const
    {
        auto attribute = find_attribute_base( name );
        if( attribute && attribute->is_supported() )
        {
            return attribute;
        }
        return nullptr;
    }

    bool AttributeManager::attribute_exists( absl::string_view name ) const
    {
        return attributes_.find( name ) != attributes_.end();
    }

    std::vector< std::string > AttributeManager::attribute_names() const
    {
        std::vector< std::string > names;
        names.reserve( attributes_.size() );
        for( const auto& [name, attribute] : attributes_ )
        {
            names.push_back( name );
        }
        return names;
    }

    void AttributeManager::import( const AttributeManager& from,
                                   absl::Span< const index_t > old2new )
    {
        if( &from == this )
        {
            throw CorvaneException( "[AttributeManager::import] Cannot import "
                                    "attributes from the same manager" );
        }
        // Extract everything first so that a failure leaves this manager
        // unchanged.
        std::vector<
            std::pair< std::string, std::shared_ptr< AttributeBase > > >
            extracted;
        extracted.reserve( from.attributes_.size() );
        for( const auto& [name, attribute] : from.attributes_ )
        {
            extracted.emplace_back(
                name, attribute->extract( old2new, nb_elements_ ) );
        }
        for( auto& [name, attribute] : extracted )
        {
            attributes_[name] = std::move( attribute );
        }
    }

    void AttributeManager::copy( const AttributeManager& from )
    {
        std::map< std::string, std::shared_ptr< AttributeBase >, std::less<> >
            copies;
        for( const auto& [name, attribute] : from.attributes_ )
        {
            copies.emplace( name, attribute->clone() );
        }
        attributes_ = std::move( copies );
        nb_elements_ = from.nb_elements_;
    }

    void AttributeManager::copy_attribute_value( index_t from, index_t to )
    {
        detail::check_index( "AttributeManager::copy_attribute_value",
                             "Element",
                             from,
                             nb_elements_ );
        detail::check_index( "AttributeManager::copy_attribute_value",
                             "Element",
                             to,
                             nb_elements_ );
        for( auto& [name, attribute] : attributes_ )
        {
            attribute->copy_value( from, to );
        }
    }

    void
    AttributeManager::delete_elements( const std::vector< bool >& to_delete )
    {
        if( to_delete.size() != nb_elements_ )
        {
            throw CorvaneException( "[AttributeManager::delete_elements] "
                                    "Expected one flag per element" );
        }
        index_t nb_removed{ 0 };
        for( const auto flag : to_delete )
        {
            nb_removed += flag ? 1 : 0;
        }
        if( nb_removed == 0 )
        {
            return;
        }
        for( auto& [name, attribute] : attributes_ )
        {
            attribute->delete_elements( to_delete );
        }
        nb_elements_ -= nb_removed;
    }

    void AttributeManager::permute_elements(
        absl::Span< const index_t > permutation )
    {
        if( permutation.size() != nb_elements_ )
        {
            throw CorvaneException( "[AttributeManager::permute_elements] "
                                    "Expected one entry per element" );
        }
        for( auto& [name, attribute] : attributes_ )
        {
            attribute->permute_elements( permutation );
        }
    }

    void AttributeManager::clear()
    {
        attributes_.clear();
        nb_elements_ = 0;
    }
} // namespace vorna
