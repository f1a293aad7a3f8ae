#include "DriverHostHIDSystem.h"

#include <algorithm>
#include <string>

#include "DriverHostRegistry.h"
#include "Logging.h"

namespace platform {
namespace {

constexpr const char* kHIDSystemPath = "/org/halvorin/Driver1/HIDSystem";
constexpr const char* kHIDSystemInterface = "org.halvorin.Driver1.HIDSystem";

IOReturn StatusOfReply(BusConnection& bus, sd_bus_message* request) {
    std::string error;
    BusMessage reply = bus.Call(request, &error);
    if (!reply) {
        return StatusOfBusError(error);
    }
    const auto status = ReadBasic<std::int32_t>(reply.get(), 'i');
    return status ? static_cast<IOReturn>(*status) : kIOReturnError;
}

}  // namespace

DriverHostHIDSystem::~DriverHostHIDSystem() {
    CFRunLoopTimerInvalidate(fTimer);
}

IOReturn DriverHostHIDSystem::PostEvent(const HIDPostedEvent& event) {
    Refill();
    if (fQueue.empty() && fTokens >= 1.0) {
        fTokens -= 1.0;
        return Send(event);
    }
    fQueue.push_back(event);
    if (!fTimer || !fTimer->IsValid()) {
        fTimer =
            CFRunLoopTimerCreate(CFAbsoluteTimeGetCurrent() + kInterval, kInterval,
                                 [this](const CFRunLoopTimerRef& timer) { SendQueued(timer); });
        CFRunLoopAddTimer(CFRunLoopGetCurrent(), fTimer, kCFRunLoopCommonModes);
    }
    return kIOReturnSuccess;
}

void DriverHostHIDSystem::Refill() {
    const CFAbsoluteTime now = CFAbsoluteTimeGetCurrent();
    fTokens = std::min<double>(kBurst, fTokens + (now - fRefilledAt) / kInterval);
    fRefilledAt = now;
}

void DriverHostHIDSystem::SendQueued(const CFRunLoopTimerRef& timer) {
    if (!fQueue.empty()) {
        const HIDPostedEvent event = fQueue.front();
        fQueue.pop_front();
        Send(event);
    }
    if (fQueue.empty()) {
        CFRunLoopTimerInvalidate(timer);
        // The burst builds up again only once the queue is gone.
        fTokens = 0.0;
        fRefilledAt = CFAbsoluteTimeGetCurrent();
    }
}

void DriverHostHIDSystem::Flush() {
    while (!fQueue.empty()) {
        const HIDPostedEvent event = fQueue.front();
        fQueue.pop_front();
        Send(event);
    }
    CFRunLoopTimerInvalidate(fTimer);
}

IOReturn DriverHostHIDSystem::Send(const HIDPostedEvent& event) {
    BusMessage request =
        fBus.NewCall(kDriverHostBusName, kHIDSystemPath, kHIDSystemInterface, "PostEvent");
    if (!request ||
        sd_bus_message_append(request.get(), "unnqiuu", event.eventType, event.location.x,
                              event.location.y, event.eventData.key.keyCode,
                              event.eventData.mouse.click, event.eventFlags, event.options) < 0) {
        return kIOReturnNoMemory;
    }
    // The answer may come after this backend is gone: it is read without it.
    if (sd_bus_call_async(fBus.Get(), nullptr, request.get(), &DriverHostHIDSystem::Answered,
                          nullptr, 0) < 0) {
        return kIOReturnNotAttached;
    }
    sd_bus_flush(fBus.Get());
    return kIOReturnSuccess;
}

int DriverHostHIDSystem::Answered(sd_bus_message* reply, void*, sd_bus_error*) {
    // The program's refusals so far in this burst, and the last one's name.
    struct Burst {
        std::uint64_t count = 0;
        std::string error;
    };
    static Burst burst;
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    if (error == nullptr) {
        return 0;
    }
    burst.error = error->name != nullptr ? error->name : "unknown error";
    if (burst.count++ == 0) {
        PerformAfterDelay(kRefusalBurst, [] {
            SystemLog("The driver host refused " + std::to_string(burst.count) +
                      (burst.count == 1 ? " posted event: " : " posted events: ") + burst.error);
            burst.count = 0;
        });
    }
    return 0;
}

IOReturn DriverHostHIDSystem::SetAcceleration(std::string_view key, double acceleration) {
    BusMessage request =
        fBus.NewCall(kDriverHostBusName, kHIDSystemPath, kHIDSystemInterface, "SetAcceleration");
    const std::string name(key);
    if (!request || sd_bus_message_append(request.get(), "sd", name.c_str(), acceleration) < 0) {
        return kIOReturnNoMemory;
    }
    return StatusOfReply(fBus, request.get());
}

}  // namespace platform
