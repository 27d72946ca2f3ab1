#pragma once

#include <absl/strings/string_view.h>

#include <vorna/basic/corvane_exception.h>

namespace vorna
{
    namespace detail
    {
        /// The step-by-step builders' refusals of a step out of order or run
        /// again, in one wording. `subject` names what a step makes with its
        /// verb, as in "The lines are".

        /// Refuses `operation` until the step that makes `subject` has run.
        /// \throw CorvaneException "[<operation>] <subject> not built: run
        /// <step>() first".
        inline void check_step_done( absl::string_view operation,
                                     bool done,
                                     absl::string_view subject,
                                     absl::string_view step )
        {
            if( !done )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] ",
                                        subject,
                                        " not built: run ",
                                        step,
                                        "() first" );
            }
        }

        /// Refuses a step whose second run would make `subject` again, or
        /// one that comes too late once it is made.
        /// \throw CorvaneException "[<operation>] <subject> <made> already".
        inline void check_step_not_done( absl::string_view operation,
                                         bool done,
                                         absl::string_view subject,
                                         absl::string_view made = "built" )
        {
            if( done )
            {
                throw CorvaneException(
                    "[", operation, "] ", subject, " ", made, " already" );
            }
        }
    } // namespace detail
} // namespace vorna
