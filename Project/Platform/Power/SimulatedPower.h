#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "Power.h"

namespace platform {

// Power messages injected by the scenario; acknowledgements recorded.
class SimulatedPower final : public PowerBackend {
public:
    struct Message {
        natural_t messageType = 0;
        std::intptr_t notificationID = 0;
        bool acknowledged = false;
    };

    bool Register(Sink sink) override;
    void Deregister() override;
    IOReturn AllowPowerChange(std::intptr_t notificationID) override;

    // Sends kIOMessageSystemWillSleep.
    void Sleep();
    // Sends kIOMessageSystemWillPowerOn, then kIOMessageSystemHasPoweredOn.
    void Wake();
    // Sends any message; returns its notification id.
    std::intptr_t Send(natural_t messageType);

    void SetRegistrationRefused(bool refused) { fRefused = refused; }
    bool IsRegistered() const { return static_cast<bool>(fSink); }
    // Every message sent while registered, with whether it was acknowledged.
    const std::vector<Message>& Messages() const { return fMessages; }
    bool AllAcknowledged() const;
    // Told of every message sent to the registered program and of every
    // acknowledgement (the message then has `acknowledged` set).
    void SetObserver(std::function<void(const Message&)> observer) {
        fObserver = std::move(observer);
    }

private:
    Sink fSink;
    std::vector<Message> fMessages;
    std::function<void(const Message&)> fObserver;
    std::intptr_t fNextId = 1;
    bool fRefused = false;
};

}  // namespace platform
