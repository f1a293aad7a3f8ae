#include "LinuxPower.h"

#include <fcntl.h>
#include <unistd.h>

#include "LogindNames.h"

namespace platform {

LinuxPower::~LinuxPower() {
    Deregister();
}

bool LinuxPower::Register(Sink sink) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(fBus.Get(), &slot, kLogindBusName, kLogindPath, kLogindManagerInterface,
                            "PrepareForSleep", &LinuxPower::PrepareForSleep, this) < 0) {
        return false;
    }
    fMatch.reset(slot);
    fSink = std::move(sink);
    TakeLock();
    return true;
}

void LinuxPower::Deregister() {
    fMatch.reset();
    fSink = nullptr;
    ReleaseLock();
}

IOReturn LinuxPower::AllowPowerChange(std::intptr_t notificationID) {
    if (notificationID == fPendingSleep && fPendingSleep != 0) {
        fPendingSleep = 0;
        ReleaseLock();
    }
    return kIOReturnSuccess;
}

int LinuxPower::PrepareForSleep(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* power = static_cast<LinuxPower*>(self);
    int start = 0;
    if (!power->fLogind.IsFromOwner(message) ||
        sd_bus_message_read_basic(message, 'b', &start) <= 0 || !power->fSink) {
        return 0;
    }
    if (start != 0) {
        power->fPendingSleep = power->Send(kIOMessageSystemWillSleep);
    } else {
        power->fPendingSleep = 0;
        power->TakeLock();
        power->Send(kIOMessageSystemWillPowerOn);
        power->Send(kIOMessageSystemHasPoweredOn);
    }
    return 0;
}

std::intptr_t LinuxPower::Send(natural_t messageType) {
    const std::intptr_t id = fNextId++;
    fSink(messageType, id);
    return id;
}

void LinuxPower::TakeLock() {
    if (fLock >= 0) {
        return;
    }
    BusMessage request =
        fBus.NewCall(kLogindBusName, kLogindPath, kLogindManagerInterface, "Inhibit");
    if (!request ||
        sd_bus_message_append(request.get(), "ssss", "sleep", "HalvorinAgent",
                              "Letting go of the mice before the system sleeps", "delay") < 0) {
        return;
    }
    // Without a lock the sleep merely does not wait for the agent.
    BusMessage reply = fBus.Call(request.get());
    int descriptor = -1;
    if (reply && sd_bus_message_read_basic(reply.get(), 'h', &descriptor) > 0) {
        fLock = fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    }
}

void LinuxPower::ReleaseLock() {
    if (fLock >= 0) {
        close(fLock);
        fLock = -1;
    }
}

}  // namespace platform
