#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/conversion/common/gathering_attribute.h>

namespace vorna
{
    namespace detail
    {
        /// Does what to.import(from, old2new) does with old2new mapping
        /// elements[k] to k and every other element of `from` to
        /// INVALID_INDEX, in time proportional to `elements` for the
        /// attributes that can gather; others are extracted through such a
        /// table, made once. `from` is only read, so several threads may
        /// import from it at once into different managers.
        /// \pre elements are distinct elements of `from`, fewer than
        /// to.nb_elements().
        inline void import_elements( AttributeManager& to,
                                     const AttributeManager& from,
                                     absl::Span< const index_t > elements,
                                     index_t nb_from_elements )
        {
            std::vector<
                std::pair< std::string, std::shared_ptr< AttributeBase > > >
                copies;
            std::vector< index_t > old2new;
            for( auto& name : from.attribute_names() )
            {
                const auto attribute = from.find_attribute_base( name );
                std::shared_ptr< AttributeBase > copy;
                if( const auto* gathering =
                        dynamic_cast< const GatheringAttribute* >(
                            attribute.get() ) )
                {
                    copy = gathering->gather( elements, to.nb_elements() );
                }
                if( !copy )
                {
                    if( old2new.empty() )
                    {
                        old2new.assign( nb_from_elements, INVALID_INDEX );
                        for( index_t k = 0; k < elements.size(); k++ )
                        {
                            old2new[elements[k]] = k;
                        }
                    }
                    copy = attribute->extract( old2new, to.nb_elements() );
                }
                copies.emplace_back( std::move( name ), std::move( copy ) );
            }
            // Registered once all are made, so that a failure leaves `to`
            // unchanged, as import does.
            for( auto& copy : copies )
            {
                to.register_attribute( std::move( copy.second ), copy.first );
            }
        }
    } // namespace detail
} // namespace vorna
