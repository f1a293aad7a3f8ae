#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "IOHIDEventService.h"
#include "IOHIDSystemService.h"

class com_halvorin_OrvandelDriver;

namespace platform {

// The kernel side of the simulated machine: the driver module, one driver
// instance per mouse (keyed by the machine's mouse id), the HID system
// service, and the sink where the instances deliver what the system sees.
class SimulatedKernel final : public IOHIDEventSink {
public:
    using EventObserver = std::function<void(std::uint64_t mouse, const IOHIDSystemEvent&)>;
    using MessageObserver = std::function<void(std::uint64_t mouse, std::uint32_t messageType)>;

    SimulatedKernel(EventObserver events, MessageObserver messages);
    // Terminates every instance and the HID system service, and unloads the
    // module if it loaded it.
    ~SimulatedKernel() override;
    SimulatedKernel(const SimulatedKernel&) = delete;
    SimulatedKernel& operator=(const SimulatedKernel&) = delete;

    // What the kernel does for a new device: loads the module if needed and
    // lets its matching personality create the instance. Null when nothing
    // matches the ids.
    com_halvorin_OrvandelDriver* StartDriver(std::uint64_t mouse, std::int32_t vendorId,
                                             std::int32_t productId);
    // An instance of the driver class with the given registry ids, whatever
    // the personalities say (to exercise the agent's filtering).
    com_halvorin_OrvandelDriver* StartUnmatchedDriver(std::uint64_t mouse, std::int32_t vendorId,
                                                      std::int32_t productId);
    // Terminates the mouse's instance; false when it has none.
    bool StopDriver(std::uint64_t mouse);
    com_halvorin_OrvandelDriver* DriverOf(std::uint64_t mouse) const;

    void SetHIDSystemPresent(bool present);

    void deliverEvent(IOHIDEventService& sender, const IOHIDSystemEvent& event) override;

private:
    bool EnsureModuleLoaded();
    com_halvorin_OrvandelDriver* Adopt(std::uint64_t mouse, IOService* service);

    EventObserver fEvents;
    MessageObserver fMessages;
    std::map<std::uint64_t, com_halvorin_OrvandelDriver*> fDrivers;
    IOHIDSystem* fHIDSystem = nullptr;
    bool fLoadedModule = false;
};

}  // namespace platform
