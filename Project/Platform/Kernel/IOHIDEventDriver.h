#pragma once

#include "IOHIDEventService.h"
#include "IOTypes.h"
#include "OSDictionary.h"

// The generic HID event driver: the class a device-specific driver derives
// from. Its host parses the device's reports and calls the dispatch
// operations inherited from IOHIDEventService.
class IOHIDEventDriver : public IOHIDEventService {
    OSDeclareDefaultStructors(IOHIDEventDriver);

public:
    IOHIDEventDriver() = default;

    bool init(OSDictionary* dictionary = nullptr) override;
    IOReturn setProperties(OSObject* properties) override;
};
