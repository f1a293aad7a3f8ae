#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "HIDSystem.h"

namespace platform {

struct HIDAcceleration {
    std::string key;
    double value = 0.0;
    bool operator==(const HIDAcceleration&) const = default;
};
using HIDSystemRecord = std::variant<HIDPostedEvent, HIDAcceleration>;

// Records every posted event and acceleration in order, and tells the
// observer (the simulated machine feeds the events into its event stream).
class SimulatedHIDSystem final : public HIDSystemBackend {
public:
    IOReturn PostEvent(const HIDPostedEvent& event) override;
    IOReturn SetAcceleration(std::string_view key, double acceleration) override;

    const std::vector<HIDSystemRecord>& Records() const { return fRecords; }
    std::vector<HIDPostedEvent> PostedEvents() const;
    std::vector<HIDAcceleration> Accelerations() const;
    // The last value set for the key, 0.0 when never set.
    double Acceleration(std::string_view key) const;
    void Clear() { fRecords.clear(); }
    void SetObserver(std::function<void(const HIDSystemRecord&)> observer) {
        fObserver = std::move(observer);
    }

private:
    void Record(HIDSystemRecord record);

    std::vector<HIDSystemRecord> fRecords;
    std::function<void(const HIDSystemRecord&)> fObserver;
};

}  // namespace platform
