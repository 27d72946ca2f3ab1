#include <vorna/basic/singleton.h>

#include <mutex>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>

namespace
{
    struct Registry
    {
        std::mutex mutex;
        absl::flat_hash_map< std::string, std::unique_ptr< vorna::Singleton > >
            objects;
        // Replaced objects may still be referenced by earlier callers.
        std::vector< std::unique_ptr< vorna::Singleton > > replaced;
    };

    Registry& registry()
    {
        static Registry* instance = new Registry; // lives until exit
        return *instance;
    }
} // namespace

namespace vorna
{
    Singleton* Singleton::instance( const std::type_info& type )
    {
        auto& objects = registry();
        std::lock_guard< std::mutex > lock{ objects.mutex };
        const auto it = objects.objects.find( type.name() );
        return it == objects.objects.end() ? nullptr : it->second.get();
    }

    void Singleton::set_instance( const std::type_info& type,
                                  std::unique_ptr< Singleton > object )
    {
        auto& objects = registry();
        std::lock_guard< std::mutex > lock{ objects.mutex };
        auto& slot = objects.objects[type.name()];
        if( slot )
        {
            objects.replaced.push_back( std::move( slot ) );
        }
        slot = std::move( object );
    }

    Singleton& Singleton::instance_or_create(
        const std::type_info& type,
        const std::function< std::unique_ptr< Singleton >() >& create )
    {
        auto& objects = registry();
        std::lock_guard< std::mutex > lock{ objects.mutex };
        auto& slot = objects.objects[type.name()];
        if( !slot )
        {
            slot = create();
        }
        return *slot;
    }
} // namespace vorna
