#pragma once

#include <memory>
#include <string>

struct libevdev_uinput;

namespace platform {

// The host's own virtual devices, marked so that discovery never takes them
// for mice: bus BUS_VIRTUAL, the host's ids, and phys beginning with kPhysPrefix.
inline constexpr const char* kVirtualPhysPrefix = "halvorin-driverd/";

// A device the host writes to: a uinput virtual device, or a socket in tests.
class VirtualDevice {
public:
    virtual ~VirtualDevice() = default;
    virtual int Descriptor() const = 0;
};

class UinputDevice final : public VirtualDevice {
public:
    enum class Kind {
        Pointer,   // relative motion, both wheels with hi-res twins, five buttons
        Keyboard,  // every key plus left, right and middle button for posted clicks
    };

    // Creates the device through /dev/uinput; null (errno set) when that fails.
    static std::unique_ptr<UinputDevice> Create(Kind kind, const std::string& name,
                                                const std::string& physSuffix);
    ~UinputDevice() override;
    UinputDevice(const UinputDevice&) = delete;
    UinputDevice& operator=(const UinputDevice&) = delete;

    // Where the device's events are written.
    int Descriptor() const override;

private:
    UinputDevice(libevdev_uinput* device, int node) : fDevice(device), fNode(node) {}
    libevdev_uinput* fDevice;
    int fNode;  // /dev/uinput, opened here so that the phys could be set on it
};

}  // namespace platform
