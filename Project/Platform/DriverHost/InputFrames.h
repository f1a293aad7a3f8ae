#pragma once

#include <linux/input.h>

#include <cstdint>

class IOHIDEventService;

namespace platform {

// Turns a mouse's evdev events into the dispatch calls of a HID event
// service, one SYN_REPORT frame at a time: relative motion with the button
// state (evdev button BTN_MOUSE + n is bit n), then scroll from whole wheel
// notches (the high-resolution twins are ignored). After SYN_DROPPED the
// rest of the torn frame is thrown away, as the kernel asks.
// Allocation-free; one per device.
class InputFrames {
public:
    explicit InputFrames(IOHIDEventService& service) : fService(service) {}

    void Feed(const input_event& event);
    // The buttons held as of the last complete frame.
    std::uint32_t ButtonState() const { return fButtons; }
    // Tells the service every button is up, if one was down (the device went away).
    void ReleaseButtons();

private:
    void Dispatch(const input_event& report);

    IOHIDEventService& fService;
    std::uint32_t fButtons = 0;
    std::uint32_t fPendingButtons = 0;
    std::int32_t fDx = 0;
    std::int32_t fDy = 0;
    std::int32_t fWheel = 0;
    std::int32_t fHWheel = 0;
    bool fDropping = false;
};

}  // namespace platform
