#include "SimulatedHIDDevices.h"

#include <algorithm>

namespace platform {

std::uint64_t SimulatedHIDDevices::Plug(std::int32_t vendorId, std::int32_t productId) {
    HIDDevice device{fNextId++, vendorId, productId};
    fDevices.push_back(device);
    NotifyArrived(device);
    return device.id;
}

bool SimulatedHIDDevices::Unplug(std::uint64_t deviceId) {
    auto found = std::find_if(fDevices.begin(), fDevices.end(),
                              [&](const HIDDevice& d) { return d.id == deviceId; });
    if (found == fDevices.end()) {
        return false;
    }
    HIDDevice device = *found;
    fDevices.erase(found);
    NotifyRemoved(device);
    return true;
}

}  // namespace platform
