#include "EventTap.h"

#include "AgentConstants.h"
#include "AgentState.h"

void InstallEventTap(std::uint32_t flags) {
    sEventFlags |= flags & kHeldModifierMask;
    if (sEventTap) {
        return;
    }
    sEventTap =
        platform::CGEventTapCreate(platform::kCGSessionEventTap, platform::kCGTailAppendEventTap,
                                   platform::kCGEventTapOptionDefault,
                                   platform::CGEventMaskBit(platform::kCGEventKeyDown) |
                                       platform::CGEventMaskBit(platform::kCGEventKeyUp),
                                   myCGEventCallback, nullptr);
    if (!sEventTap) {
        return;
    }
    sRunLoopSource =
        platform::CFMachPortCreateRunLoopSource(platform::kCFAllocatorDefault, sEventTap, 0);
    platform::CFRunLoopAddSource(platform::CFRunLoopGetCurrent(), sRunLoopSource,
                                 platform::kCFRunLoopCommonModes);
    platform::CGEventTapEnable(sEventTap, true);
}

void RemoveEventTap() {
    sEventFlags = 0;
    if (sRunLoopSource) {
        platform::CFRunLoopRemoveSource(platform::CFRunLoopGetCurrent(), sRunLoopSource,
                                        platform::kCFRunLoopCommonModes);
        sRunLoopSource.reset();
    }
    if (sEventTap) {
        platform::CGEventTapEnable(sEventTap, false);
        sEventTap.reset();
    }
}

platform::CGEventRef myCGEventCallback(platform::CGEventTapProxy /*proxy*/,
                                       platform::CGEventType type, platform::CGEventRef event,
                                       void* /*userInfo*/) {
    // The platform switches a slow filter off; while a modifier button is
    // held the filter must go on stamping, so it is switched on again.
    if (type == platform::kCGEventTapDisabledByTimeout ||
        type == platform::kCGEventTapDisabledByUserInput) {
        if (sEventFlags != 0 && sEventTap) {
            platform::CGEventTapEnable(sEventTap, true);
        }
        return event;
    }
    if (type == platform::kCGEventKeyDown && sEventFlags != 0) {
        platform::CGEventSetFlags(event, sEventFlags);
    }
    return event;
}
