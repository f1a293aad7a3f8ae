#pragma once

#include <cstddef>
#include <string_view>

#include "PropertyList.h"

struct sd_bus_message;

namespace platform {

// A property list travels as a variant: Dictionary as a{sv}, Array as av,
// String as s, Integer as x, Real as d, Boolean as b. Reading also takes the
// other integer types (y n q i u, and t up to INT64_MAX), arrays of any
// readable element type and dictionaries with string keys; it refuses object
// paths, signatures, descriptors, structs, other key types, a variant directly
// inside a variant, and duplicate keys.
//
// Both directions enforce the same bounds, so whatever is written reads back.
inline constexpr int kBusPropertyListMaxDepth = 8;  // containers (dictionaries, arrays) nested
inline constexpr std::size_t kBusPropertyListMaxElements = 256;      // per container
inline constexpr std::size_t kBusPropertyListMaxValues = 4096;       // in all, containers included
inline constexpr std::size_t kBusPropertyListMaxStringBytes = 4096;  // each string and key

struct BusPropertyListResult {
    PropertyList value;       // the empty dictionary unless error is 0
    int error = 0;            // 0, or a negative errno (-EINVAL wrong type, -E2BIG over a bound)
    std::string_view reason;  // short, static; empty on success

    bool Ok() const { return error == 0; }
};

// Appends the value as one variant (v). Returns 0 or a negative errno; on an
// error the message is left half-built and must be dropped.
int AppendPropertyList(sd_bus_message* message, const PropertyList& value);
// Appends the dictionary as a bare a{sv}.
int AppendPropertyListContents(sd_bus_message* message, const PropertyList::Dictionary& dictionary);

// Reads the next argument, which must be a variant holding a property list.
BusPropertyListResult ReadPropertyList(sd_bus_message* message);
// Reads the next argument, which must be an a{sv}; the value is a Dictionary.
BusPropertyListResult ReadDictionary(sd_bus_message* message);

}  // namespace platform
