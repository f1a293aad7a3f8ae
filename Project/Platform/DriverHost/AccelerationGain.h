#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// The pointer and scroll accelerations the agent sets, applied by the host as
// a plain gain on forwarded deltas so that every desktop honours them.
//
// The curve is a straight line through the agent's sensitivity table:
//   gain = 1/4 + 6/7 * acceleration
// The default setting (acceleration 0.875) forwards deltas unchanged, the
// slowest (0.0) moves at a quarter speed rather than not at all, the fastest
// (3.0) at about 2.8 times. Accelerations outside 0 to 3 count as the nearest
// end; anything not a finite number is refused.
std::optional<double> GainForAcceleration(double acceleration);

// The two gains of one host: written by the bus side, read on the event path
// with single relaxed loads.
class AccelerationGains {
public:
    enum class Axis { Pointer, Scroll };

    // Refuses (false) an unknown key or an unusable value, changing nothing.
    bool Set(std::string_view key, double acceleration);
    double Get(Axis axis) const {
        return (axis == Axis::Pointer ? fPointer : fScroll).load(std::memory_order_relaxed);
    }

private:
    std::atomic<double> fPointer{1.0};
    std::atomic<double> fScroll{1.0};
};

// One axis of forwarded deltas: scales each delta by the gain and keeps the
// fraction that does not make a whole unit for the next delta, so that slow
// movements are not lost and the sum stays exact over time.
class GainedAxis {
public:
    std::int32_t Apply(std::int32_t delta, double gain);
    void Reset() { fRemainder = 0.0; }

private:
    double fRemainder = 0.0;
};

// Whole wheel notches out of high-resolution scroll units (120 per notch),
// the remainder kept for the next units.
class NotchCounter {
public:
    static constexpr std::int32_t kUnitsPerNotch = 120;
    std::int32_t Add(std::int32_t units);

private:
    std::int64_t fUnits = 0;
};

}  // namespace platform
