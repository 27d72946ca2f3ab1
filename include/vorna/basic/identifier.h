#pragma once

#include <string>

#include <absl/strings/string_view.h>

#include <vorna/basic/uuid.h>

namespace vorna
{
    class IdentifierBuilder;

    /// Uuid and name of a mesh or a model component. A new object gets a
    /// fresh uuid and an empty name.
    class Identifier
    {
        friend class IdentifierBuilder;

      public:
        virtual ~Identifier() = default;

        const uuid& id() const
        {
            return id_;
        }

        absl::string_view name() const
        {
            return name_;
        }

      protected:
        Identifier() = default;
        Identifier( Identifier&& ) noexcept = default;
        Identifier& operator=( Identifier&& ) noexcept = default;
        Identifier( const Identifier& ) = default;
        Identifier& operator=( const Identifier& ) = default;

        void set_id( const uuid& id )
        {
            id_ = id;
        }

        void set_name( absl::string_view name )
        {
            name_ = std::string{ name };
        }

      private:
        uuid id_;
        std::string name_;
    };
} // namespace vorna
