#pragma once

#include <cstdint>

#include "AccelerationGain.h"
#include "EventWriter.h"
#include "IOHIDEventService.h"

namespace platform {

// Where one driver instance delivers what the system sees: a virtual pointer
// with relative motion, both wheels (each written with its high-resolution
// twin, 120 per notch) and five buttons. The host's accelerations apply as a
// gain with the fraction kept per axis. Runs on the event path:
// allocation-free, lock-free.
class VirtualPointer final : public IOHIDEventSink {
public:
    // Forwarded system buttons: left, right, middle, side, extra.
    static constexpr int kButtonCount = 5;

    VirtualPointer(int descriptor, const AccelerationGains& gains)
        : fWriter(descriptor), fGains(gains) {}

    void deliverEvent(IOHIDEventService& sender, const IOHIDSystemEvent& event) override;
    // Lets go of every button still held (the instance ends).
    void ReleaseButtons();

private:
    void Scroll(std::int32_t notches, std::uint16_t code, std::uint16_t hiResCode, GainedAxis& axis,
                NotchCounter& counter, double gain);

    EventWriter fWriter;
    const AccelerationGains& fGains;
    std::uint32_t fButtons = 0;
    GainedAxis fX, fY, fWheel, fHWheel;
    NotchCounter fWheelNotches, fHWheelNotches;
};

}  // namespace platform
