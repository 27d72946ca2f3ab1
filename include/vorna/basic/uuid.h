#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include <absl/strings/string_view.h>

namespace vorna
{
    /// 128-bit identifier of a mesh or a model component. The default
    /// constructor makes a fresh random (version 4) value.
    class uuid
    {
      public:
        uuid();
        /// Parses the 8-4-4-4-12 hexadecimal text form.
        /// \throw CorvaneException on malformed text.
        explicit uuid( absl::string_view text );

        /// Lowercase 8-4-4-4-12 text.
        std::string string() const;

        bool operator==( const uuid& other ) const
        {
            return high_ == other.high_ && low_ == other.low_;
        }
        bool operator!=( const uuid& other ) const
        {
            return !( *this == other );
        }
        bool operator<( const uuid& other ) const
        {
            return high_ != other.high_ ? high_ < other.high_
                                        : low_ < other.low_;
        }

        template < typename H >
        friend H AbslHashValue( H state, const uuid& value )
        {
            return H::combine( std::move( state ), value.high_, value.low_ );
        }

      private:
        std::uint64_t high_{ 0 };
        std::uint64_t low_{ 0 };
    };
} // namespace vorna
