#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "HIDManager.h"

struct udev;
struct udev_device;
struct udev_monitor;

namespace platform {

// The machine's USB devices as udev sees them: enumerated once, then followed
// through the udev monitor (no privileges needed), whose descriptor the run
// loop watches once attached.
class LinuxHIDDevices final : public HIDDeviceBackend {
public:
    LinuxHIDDevices();
    ~LinuxHIDDevices() override;

    // False when udev is out of reach (no device is then ever reported).
    bool IsOpen() const { return fMonitor != nullptr; }
    int Descriptor() const;
    // Served by the loop from now on; false when it cannot watch descriptors.
    bool Attach(CFRunLoopRef loop);
    // Reports the arrivals and removals the monitor has queued.
    void Dispatch();

    // The devices leave for the agent's eyes, and come back with new ids:
    // what the agent sees when the driver host goes away and comes back.
    void Withdraw();
    void Restore();

    std::vector<HIDDevice> PresentDevices() const override;

private:
    void Arrive(udev_device* device);

    struct Present {
        HIDDevice device;
        bool withdrawn = false;
    };
    udev* fUdev = nullptr;
    udev_monitor* fMonitor = nullptr;
    std::map<std::string, Present> fDevices;  // by sysfs path
    std::uint64_t fNextId = 1;
    bool fWithdrawn = false;
    CFRunLoopRef fLoop = nullptr;
    WatchId fWatch = 0;
};

}  // namespace platform
