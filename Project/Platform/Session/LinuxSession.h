#pragma once

#include <optional>
#include <string>

#include "BusConnection.h"
#include "BusNameOwner.h"

namespace platform {

// The user's graphical session as logind knows it, its Active property
// followed over the system bus: each change is posted to the workspace's
// notification center as did-resign-active or did-become-active. The agent is
// a user service and belongs to no session itself, so the session is the one
// sd_uid_get_display names, or logind's User.Display when sd-login has no
// answer (or names a session logind does not know).
// The user's logind object comes from ListUsers. Only logind's own signals
// count: their sender must be logind's unique name.
class LinuxSession {
public:
    explicit LinuxSession(BusConnection& systemBus);
    LinuxSession(const LinuxSession&) = delete;
    LinuxSession& operator=(const LinuxSession&) = delete;

    // False when no graphical session was found (nothing is then posted).
    bool IsWatching() const { return static_cast<bool>(fMatch); }
    const std::string& SessionPath() const { return fPath; }
    std::optional<bool> Active() const { return fActive; }

private:
    std::optional<std::string> FindSessionPath();
    std::optional<std::string> FindUserPath();
    std::optional<bool> ReadActive();
    static int PropertiesChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    void Update(bool active);

    BusConnection& fBus;
    BusNameOwner fLogind;
    std::string fPath;
    BusSlot fMatch;
    std::optional<bool> fActive;
};

}  // namespace platform
