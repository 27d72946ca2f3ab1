#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    namespace detail
    {
        /// Owns the components of one kind: creation order in a vector (so
        /// iteration is stable across removals) and a uuid index for O(1)
        /// look-ups. Components never move in memory.
        template < typename Component >
        class ComponentStore
        {
          public:
            using Storage = std::vector< std::unique_ptr< Component > >;

            Component& add( std::unique_ptr< Component > component )
            {
                auto& added = *component;
                index_.emplace( added.id(), component.get() );
                components_.push_back( std::move( component ) );
                return added;
            }

            /// Removes the component, keeping the order of the others.
            void remove( const uuid& id )
            {
                if( index_.erase( id ) == 0 )
                {
                    return;
                }
                components_.erase( std::find_if(
                    components_.begin(),
                    components_.end(),
                    [&id]( const std::unique_ptr< Component >& component )
                    { return component->id() == id; } ) );
            }

            /// Null when absent.
            Component* find( const uuid& id ) const
            {
                const auto it = index_.find( id );
                return it == index_.end() ? nullptr : it->second;
            }

            /// \throw CorvaneException naming `operation` when absent.
            Component& get( const uuid& id, const char* operation ) const
            {
                if( auto* component = find( id ) )
                {
                    return *component;
                }
                throw CorvaneException(
                    "[",
                    operation,
                    "] No ",
                    Component::component_type_static().get(),
                    " with uuid ",
                    id.string(),
                    " in the model" );
            }

            /// True when `component` is this store's object of its id.
            bool holds( const Component& component ) const
            {
                return find( component.id() ) == &component;
            }

            index_t size() const
            {
                return static_cast< index_t >( components_.size() );
            }

            const Storage& components() const
            {
                return components_;
            }

          private:
            Storage components_;
            absl::flat_hash_map< uuid, Component* > index_;
        };
    } // namespace detail
} // namespace vorna
