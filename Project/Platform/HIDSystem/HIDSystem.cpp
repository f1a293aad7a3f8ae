#include "HIDSystem.h"

#include <utility>

#include "Handles.h"

namespace platform {
namespace {

std::unique_ptr<HIDSystemBackend>& Backend() {
    static std::unique_ptr<HIDSystemBackend> backend;
    return backend;
}

// The connection must be an open parameter connection; then the backend.
IOReturn CheckConnection(io_connect_t connect) {
    if (!LookupOpenConnection(connect, kIOHIDParamConnectType)) {
        return LookupUserObject(connect) ? kIOReturnNotOpen : MACH_SEND_INVALID_DEST;
    }
    return Backend() ? kIOReturnSuccess : kIOReturnNotAttached;
}

}  // namespace

kern_return_t IOHIDPostEvent(io_connect_t connect, std::uint32_t eventType, IOGPoint location,
                             const NXEventData* eventData, std::uint32_t eventDataVersion,
                             IOOptionBits eventFlags, IOOptionBits options) {
    if (IOReturn status = CheckConnection(connect); status != kIOReturnSuccess) {
        return status;
    }
    HIDPostedEvent event{eventType, location, {}, eventDataVersion, eventFlags, options};
    if (eventData != nullptr) {
        event.eventData = *eventData;
    }
    return Backend()->PostEvent(event);
}

kern_return_t IOHIDSetAccelerationWithKey(io_connect_t connect, std::string_view key,
                                          double acceleration) {
    if (IOReturn status = CheckConnection(connect); status != kIOReturnSuccess) {
        return status;
    }
    return Backend()->SetAcceleration(key, acceleration);
}

std::unique_ptr<HIDSystemBackend> InstallHIDSystemBackend(
    std::unique_ptr<HIDSystemBackend> backend) {
    return std::exchange(Backend(), std::move(backend));
}

}  // namespace platform
