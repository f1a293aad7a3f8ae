#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;
struct udev_device;

namespace platform {

// Finds the event nodes of the family's mice with libudev: input event nodes
// whose USB device has a vendor and product id that a personality of the
// driver module names. The host's own virtual devices never match (they sit
// on no USB device and carry the host's phys prefix). A USB device with a
// product id of the family under another vendor id is logged once, with the
// setting that would serve it.
class MouseDiscovery {
public:
    struct Node {
        std::string syspath;     // of the event node
        std::string devnode;     // /dev/input/eventN
        std::string usbSyspath;  // of the USB device: one instance per USB device
        std::uint32_t vendorId = 0;
        std::uint32_t productId = 0;
    };
    struct Change {
        bool added = false;
        Node node;  // on removal only syspath is known
    };

    // False from IsValid when libudev or its monitor could not be set up.
    MouseDiscovery();
    ~MouseDiscovery();
    MouseDiscovery(const MouseDiscovery&) = delete;
    MouseDiscovery& operator=(const MouseDiscovery&) = delete;

    bool IsValid() const { return fMonitor != nullptr; }
    // The monitor's descriptor: readable when a change arrived.
    int Descriptor() const;
    // The matching nodes present and initialised now.
    std::vector<Node> Enumerate();
    // One change from the monitor: a matching node added, or any event node
    // removed; none when nothing (relevant) is pending.
    std::optional<Change> Receive();

private:
    std::optional<Node> Match(udev_device* device);
    void HintOtherVendor(udev_device* eventNode, const std::string& usbSyspath,
                         std::uint32_t vendorId, std::uint32_t productId);

    udev* fUdev = nullptr;
    // Event node -> USB device, for the devices already hinted at.
    std::map<std::string, std::string> fHinted;
    udev_monitor* fMonitor = nullptr;
};

}  // namespace platform
