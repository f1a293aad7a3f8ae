#pragma once

#include <functional>

#include "KeyEventFilter.h"

namespace platform {

// A tap: its mask, callback and enabled state, and the run loop source
// through which its callback runs. Backends decide which events reach it.
class EventTap {
public:
    EventTap(CGEventTapOptions options, CGEventMask mask, CGEventTapCallBack callback,
             void* userInfo);
    ~EventTap();
    EventTap(const EventTap&) = delete;
    EventTap& operator=(const EventTap&) = delete;

    bool Wants(CGEventType type) const;
    bool IsListenOnly() const { return fOptions == kCGEventTapOptionListenOnly; }
    bool IsEnabled() const { return fEnabled && fValid; }
    void SetEnabled(bool enabled);
    bool IsValid() const { return fValid; }
    void Invalidate();
    // Told when the tap stops taking events (disabled, invalidated, freed).
    void SetStoppedObserver(std::function<void()> observer) {
        fStoppedObserver = std::move(observer);
    }

    // Runs the callback now (from the run loop): returns the event to pass on.
    CGEventRef Call(CGEventType type, CGEventRef event);
    const CFRunLoopSourceRef& Source() const { return fSource; }

private:
    CGEventTapOptions fOptions;
    CGEventMask fMask;
    CGEventTapCallBack fCallback;
    void* fUserInfo;
    CFRunLoopSourceRef fSource;
    std::function<void()> fStoppedObserver;
    bool fEnabled = true;
    bool fValid = true;
};

}  // namespace platform
