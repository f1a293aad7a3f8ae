#include "VirtualPointer.h"

#include <linux/input.h>

namespace platform {

void VirtualPointer::deliverEvent(IOHIDEventService&, const IOHIDSystemEvent& event) {
    if (event.kind == IOHIDSystemEvent::Kind::RelativePointer) {
        const double gain = fGains.Get(AccelerationGains::Axis::Pointer);
        const std::uint32_t buttons = event.buttonState & ((1U << kButtonCount) - 1);
        fWriter.AddKeyChanges(BTN_LEFT, fButtons, buttons);
        fButtons = buttons;
        if (const std::int32_t dx = fX.Apply(event.dx, gain); dx != 0) {
            fWriter.Add(EV_REL, REL_X, dx);
        }
        if (const std::int32_t dy = fY.Apply(event.dy, gain); dy != 0) {
            fWriter.Add(EV_REL, REL_Y, dy);
        }
    } else if (event.kind == IOHIDSystemEvent::Kind::ScrollWheel) {
        const double gain = fGains.Get(AccelerationGains::Axis::Scroll);
        Scroll(event.deltaAxis1, REL_WHEEL, REL_WHEEL_HI_RES, fWheel, fWheelNotches, gain);
        Scroll(event.deltaAxis2, REL_HWHEEL, REL_HWHEEL_HI_RES, fHWheel, fHWheelNotches, gain);
    }
    fWriter.Flush();
}

void VirtualPointer::Scroll(std::int32_t notches, std::uint16_t code, std::uint16_t hiResCode,
                            GainedAxis& axis, NotchCounter& counter, double gain) {
    if (notches == 0) {
        return;
    }
    const std::int32_t units = axis.Apply(notches, gain * NotchCounter::kUnitsPerNotch);
    if (units == 0) {
        return;
    }
    fWriter.Add(EV_REL, hiResCode, units);
    if (const std::int32_t whole = counter.Add(units); whole != 0) {
        fWriter.Add(EV_REL, code, whole);
    }
}

void VirtualPointer::ReleaseButtons() {
    fWriter.AddKeyChanges(BTN_LEFT, fButtons, 0);
    fButtons = 0;
    fWriter.Flush();
}

}  // namespace platform
