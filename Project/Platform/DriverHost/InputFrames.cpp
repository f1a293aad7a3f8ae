#include "InputFrames.h"

#include "IOHIDEventService.h"

namespace platform {

namespace {

constexpr int kButtonCount = 32;

UnsignedWide Timestamp(const input_event& event) {
    const std::uint64_t nanoseconds =
        static_cast<std::uint64_t>(event.input_event_sec) * 1'000'000'000U +
        static_cast<std::uint64_t>(event.input_event_usec) * 1'000U;
    return {static_cast<std::uint32_t>(nanoseconds >> 32), static_cast<std::uint32_t>(nanoseconds)};
}

}  // namespace

void InputFrames::Feed(const input_event& event) {
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            fDropping = true;
        } else if (event.code == SYN_REPORT) {
            if (!fDropping) {
                Dispatch(event);
            }
            fDropping = false;
            fPendingButtons = fButtons;
            fDx = fDy = fWheel = fHWheel = 0;
        }
        return;
    }
    if (fDropping) {
        return;
    }
    if (event.type == EV_REL) {
        switch (event.code) {
            case REL_X:
                fDx += event.value;
                break;
            case REL_Y:
                fDy += event.value;
                break;
            case REL_WHEEL:
                fWheel += event.value;
                break;
            case REL_HWHEEL:
                fHWheel += event.value;
                break;
            default:
                break;
        }
    } else if (event.type == EV_KEY && event.code >= BTN_MOUSE &&
               event.code < BTN_MOUSE + kButtonCount) {
        const std::uint32_t bit = 1U << (event.code - BTN_MOUSE);
        fPendingButtons = event.value != 0 ? fPendingButtons | bit : fPendingButtons & ~bit;
    }
}

void InputFrames::Dispatch(const input_event& report) {
    const UnsignedWide timestamp = Timestamp(report);
    if (fDx != 0 || fDy != 0 || fPendingButtons != fButtons) {
        fButtons = fPendingButtons;
        fService.dispatchRelativePointerEvent(timestamp, fDx, fDy, fButtons);
    }
    if (fWheel != 0 || fHWheel != 0) {
        fService.dispatchScrollWheelEvent(timestamp, fWheel, fHWheel, 0);
    }
}

void InputFrames::ReleaseButtons() {
    if (fButtons != 0) {
        fButtons = fPendingButtons = 0;
        fService.dispatchRelativePointerEvent({}, 0, 0, 0);
    }
}

}  // namespace platform
