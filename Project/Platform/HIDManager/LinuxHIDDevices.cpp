#include "LinuxHIDDevices.h"

#include <libudev.h>

#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

namespace platform {
namespace {

constexpr const char* kSubsystem = "usb";
constexpr const char* kDeviceType = "usb_device";

// A four-digit hexadecimal id attribute ("idVendor", "idProduct").
std::optional<std::int32_t> ReadId(udev_device* device, const char* attribute) {
    const char* text = udev_device_get_sysattr_value(device, attribute);
    if (text == nullptr) {
        return std::nullopt;
    }
    const std::string_view digits(text);
    std::int32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc{} || end == digits.data() || value < 0 || value > 0xffff) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

LinuxHIDDevices::LinuxHIDDevices() : fUdev(udev_new()) {
    if (fUdev == nullptr) {
        return;
    }
    fMonitor = udev_monitor_new_from_netlink(fUdev, "udev");
    if (fMonitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(fMonitor, kSubsystem, kDeviceType) < 0 ||
        udev_monitor_enable_receiving(fMonitor) < 0) {
        if (fMonitor != nullptr) {
            udev_monitor_unref(fMonitor);
            fMonitor = nullptr;
        }
        return;
    }
    // Enumerated after the monitor listens, so that nothing plugged meanwhile
    // is missed; a device seen twice is kept once (by its sysfs path).
    udev_enumerate* enumerate = udev_enumerate_new(fUdev);
    if (enumerate == nullptr) {
        return;
    }
    udev_enumerate_add_match_subsystem(enumerate, kSubsystem);
    udev_enumerate_add_match_property(enumerate, "DEVTYPE", kDeviceType);
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        if (udev_device* device =
                udev_device_new_from_syspath(fUdev, udev_list_entry_get_name(entry))) {
            Arrive(device);
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(enumerate);
}

LinuxHIDDevices::~LinuxHIDDevices() {
    if (fLoop != nullptr) {
        CFRunLoopUnwatchDescriptor(fLoop, fWatch);
    }
    if (fMonitor != nullptr) {
        udev_monitor_unref(fMonitor);
    }
    if (fUdev != nullptr) {
        udev_unref(fUdev);
    }
}

int LinuxHIDDevices::Descriptor() const {
    return fMonitor != nullptr ? udev_monitor_get_fd(fMonitor) : -1;
}

bool LinuxHIDDevices::Attach(CFRunLoopRef loop) {
    if (fMonitor == nullptr) {
        return false;
    }
    fWatch =
        CFRunLoopWatchDescriptor(loop, Descriptor(), kDescriptorReadable, [this] { Dispatch(); });
    fLoop = fWatch != 0 ? loop : nullptr;
    return fWatch != 0;
}

void LinuxHIDDevices::Dispatch() {
    if (fMonitor == nullptr) {
        return;
    }
    while (udev_device* device = udev_monitor_receive_device(fMonitor)) {
        const char* action = udev_device_get_action(device);
        const char* path = udev_device_get_syspath(device);
        if (action != nullptr && path != nullptr && std::strcmp(action, "remove") == 0) {
            if (auto found = fDevices.find(path); found != fDevices.end()) {
                const Present gone = found->second;
                fDevices.erase(found);
                if (!gone.withdrawn) {
                    NotifyRemoved(gone.device);
                }
            }
        } else if (action != nullptr && std::strcmp(action, "add") == 0) {
            Arrive(device);
        }
        udev_device_unref(device);
    }
}

void LinuxHIDDevices::Arrive(udev_device* device) {
    const char* path = udev_device_get_syspath(device);
    const auto vendor = ReadId(device, "idVendor");
    const auto product = ReadId(device, "idProduct");
    if (path == nullptr || !vendor || !product || fDevices.contains(path)) {
        return;
    }
    const Present present{{fNextId++, *vendor, *product}, fWithdrawn};
    fDevices.emplace(path, present);
    if (!present.withdrawn) {
        NotifyArrived(present.device);
    }
}

void LinuxHIDDevices::Withdraw() {
    if (fWithdrawn) {
        return;
    }
    fWithdrawn = true;
    for (auto& [path, present] : fDevices) {
        present.withdrawn = true;
        NotifyRemoved(present.device);
    }
}

void LinuxHIDDevices::Restore() {
    if (!fWithdrawn) {
        return;
    }
    fWithdrawn = false;
    for (auto& [path, present] : fDevices) {
        present = {{fNextId++, present.device.vendorId, present.device.productId}, false};
        NotifyArrived(present.device);
    }
}

std::vector<HIDDevice> LinuxHIDDevices::PresentDevices() const {
    std::vector<HIDDevice> devices;
    for (const auto& [path, present] : fDevices) {
        if (!present.withdrawn) {
            devices.push_back(present.device);
        }
    }
    return devices;
}

}  // namespace platform
