#include "AccelerationGain.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "HIDSystem.h"

namespace platform {

std::optional<double> GainForAcceleration(double acceleration) {
    if (!std::isfinite(acceleration)) {
        return std::nullopt;
    }
    return 0.25 + 6.0 / 7.0 * std::clamp(acceleration, 0.0, 3.0);
}

bool AccelerationGains::Set(std::string_view key, double acceleration) {
    const std::optional<double> gain = GainForAcceleration(acceleration);
    if (!gain) {
        return false;
    }
    if (key == kIOHIDMouseAccelerationType) {
        fPointer.store(*gain, std::memory_order_relaxed);
    } else if (key == kIOHIDMouseScrollAccelerationType) {
        fScroll.store(*gain, std::memory_order_relaxed);
    } else {
        return false;
    }
    return true;
}

std::int32_t GainedAxis::Apply(std::int32_t delta, double gain) {
    const double exact = delta * gain + fRemainder;
    constexpr double kLimit = std::numeric_limits<std::int32_t>::max();
    const double whole = std::clamp(std::trunc(exact), -kLimit, kLimit);
    // A saturated delta leaves no remainder worth carrying.
    fRemainder = std::abs(whole) == kLimit ? 0.0 : exact - whole;
    return static_cast<std::int32_t>(whole);
}

std::int32_t NotchCounter::Add(std::int32_t units) {
    fUnits += units;
    const std::int64_t notches = fUnits / kUnitsPerNotch;
    fUnits -= notches * kUnitsPerNotch;
    return static_cast<std::int32_t>(notches);
}

}  // namespace platform
