#include "MouseNode.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "DriverInstance.h"

namespace platform {

std::unique_ptr<MouseNode> MouseNode::Open(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    libevdev* device = nullptr;
    if (libevdev_new_from_fd(descriptor, &device) != 0) {
        close(descriptor);
        return nullptr;
    }
    if (!libevdev_has_event_code(device, EV_REL, REL_X) ||
        !libevdev_has_event_code(device, EV_KEY, BTN_LEFT)) {
        libevdev_free(device);
        close(descriptor);
        return nullptr;
    }
    return std::unique_ptr<MouseNode>(new MouseNode(descriptor, device));
}

MouseNode::~MouseNode() {
    if (fGrabbed) {
        libevdev_grab(fDevice, LIBEVDEV_UNGRAB);
    }
    libevdev_free(fDevice);
    close(fDescriptor);
}

bool MouseNode::AnyButtonDown() const {
    for (unsigned code = BTN_MOUSE; code < BTN_JOYSTICK; ++code) {
        if (libevdev_get_event_value(fDevice, EV_KEY, code) != 0) {
            return true;
        }
    }
    return false;
}

bool MouseNode::Grab() {
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int status = libevdev_grab(fDevice, LIBEVDEV_GRAB);
        if (status == 0) {
            fGrabbed = true;
            return true;
        }
        if (status != -EBUSY) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool MouseNode::Read(DriverInstance* instance) {
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event event;
        const int status = libevdev_next_event(fDevice, flags, &event);
        if (status == LIBEVDEV_READ_STATUS_SYNC && flags == LIBEVDEV_READ_FLAG_NORMAL) {
            // The kernel dropped events: the torn frame is thrown away (the
            // SYN_DROPPED closed by an empty report), and what follows until
            // -EAGAIN is the difference to the device's real state, closed by
            // its own SYN_REPORT.
            flags = LIBEVDEV_READ_FLAG_SYNC;
            if (instance != nullptr) {
                instance->Feed(event);
                event.code = SYN_REPORT;
                instance->Feed(event);
            }
            continue;
        } else if (status == -EAGAIN) {
            if (flags == LIBEVDEV_READ_FLAG_NORMAL) {
                return true;
            }
            flags = LIBEVDEV_READ_FLAG_NORMAL;
            continue;
        } else if (status < 0) {
            return false;
        }
        if (instance != nullptr) {
            instance->Feed(event);
        }
    }
}

}  // namespace platform
