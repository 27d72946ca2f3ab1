#pragma once

#include <absl/strings/string_view.h>

#include <vorna/basic/common.h>
#include <vorna/basic/corvane_exception.h>

namespace vorna
{
    namespace detail
    {
        /// Refuses an index at or past `count`, which would read or write
        /// outside the elements it names. Every "out of range" refusal of the
        /// framework and the conversions goes through it, so they all read
        /// alike.
        /// \throw CorvaneException "[<operation>] <element> <index> is out of
        /// range [0, <count>)".
        inline void check_index( absl::string_view operation,
                                 absl::string_view element,
                                 index_t index,
                                 index_t count )
        {
            if( index >= count )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] ",
                                        element,
                                        " ",
                                        index,
                                        " is out of range [0, ",
                                        count,
                                        ")" );
            }
        }
    } // namespace detail
} // namespace vorna
