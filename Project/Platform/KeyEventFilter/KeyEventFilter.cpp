#include "KeyEventFilter.h"

#include <utility>

#include "EventTapPort.h"

namespace platform {
namespace {

std::unique_ptr<KeyEventFilterBackend>& Backend() {
    static std::unique_ptr<KeyEventFilterBackend> backend;
    return backend;
}

}  // namespace

CFMachPortRef CGEventTapCreate(CGEventTapLocation, CGEventTapPlacement place,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo) {
    if (!Backend() || callback == nullptr) {
        return nullptr;
    }
    return Backend()->CreateTap(place, options, eventsOfInterest, callback, userInfo);
}

CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef, const CFMachPortRef& tap,
                                                 CFIndex) {
    return tap && tap->IsValid() ? tap->Source() : nullptr;
}

void CGEventTapEnable(const CFMachPortRef& tap, bool enable) {
    if (tap) {
        tap->SetEnabled(enable);
    }
}

bool CGEventTapIsEnabled(const CFMachPortRef& tap) {
    return tap && tap->IsEnabled();
}

void CFMachPortInvalidate(const CFMachPortRef& tap) {
    if (tap) {
        tap->Invalidate();
    }
}

CGEventFlags CGEventGetFlags(CGEventRef event) {
    return event == nullptr ? 0 : event->flags;
}

void CGEventSetFlags(CGEventRef event, CGEventFlags flags) {
    if (event != nullptr) {
        event->flags = flags;
    }
}

CGEventType CGEventGetType(CGEventRef event) {
    return event == nullptr ? 0 : event->type;
}

std::int64_t CGEventGetIntegerValueField(CGEventRef event, int field) {
    return event != nullptr && field == kCGKeyboardEventKeycode ? event->keyCode : 0;
}

CGPoint NSEventMouseLocation() {
    return Backend() ? Backend()->MouseLocation() : CGPoint{};
}

std::optional<CGRect> NSScreenMainScreenFrame() {
    return Backend() ? Backend()->MainScreenFrame() : std::nullopt;
}

std::unique_ptr<KeyEventFilterBackend> InstallKeyEventFilterBackend(
    std::unique_ptr<KeyEventFilterBackend> backend) {
    return std::exchange(Backend(), std::move(backend));
}

}  // namespace platform
