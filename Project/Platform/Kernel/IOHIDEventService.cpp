#include "IOHIDEventService.h"

#include "IOHIDEventDriver.h"

OSDefineMetaClassAndStructors(IOHIDEventService, IOService);
OSDefineMetaClassAndStructors(IOHIDEventDriver, IOHIDEventService);

void IOHIDEventService::deliver(const IOHIDSystemEvent& event) {
    if (fEventSink != nullptr) {
        fEventSink->deliverEvent(*this, event);
    }
}

void IOHIDEventService::dispatchRelativePointerEvent(UnsignedWide timestamp, std::int32_t dx,
                                                     std::int32_t dy, std::uint32_t buttonState,
                                                     IOOptionBits options) {
    IOHIDSystemEvent event;
    event.kind = IOHIDSystemEvent::Kind::RelativePointer;
    event.timestamp = timestamp;
    event.dx = dx;
    event.dy = dy;
    event.buttonState = buttonState;
    event.options = options;
    deliver(event);
}

void IOHIDEventService::dispatchAbsolutePointerEvent(
    UnsignedWide timestamp, std::int32_t x, std::int32_t y, IOGBounds* bounds,
    std::uint32_t buttonState, bool inRange, std::int32_t tipPressure, std::int32_t tipPressureMin,
    std::int32_t tipPressureMax, IOOptionBits options) {
    IOHIDSystemEvent event;
    event.kind = IOHIDSystemEvent::Kind::AbsolutePointer;
    event.timestamp = timestamp;
    event.x = x;
    event.y = y;
    event.bounds = bounds;
    event.buttonState = buttonState;
    event.inRange = inRange;
    event.tipPressure = tipPressure;
    event.tipPressureMin = tipPressureMin;
    event.tipPressureMax = tipPressureMax;
    event.options = options;
    deliver(event);
}

void IOHIDEventService::dispatchScrollWheelEvent(UnsignedWide timestamp, std::int32_t deltaAxis1,
                                                 std::int32_t deltaAxis2, std::int32_t deltaAxis3,
                                                 IOOptionBits options) {
    IOHIDSystemEvent event;
    event.kind = IOHIDSystemEvent::Kind::ScrollWheel;
    event.timestamp = timestamp;
    event.deltaAxis1 = deltaAxis1;
    event.deltaAxis2 = deltaAxis2;
    event.deltaAxis3 = deltaAxis3;
    event.options = options;
    deliver(event);
}

bool IOHIDEventDriver::init(OSDictionary* dictionary) {
    return IOHIDEventService::init(dictionary);
}

IOReturn IOHIDEventDriver::setProperties(OSObject* properties) {
    return IOHIDEventService::setProperties(properties);
}
