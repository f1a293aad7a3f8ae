#pragma once

#include <cstdint>
#include <vector>

#include "HIDManager.h"

namespace platform {

// The simulated USB bus: devices plugged and unplugged by the scenario.
class SimulatedHIDDevices final : public HIDDeviceBackend {
public:
    std::vector<HIDDevice> PresentDevices() const override { return fDevices; }

    // Returns the new device's id.
    std::uint64_t Plug(std::int32_t vendorId, std::int32_t productId);
    // False when no such device is present.
    bool Unplug(std::uint64_t deviceId);

private:
    std::vector<HIDDevice> fDevices;
    std::uint64_t fNextId = 1;
};

}  // namespace platform
