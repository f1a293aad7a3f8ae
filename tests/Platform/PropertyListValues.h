#pragma once

#include <cstdint>

#include "PropertyList.h"

namespace platform::test {

using Dictionary = PropertyList::Dictionary;
using Array = PropertyList::Array;

inline PropertyList Int(std::int64_t value) {
    return PropertyList::MakeInteger(value);
}

}  // namespace platform::test
