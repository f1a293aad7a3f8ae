#pragma once

#include <memory>
#include <string>

struct libevdev;

namespace platform {

class DriverInstance;

// One evdev node of a mouse, read through libevdev. It is opened ungrabbed;
// the host grabs it once no button is down, so that a press begun before the
// host took over ends where it began.
class MouseNode {
public:
    // Null when the node cannot be opened or is no relative pointer with a
    // left button.
    static std::unique_ptr<MouseNode> Open(const std::string& path);
    ~MouseNode();
    MouseNode(const MouseNode&) = delete;
    MouseNode& operator=(const MouseNode&) = delete;

    int Descriptor() const { return fDescriptor; }
    bool IsGrabbed() const { return fGrabbed; }
    bool AnyButtonDown() const;
    // Takes the node for the host alone; retries while another holder lets
    // go (EBUSY) a few times. False when it stays taken.
    bool Grab();

    // Reads what is pending: into the instance when given, else only into
    // libevdev's view of the device (while waiting to grab). After a
    // SYN_DROPPED the device's state is read back and delivered as a frame.
    // False when the device is gone or reading failed.
    bool Read(DriverInstance* instance);

private:
    MouseNode(int descriptor, libevdev* device) : fDescriptor(descriptor), fDevice(device) {}

    int fDescriptor;
    libevdev* fDevice;
    bool fGrabbed = false;
};

}  // namespace platform
