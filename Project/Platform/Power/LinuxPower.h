#pragma once

#include "BusConnection.h"
#include "BusNameOwner.h"
#include "LogindNames.h"
#include "Power.h"

namespace platform {

// logind's sleep: PrepareForSleep(true) is the will-sleep message, and a
// delay inhibitor lock holds the sleep back until the program acknowledges
// it; PrepareForSleep(false) is the wake, sent as will-power-on then
// has-powered-on, after which a new lock is taken for the next sleep. Only
// logind's own signals count: their sender must be logind's unique name.
class LinuxPower final : public PowerBackend {
public:
    explicit LinuxPower(BusConnection& systemBus)
        : fBus(systemBus), fLogind(systemBus.Get(), kLogindBusName) {}
    ~LinuxPower() override;

    bool Register(Sink sink) override;
    void Deregister() override;
    IOReturn AllowPowerChange(std::intptr_t notificationID) override;

    bool HoldsSleepLock() const { return fLock >= 0; }

private:
    static int PrepareForSleep(sd_bus_message* message, void* self, sd_bus_error* error);
    void TakeLock();
    void ReleaseLock();
    std::intptr_t Send(natural_t messageType);

    BusConnection& fBus;
    BusNameOwner fLogind;
    Sink fSink;
    BusSlot fMatch;
    int fLock = -1;
    std::intptr_t fNextId = 1;
    std::intptr_t fPendingSleep = 0;  // the will-sleep message the lock waits for
};

}  // namespace platform
