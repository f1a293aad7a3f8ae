#pragma once

#include <systemd/sd-bus.h>

#include <functional>

namespace platform {

// Walks the a{sv} at the message's position (a property list as GetAll and
// PropertiesChanged carry it). `read(name)` reads the variant of an entry it
// wants and returns sd-bus's result; returning 0 has the entry skipped.
// False when the dictionary is malformed or a read failed.
bool ReadVariantDictionary(sd_bus_message* message, const std::function<int(const char*)>& read);

}  // namespace platform
