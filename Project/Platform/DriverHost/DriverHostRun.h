#pragma once

#include "MouseHost.h"
#include "UinputDevice.h"

namespace platform {

// Where the host writes: the virtual keyboard for posted events, and the
// maker of each instance's virtual pointer (uinput, or sockets in tests).
struct DriverHostDevices {
    VirtualDevice& keyboard;
    VirtualPointerFactory pointers;
};

// The whole host: loads the driver, serves the mice on the event thread and
// the system bus on the calling thread until SIGTERM or SIGINT. The process's
// exit status.
int RunDriverHost(const DriverHostDevices& devices);

}  // namespace platform
