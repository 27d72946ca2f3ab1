#include <vorna/mesh/mesh_factory.h>

#include <mutex>
#include <shared_mutex>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/singleton.h>
#include <vorna/mesh/corvane_mesh.h>
#include <vorna/mesh/vertex_set.h>

namespace vorna
{
    namespace
    {
        // Types of implementations and defaults of types.
        class MeshTypeRegistry : public Singleton
        {
          public:
            static MeshTypeRegistry& get()
            {
                return static_cast< MeshTypeRegistry& >(
                    Singleton::instance_or_create(
                        typeid( MeshTypeRegistry ),
                        [] {
                            return std::unique_ptr< Singleton >{
                                new MeshTypeRegistry };
                        } ) );
            }

            mutable std::shared_mutex mutex;
            absl::flat_hash_map< MeshImpl, MeshType > impl_types;
            absl::flat_hash_map< MeshType, MeshImpl > defaults;

          private:
            MeshTypeRegistry() = default;
        };
    } // namespace

    std::unique_ptr< VertexSet >
    MeshFactory::create_mesh( const MeshImpl& impl )
    {
        CorvaneMesh::initialize();
        if( !Creators::has_creator( impl ) )
        {
            throw CorvaneException(
                "[MeshFactory::create_mesh] Unknown mesh implementation: ",
                impl.get() );
        }
        return Creators::create( impl );
    }

    MeshImpl MeshFactory::default_impl( const MeshType& type )
    {
        CorvaneMesh::initialize();
        auto& registry = MeshTypeRegistry::get();
        std::shared_lock< std::shared_mutex > lock{ registry.mutex };
        const auto it = registry.defaults.find( type );
        if( it == registry.defaults.end() )
        {
            throw CorvaneException( "[MeshFactory::default_impl] No default "
                                    "implementation for mesh type: ",
                                    type.get() );
        }
        return it->second;
    }

    MeshType MeshFactory::type( const MeshImpl& impl )
    {
        CorvaneMesh::initialize();
        auto& registry = MeshTypeRegistry::get();
        std::shared_lock< std::shared_mutex > lock{ registry.mutex };
        const auto it = registry.impl_types.find( impl );
        if( it == registry.impl_types.end() )
        {
            throw CorvaneException(
                "[MeshFactory::type] Unknown mesh implementation: ",
                impl.get() );
        }
        return it->second;
    }

    void MeshFactory::register_default( const MeshType& type,
                                        const MeshImpl& impl )
    {
        auto& registry = MeshTypeRegistry::get();
        std::unique_lock< std::shared_mutex > lock{ registry.mutex };
        registry.defaults[type] = impl;
    }

    void MeshFactory::register_type( const MeshType& type,
                                     const MeshImpl& impl )
    {
        auto& registry = MeshTypeRegistry::get();
        std::unique_lock< std::shared_mutex > lock{ registry.mutex };
        registry.impl_types[impl] = type;
    }
} // namespace vorna
