#include "SimulatedHIDSystem.h"

namespace platform {

IOReturn SimulatedHIDSystem::PostEvent(const HIDPostedEvent& event) {
    Record(event);
    return kIOReturnSuccess;
}

IOReturn SimulatedHIDSystem::SetAcceleration(std::string_view key, double acceleration) {
    Record(HIDAcceleration{std::string(key), acceleration});
    return kIOReturnSuccess;
}

void SimulatedHIDSystem::Record(HIDSystemRecord record) {
    fRecords.push_back(std::move(record));
    if (fObserver) {
        fObserver(fRecords.back());
    }
}

std::vector<HIDPostedEvent> SimulatedHIDSystem::PostedEvents() const {
    std::vector<HIDPostedEvent> events;
    for (const HIDSystemRecord& record : fRecords) {
        if (const auto* event = std::get_if<HIDPostedEvent>(&record)) {
            events.push_back(*event);
        }
    }
    return events;
}

std::vector<HIDAcceleration> SimulatedHIDSystem::Accelerations() const {
    std::vector<HIDAcceleration> accelerations;
    for (const HIDSystemRecord& record : fRecords) {
        if (const auto* acceleration = std::get_if<HIDAcceleration>(&record)) {
            accelerations.push_back(*acceleration);
        }
    }
    return accelerations;
}

double SimulatedHIDSystem::Acceleration(std::string_view key) const {
    double value = 0.0;
    for (const HIDAcceleration& acceleration : Accelerations()) {
        if (acceleration.key == key) {
            value = acceleration.value;
        }
    }
    return value;
}

}  // namespace platform
