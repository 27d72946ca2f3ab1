#pragma once

#include <stdexcept>
#include <string>

#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

namespace vorna
{
    namespace detail
    {
        // A null C string counts as empty text in a message.
        inline absl::string_view message_part( const char* text )
        {
            return text == nullptr ? absl::string_view{}
                                   : absl::string_view{ text };
        }
        inline absl::string_view message_part( char* text )
        {
            return message_part( static_cast< const char* >( text ) );
        }
        template < typename T >
        const T& message_part( const T& part )
        {
            return part;
        }
    } // namespace detail

    /// Error raised by the framework and the conversion module. The message
    /// is the concatenation of the given parts, with nothing between them.
    class CorvaneException : public std::runtime_error
    {
      public:
        template < typename... Args >
        explicit CorvaneException( const Args&... parts )
            : std::runtime_error{
                  absl::StrCat( detail::message_part( parts )... ) }
        {
        }
    };
} // namespace vorna
