#include "SimulatedPower.h"

#include <algorithm>

namespace platform {

bool SimulatedPower::Register(Sink sink) {
    if (fRefused || fSink) {
        return false;
    }
    fSink = std::move(sink);
    return true;
}

void SimulatedPower::Deregister() {
    fSink = nullptr;
}

IOReturn SimulatedPower::AllowPowerChange(std::intptr_t notificationID) {
    auto found = std::find_if(fMessages.begin(), fMessages.end(),
                              [&](const Message& m) { return m.notificationID == notificationID; });
    if (found == fMessages.end()) {
        return kIOReturnBadArgument;
    }
    found->acknowledged = true;
    if (fObserver) {
        fObserver(*found);
    }
    return kIOReturnSuccess;
}

void SimulatedPower::Sleep() {
    Send(kIOMessageSystemWillSleep);
}

void SimulatedPower::Wake() {
    Send(kIOMessageSystemWillPowerOn);
    Send(kIOMessageSystemHasPoweredOn);
}

std::intptr_t SimulatedPower::Send(natural_t messageType) {
    std::intptr_t id = fNextId++;
    if (fSink) {
        fMessages.push_back({messageType, id, false});
        if (fObserver) {
            fObserver(fMessages.back());
        }
        fSink(messageType, id);
    }
    return id;
}

bool SimulatedPower::AllAcknowledged() const {
    return std::all_of(fMessages.begin(), fMessages.end(),
                       [](const Message& m) { return m.acknowledged; });
}

}  // namespace platform
