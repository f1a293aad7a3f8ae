#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <string>

namespace platform {

inline constexpr const char* kBusDriverName = "org.freedesktop.DBus";

// Whether the bus driver itself sent the message: the daemon stamps every
// message with its sender's unique name, so no client can forge this sender.
// A match on the sender is no such proof: anyone may send anyone a unicast
// signal, and it reaches the destination whatever its matches say.
bool IsFromBusDriver(sd_bus_message* message);

// Who owns a well-known name now, as the bus driver says: its answer to
// GetNameOwner, then its own NameOwnerChanged signals, and nothing else. A
// signal that claims to come from the name's service is believed only when
// its sender is this unique name.
class BusNameOwner {
public:
    using Changed = std::function<void(const std::string& previous, const std::string& current)>;

    // Starts following the name: the match first, then the question, so that
    // no change falls between them. Waits for the bus's answer (a start-up
    // step). `changed` hears every later change, never the first answer.
    BusNameOwner(sd_bus* bus, std::string name, Changed changed = nullptr);
    ~BusNameOwner();
    BusNameOwner(const BusNameOwner&) = delete;
    BusNameOwner& operator=(const BusNameOwner&) = delete;

    // False when the bus refused the match: then nothing is ever believed.
    bool IsFollowing() const { return fMatch != nullptr; }
    // The owner's unique name; empty while nobody owns the name.
    const std::string& Owner() const { return fOwner; }
    // Whether the message comes from the present owner.
    bool IsFromOwner(sd_bus_message* message) const;

private:
    static int OwnerChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    void Update(const std::string& owner);

    sd_bus* fBus;
    std::string fName;
    Changed fChanged;
    std::string fOwner;
    sd_bus_slot* fMatch = nullptr;
};

}  // namespace platform
