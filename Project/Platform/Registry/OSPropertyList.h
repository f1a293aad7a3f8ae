#pragma once

#include <optional>

#include "PropertyList.h"

class OSObject;

namespace platform {

// Crossing the user/kernel boundary. Integers that fit 32 bits become 32-bit
// numbers (as the user side's 32-bit numbers arrive), others 64-bit. Reals
// have no kernel form: a value containing one does not convert (null), as the
// kernel refuses such a request. The result is the caller's to release.
OSObject* CreateOSObject(const PropertyList& value);

// Numbers are read signed from their width. Kernel objects without a user
// form (and entries nested absurdly deep) are left out; none only when the
// object itself has no form.
std::optional<PropertyList> CreatePropertyList(const OSObject* object);

}  // namespace platform
