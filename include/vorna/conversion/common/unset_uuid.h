#pragma once

#include <vorna/basic/uuid.h>

namespace vorna
{
    /// Marks uuid slots that no component has been assigned to yet. Made
    /// once when the library loads and never changed; never a component id.
    extern const uuid UNSET_UUID;
} // namespace vorna
