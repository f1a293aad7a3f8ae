#include "VariantDictionary.h"

namespace platform {

bool ReadVariantDictionary(sd_bus_message* message, const std::function<int(const char*)>& read) {
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) {
        return false;
    }
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read_basic(message, 's', &name) <= 0) {
            return false;
        }
        int result = read(name);
        if (result == 0) {
            result = sd_bus_message_skip(message, "v");
        }
        if (result < 0 || sd_bus_message_exit_container(message) < 0) {
            return false;
        }
    }
    return sd_bus_message_exit_container(message) >= 0;
}

}  // namespace platform
