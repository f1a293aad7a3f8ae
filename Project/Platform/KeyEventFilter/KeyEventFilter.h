#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "RunLoop.h"
#include "VirtualKeyCodes.h"

namespace platform {

using CGEventType = std::uint32_t;
using CGEventMask = std::uint64_t;
using CGEventFlags = std::uint64_t;
using CGKeyCode = std::uint16_t;
using CFIndex = long;

inline constexpr CGEventType kCGEventKeyDown = 10;
inline constexpr CGEventType kCGEventKeyUp = 11;
inline constexpr CGEventType kCGEventFlagsChanged = 12;
// Notices passed to the callback instead of an event.
inline constexpr CGEventType kCGEventTapDisabledByTimeout = 0xFFFFFFFE;
inline constexpr CGEventType kCGEventTapDisabledByUserInput = 0xFFFFFFFF;

constexpr CGEventMask CGEventMaskBit(CGEventType type) {
    return CGEventMask{1} << type;
}

inline constexpr CGEventFlags kCGEventFlagMaskShift = kModifierFlagShift;
inline constexpr CGEventFlags kCGEventFlagMaskControl = kModifierFlagControl;
inline constexpr CGEventFlags kCGEventFlagMaskAlternate = kModifierFlagOption;
inline constexpr CGEventFlags kCGEventFlagMaskCommand = kModifierFlagCommand;

enum CGEventTapLocation {
    kCGHIDEventTap = 0,
    kCGSessionEventTap = 1,
    kCGAnnotatedSessionEventTap = 2
};
enum CGEventTapPlacement { kCGHeadInsertEventTap = 0, kCGTailAppendEventTap = 1 };
enum CGEventTapOptions { kCGEventTapOptionDefault = 0, kCGEventTapOptionListenOnly = 1 };

// A key event passing through the taps.
struct CGEvent {
    CGEventType type = 0;
    CGKeyCode keyCode = 0;
    CGEventFlags flags = 0;
};
using CGEventRef = CGEvent*;
using CGEventTapProxy = void*;
// Returns the event to pass on (possibly changed), or null to drop it.
using CGEventTapCallBack = CGEventRef (*)(CGEventTapProxy proxy, CGEventType type, CGEventRef event,
                                          void* userInfo);

inline constexpr int kCGKeyboardEventKeycode = 9;

class EventTap;
// Releasing the tap is dropping the last reference; it then sees nothing.
using CFMachPortRef = std::shared_ptr<EventTap>;

// Creates a tap on key events of the session; null when the platform refuses
// (no permission). The tap starts enabled but its callback runs only once its
// run loop source is added to a run loop.
CFMachPortRef CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo);
CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef allocator, const CFMachPortRef& tap,
                                                 CFIndex order);
void CGEventTapEnable(const CFMachPortRef& tap, bool enable);
bool CGEventTapIsEnabled(const CFMachPortRef& tap);
// Ends the tap for good (its source stops too).
void CFMachPortInvalidate(const CFMachPortRef& tap);

CGEventFlags CGEventGetFlags(CGEventRef event);
void CGEventSetFlags(CGEventRef event, CGEventFlags flags);
CGEventType CGEventGetType(CGEventRef event);
std::int64_t CGEventGetIntegerValueField(CGEventRef event, int field);

struct CGPoint {
    double x = 0.0;
    double y = 0.0;
};
struct CGSize {
    double width = 0.0;
    double height = 0.0;
};
struct CGRect {
    CGPoint origin;
    CGSize size;
};

// [NSEvent mouseLocation]: the pointer, origin at the bottom left.
CGPoint NSEventMouseLocation();
// [[NSScreen mainScreen] frame]; none without a main screen.
std::optional<CGRect> NSScreenMainScreenFrame();

// Where taps are attached and where the pointer and screen are read.
class KeyEventFilterBackend {
public:
    virtual ~KeyEventFilterBackend() = default;
    virtual CFMachPortRef CreateTap(CGEventTapPlacement place, CGEventTapOptions options,
                                    CGEventMask mask, CGEventTapCallBack callback,
                                    void* userInfo) = 0;
    virtual CGPoint MouseLocation() const = 0;
    virtual std::optional<CGRect> MainScreenFrame() const = 0;
};

// Installs the backend; returns the previous one (none by default: taps
// cannot be created, the pointer is at (0, 0) and there is no screen).
std::unique_ptr<KeyEventFilterBackend> InstallKeyEventFilterBackend(
    std::unique_ptr<KeyEventFilterBackend> backend);

}  // namespace platform
