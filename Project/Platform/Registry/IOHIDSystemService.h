#pragma once

#include "IOService.h"

// The kernel's HID system service, which user space opens a parameter
// connection to; the simulated machine registers one.
class IOHIDSystem : public IOService {
    OSDeclareDefaultStructors(IOHIDSystem);

public:
    IOHIDSystem() = default;
};
