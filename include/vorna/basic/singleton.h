#pragma once

#include <functional>
#include <memory>
#include <typeinfo>

namespace vorna
{
    /// Entry of the process-wide registry of single objects, keyed by type.
    class Singleton
    {
      public:
        virtual ~Singleton() = default;
        Singleton( const Singleton& ) = delete;
        Singleton& operator=( const Singleton& ) = delete;

      protected:
        Singleton() = default;

        /// The registered object of that type, or null.
        static Singleton* instance( const std::type_info& type );

        /// Registers the object; a replaced entry lives until exit.
        static void set_instance( const std::type_info& type,
                                  std::unique_ptr< Singleton > object );

        /// The registered object of that type, made with `create` when there
        /// is none. Lookup and creation happen under one lock, so concurrent
        /// first callers share a single object.
        static Singleton& instance_or_create(
            const std::type_info& type,
            const std::function< std::unique_ptr< Singleton >() >& create );
    };
} // namespace vorna
