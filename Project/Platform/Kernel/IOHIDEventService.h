#pragma once

#include <cstdint>

#include "IOService.h"
#include "IOTypes.h"

class IOHIDEventService;

// One event as the system receives it from a HID event service. Fields that
// do not belong to the event's kind are 0 (bounds: null).
struct IOHIDSystemEvent {
    enum class Kind { RelativePointer, AbsolutePointer, ScrollWheel };

    Kind kind = Kind::RelativePointer;
    UnsignedWide timestamp;
    // Relative pointer motion.
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    // Absolute pointer position and pen data; bounds is the caller's pointer,
    // valid only during the delivery.
    std::int32_t x = 0;
    std::int32_t y = 0;
    const IOGBounds* bounds = nullptr;
    bool inRange = false;
    std::int32_t tipPressure = 0;
    std::int32_t tipPressureMin = 0;
    std::int32_t tipPressureMax = 0;
    // Both pointer kinds.
    std::uint32_t buttonState = 0;
    // Scroll wheel; axis 1 is the vertical wheel.
    std::int32_t deltaAxis1 = 0;
    std::int32_t deltaAxis2 = 0;
    std::int32_t deltaAxis3 = 0;
    IOOptionBits options = 0;
};

// "The system": where a HID event service delivers its events. Supplied by
// whoever hosts the service (the simulation records an event log, the Linux
// host writes a virtual pointer). Called on the event path: implementations
// must not block and should not allocate.
class IOHIDEventSink {
public:
    virtual ~IOHIDEventSink() = default;
    virtual void deliverEvent(IOHIDEventService& sender, const IOHIDSystemEvent& event) = 0;
};

// A service that turns a HID device's reports into system events. The
// dispatch operations deliver one event each to the installed sink (to none
// when no sink is installed); subclasses override them to filter the events.
class IOHIDEventService : public IOService {
    OSDeclareDefaultStructors(IOHIDEventService);

public:
    IOHIDEventService() = default;

    // The sink is not owned; it must outlive its use by the service.
    void setEventSink(IOHIDEventSink* sink) { fEventSink = sink; }
    IOHIDEventSink* getEventSink() const { return fEventSink; }

    virtual void dispatchRelativePointerEvent(UnsignedWide timestamp, std::int32_t dx,
                                              std::int32_t dy, std::uint32_t buttonState,
                                              IOOptionBits options = 0);
    virtual void dispatchAbsolutePointerEvent(UnsignedWide timestamp, std::int32_t x,
                                              std::int32_t y, IOGBounds* bounds,
                                              std::uint32_t buttonState, bool inRange,
                                              std::int32_t tipPressure, std::int32_t tipPressureMin,
                                              std::int32_t tipPressureMax,
                                              IOOptionBits options = 0);
    virtual void dispatchScrollWheelEvent(UnsignedWide timestamp, std::int32_t deltaAxis1,
                                          std::int32_t deltaAxis2, std::int32_t deltaAxis3,
                                          IOOptionBits options = 0);

private:
    void deliver(const IOHIDSystemEvent& event);

    IOHIDEventSink* fEventSink = nullptr;
};
