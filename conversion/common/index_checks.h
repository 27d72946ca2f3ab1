#pragma once

// The conversions refuse a bad index in the framework's wording.
#include <vorna/basic/index_check.h>
