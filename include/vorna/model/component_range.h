#pragma once

#include <iterator>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <vorna/model/component_id.h>
#include <vorna/model/detail/component_store.h>

namespace vorna
{
    /// The components of one kind, as `const Component&`, in creation order.
    /// A view: valid while no component of that kind is added or removed.
    template < typename Component >
    class ComponentRange
    {
        using Base = typename std::vector<
            std::unique_ptr< Component > >::const_iterator;

      public:
        class Iterator
        {
          public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = Component;
            using difference_type = std::ptrdiff_t;
            using pointer = const Component*;
            using reference = const Component&;

            explicit Iterator( Base it ) : it_( it ) {}

            const Component& operator*() const
            {
                return **it_;
            }
            const Component* operator->() const
            {
                return it_->get();
            }
            Iterator& operator++()
            {
                ++it_;
                return *this;
            }
            Iterator operator++( int )
            {
                auto copy = *this;
                ++it_;
                return copy;
            }
            bool operator==( const Iterator& other ) const
            {
                return it_ == other.it_;
            }
            bool operator!=( const Iterator& other ) const
            {
                return it_ != other.it_;
            }

          private:
            Base it_;
        };

        explicit ComponentRange(
            const std::vector< std::unique_ptr< Component > >& components )
            : components_( components )
        {
        }

        Iterator begin() const
        {
            return Iterator{ components_.begin() };
        }
        Iterator end() const
        {
            return Iterator{ components_.end() };
        }
        index_t size() const
        {
            return static_cast< index_t >( components_.size() );
        }
        bool empty() const
        {
            return components_.empty();
        }

      private:
        const std::vector< std::unique_ptr< Component > >& components_;
    };

    /// The components of one kind among a relationship list, as
    /// `const Component&`, in the order the relationships were added. Entries
    /// of other kinds are skipped. A view: valid while the model's
    /// relationships and components of that kind do not change.
    template < typename Component >
    class RelatedComponentRange
    {
      public:
        class Iterator
        {
          public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = Component;
            using difference_type = std::ptrdiff_t;
            using pointer = const Component*;
            using reference = const Component&;

            Iterator( const ComponentID* current,
                      const ComponentID* end,
                      const detail::ComponentStore< Component >& store )
                : current_( current ), end_( end ), store_( &store )
            {
                skip();
            }

            const Component& operator*() const
            {
                return *store_->find( current_->id() );
            }
            const Component* operator->() const
            {
                return store_->find( current_->id() );
            }
            Iterator& operator++()
            {
                ++current_;
                skip();
                return *this;
            }
            Iterator operator++( int )
            {
                auto copy = *this;
                ++*this;
                return copy;
            }
            bool operator==( const Iterator& other ) const
            {
                return current_ == other.current_;
            }
            bool operator!=( const Iterator& other ) const
            {
                return current_ != other.current_;
            }

          private:
            void skip()
            {
                while( current_ != end_ &&
                       store_->find( current_->id() ) == nullptr )
                {
                    ++current_;
                }
            }

          private:
            const ComponentID* current_;
            const ComponentID* end_;
            const detail::ComponentStore< Component >* store_;
        };

        RelatedComponentRange(
            absl::Span< const ComponentID > related,
            const detail::ComponentStore< Component >& store )
            : related_( related ), store_( store )
        {
        }

        Iterator begin() const
        {
            return {
                related_.data(), related_.data() + related_.size(), store_ };
        }
        Iterator end() const
        {
            const auto* last = related_.data() + related_.size();
            return { last, last, store_ };
        }
        /// Number of related components of this kind (linear).
        index_t size() const
        {
            index_t count{ 0 };
            for( auto it = begin(); it != end(); ++it )
            {
                count++;
            }
            return count;
        }
        bool empty() const
        {
            return begin() == end();
        }

      private:
        absl::Span< const ComponentID > related_;
        const detail::ComponentStore< Component >& store_;
    };
} // namespace vorna
