#include "BusNameOwner.h"

#include <cstring>
#include <utility>

namespace platform {

bool IsFromBusDriver(sd_bus_message* message) {
    const char* sender = sd_bus_message_get_sender(message);
    return sender != nullptr && std::strcmp(sender, kBusDriverName) == 0;
}

BusNameOwner::BusNameOwner(sd_bus* bus, std::string name, Changed changed)
    : fBus(bus), fName(std::move(name)), fChanged(std::move(changed)) {
    const std::string rule =
        "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
        "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
        fName + "'";
    if (sd_bus_add_match(fBus, &fMatch, rule.c_str(), &BusNameOwner::OwnerChanged, this) < 0) {
        fMatch = nullptr;
        return;
    }
    sd_bus_message* reply = nullptr;
    const char* owner = nullptr;
    // No owner is an error answer (NameHasNoOwner), which leaves the name empty.
    if (sd_bus_call_method(fBus, kBusDriverName, "/org/freedesktop/DBus", kBusDriverName,
                           "GetNameOwner", nullptr, &reply, "s", fName.c_str()) >= 0 &&
        sd_bus_message_read(reply, "s", &owner) > 0) {
        fOwner = owner;
    }
    sd_bus_message_unref(reply);
}

BusNameOwner::~BusNameOwner() {
    sd_bus_slot_unref(fMatch);
}

bool BusNameOwner::IsFromOwner(sd_bus_message* message) const {
    const char* sender = sd_bus_message_get_sender(message);
    return !fOwner.empty() && sender != nullptr && fOwner == sender;
}

int BusNameOwner::OwnerChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    const char* name = nullptr;
    const char* previous = nullptr;
    const char* current = nullptr;
    if (IsFromBusDriver(message) &&
        sd_bus_message_read(message, "sss", &name, &previous, &current) > 0) {
        auto* owner = static_cast<BusNameOwner*>(self);
        if (owner->fName == name) {
            owner->Update(current);
        }
    }
    return 0;
}

void BusNameOwner::Update(const std::string& owner) {
    if (owner == fOwner) {
        return;
    }
    const std::string previous = std::exchange(fOwner, owner);
    if (fChanged) {
        fChanged(previous, fOwner);
    }
}

}  // namespace platform
