#pragma once

#include <vector>

#include <absl/container/flat_hash_set.h>

namespace vorna
{
    namespace detail
    {
        /// Values in the order first added, each once: an iteration order
        /// that does not hang on hash values (such as random uuids).
        template < typename T >
        class UniqueList
        {
          public:
            void add( const T& value )
            {
                if( added_.insert( value ).second )
                {
                    values_.push_back( value );
                }
            }

            const std::vector< T >& values() const
            {
                return values_;
            }

            std::vector< T > take()
            {
                added_.clear();
                return std::move( values_ );
            }

          private:
            absl::flat_hash_set< T > added_;
            std::vector< T > values_;
        };
    } // namespace detail
} // namespace vorna
