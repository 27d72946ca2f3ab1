#pragma once

#include <absl/strings/string_view.h>

#include <vorna/basic/identifier.h>

namespace vorna
{
    /// Writes the uuid and name of an Identifier.
    class IdentifierBuilder
    {
      public:
        explicit IdentifierBuilder( Identifier& identifier )
            : identifier_( identifier )
        {
        }
        virtual ~IdentifierBuilder() = default;

        void set_id( const uuid& id )
        {
            identifier_.set_id( id );
        }

        void set_name( absl::string_view name )
        {
            identifier_.set_name( name );
        }

      private:
        Identifier& identifier_;
    };
} // namespace vorna
