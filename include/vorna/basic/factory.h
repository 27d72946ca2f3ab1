#pragma once

#include <memory>
#include <mutex>
#include <shared_mutex>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/singleton.h>

namespace vorna
{
    /// Registry of creators of Base-derived objects, keyed by Key. One
    /// factory per instantiation lives in the singleton registry; it is
    /// created on first use, safely from several threads.
    template < typename Key, typename Base, typename... Args >
    class Factory : public Singleton
    {
      public:
        using Creator = std::unique_ptr< Base > ( * )( Args... );

        /// Registers (or overwrites) the creator of Derived under the key.
        template < typename Derived >
        static void register_creator( Key key )
        {
            auto& factory = get_instance();
            std::unique_lock< std::shared_mutex > lock{ factory.mutex_ };
            factory.creators_[std::move( key )] = &create_derived< Derived >;
        }

        /// A new object made by the creator of the key.
        /// \throw CorvaneException when the key has no creator.
        static std::unique_ptr< Base > create( const Key& key, Args... args )
        {
            auto& factory = get_instance();
            Creator creator{ nullptr };
            {
                std::shared_lock< std::shared_mutex > lock{ factory.mutex_ };
                const auto it = factory.creators_.find( key );
                if( it != factory.creators_.end() )
                {
                    creator = it->second;
                }
            }
            if( creator == nullptr )
            {
                throw CorvaneException( "[Factory::create] Factory does not "
                                        "contain the requested key" );
            }
            return creator( std::forward< Args >( args )... );
        }

        static bool has_creator( const Key& key )
        {
            auto& factory = get_instance();
            std::shared_lock< std::shared_mutex > lock{ factory.mutex_ };
            return factory.creators_.contains( key );
        }

      private:
        Factory() = default;

        template < typename Derived >
        static std::unique_ptr< Base > create_derived( Args... args )
        {
            return std::unique_ptr< Base >{
                new Derived{ std::forward< Args >( args )... } };
        }

        static Factory& get_instance()
        {
            return static_cast< Factory& >( Singleton::instance_or_create(
                typeid( Factory ),
                [] { return std::unique_ptr< Singleton >{ new Factory }; } ) );
        }

      private:
        mutable std::shared_mutex mutex_;
        absl::flat_hash_map< Key, Creator > creators_;
    };
} // namespace vorna
