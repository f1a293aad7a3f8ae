#include "MouseDiscovery.h"

#include <libudev.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "Logging.h"
#include "OrvandelDriver.h"
#include "UinputDevice.h"
#include "VendorIdSetting.h"

namespace platform {

namespace {

std::optional<std::uint32_t> HexAttribute(udev_device* device, const char* name) {
    const char* text = udev_device_get_sysattr_value(device, name);
    if (text == nullptr) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value, 16);
    if (error != std::errc{} || end == view.data()) {
        return std::nullopt;
    }
    return value;
}

bool IsEventNode(udev_device* device) {
    const char* name = udev_device_get_sysname(device);
    return name != nullptr && std::string_view(name).starts_with("event");
}

bool IsOwnVirtualDevice(udev_device* eventNode) {
    udev_device* input = udev_device_get_parent_with_subsystem_devtype(eventNode, "input", nullptr);
    const char* phys = input == nullptr ? nullptr : udev_device_get_sysattr_value(input, "phys");
    return phys != nullptr && std::string_view(phys).starts_with(kVirtualPhysPrefix);
}

bool IsServed(std::uint32_t vendorId, std::uint32_t productId) {
    const auto& personalities = kOrvandelDriverModule.personalities;
    return std::any_of(personalities.begin(), personalities.end(), [&](const auto& personality) {
        return personality.vendorID == vendorId && personality.productID == productId;
    });
}

bool IsFamilyProduct(std::uint32_t productId) {
    const auto& personalities = kOrvandelDriverModule.personalities;
    return std::any_of(personalities.begin(), personalities.end(),
                       [&](const auto& personality) { return personality.productID == productId; });
}

}  // namespace

MouseDiscovery::MouseDiscovery() : fUdev(udev_new()) {
    if (fUdev == nullptr) {
        return;
    }
    fMonitor = udev_monitor_new_from_netlink(fUdev, "udev");
    if (fMonitor == nullptr) {
        return;
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(fMonitor, "input", nullptr) < 0 ||
        udev_monitor_enable_receiving(fMonitor) < 0) {
        fMonitor = udev_monitor_unref(fMonitor);
    }
}

MouseDiscovery::~MouseDiscovery() {
    udev_monitor_unref(fMonitor);
    udev_unref(fUdev);
}

int MouseDiscovery::Descriptor() const {
    return fMonitor == nullptr ? -1 : udev_monitor_get_fd(fMonitor);
}

std::optional<MouseDiscovery::Node> MouseDiscovery::Match(udev_device* device) {
    const char* devnode = udev_device_get_devnode(device);
    if (devnode == nullptr || !IsEventNode(device) || IsOwnVirtualDevice(device)) {
        return std::nullopt;
    }
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    if (usb == nullptr) {
        return std::nullopt;
    }
    const auto vendor = HexAttribute(usb, "idVendor");
    const auto product = HexAttribute(usb, "idProduct");
    if (!vendor || !product) {
        return std::nullopt;
    }
    if (!IsServed(*vendor, *product)) {
        if (IsFamilyProduct(*product)) {
            HintOtherVendor(device, udev_device_get_syspath(usb), *vendor, *product);
        }
        return std::nullopt;
    }
    return Node{udev_device_get_syspath(device), devnode, udev_device_get_syspath(usb), *vendor,
                *product};
}

void MouseDiscovery::HintOtherVendor(udev_device* eventNode, const std::string& usbSyspath,
                                     std::uint32_t vendorId, std::uint32_t productId) {
    const bool hinted = std::any_of(fHinted.begin(), fHinted.end(),
                                    [&](const auto& entry) { return entry.second == usbSyspath; });
    fHinted.emplace(udev_device_get_syspath(eventNode), usbSyspath);
    if (hinted) {
        return;
    }
    const VendorIdSetting& inForce = VendorIdInForce();
    const std::string file = inForce.IsBuildDefault() ? kSystemConfigurationFile : inForce.file;
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", vendorId, productId);
    SystemLog(std::string("USB device ") + ids + " has a product id of the family but vendor id " +
              VendorIdText(vendorId) + "; this host serves vendor id " +
              DescribeVendorIdSetting(inForce) +
              ". To serve it, set VendorId=" + VendorIdText(vendorId) + " in " + file +
              " and restart halvorin-driverd and the agent.");
}

std::vector<MouseDiscovery::Node> MouseDiscovery::Enumerate() {
    std::vector<Node> nodes;
    udev_enumerate* enumerate = udev_enumerate_new(fUdev);
    if (enumerate == nullptr) {
        return nodes;
    }
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_add_match_is_initialized(enumerate);
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* device = udev_device_new_from_syspath(fUdev, udev_list_entry_get_name(entry));
        if (device == nullptr) {
            continue;
        }
        if (auto node = Match(device)) {
            nodes.push_back(std::move(*node));
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return nodes;
}

std::optional<MouseDiscovery::Change> MouseDiscovery::Receive() {
    if (fMonitor == nullptr) {
        return std::nullopt;
    }
    while (udev_device* device = udev_monitor_receive_device(fMonitor)) {
        std::optional<Change> change;
        const char* action = udev_device_get_action(device);
        if (action != nullptr && std::strcmp(action, "remove") == 0 && IsEventNode(device)) {
            fHinted.erase(udev_device_get_syspath(device));
            change = Change{false, Node{udev_device_get_syspath(device), {}, {}, 0, 0}};
        } else if (action != nullptr && std::strcmp(action, "add") == 0) {
            if (auto node = Match(device)) {
                change = Change{true, std::move(*node)};
            }
        }
        udev_device_unref(device);
        if (change) {
            return change;
        }
    }
    return std::nullopt;
}

}  // namespace platform
