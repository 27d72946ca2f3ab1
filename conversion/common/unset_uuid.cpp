#include <vorna/conversion/common/unset_uuid.h>

namespace vorna
{
    // A fresh random value: it cannot collide with a component id.
    const uuid UNSET_UUID{};
} // namespace vorna
