#include "LinuxSession.h"

#include <systemd/sd-login.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "LogindNames.h"
#include "Session.h"

namespace platform {
namespace {

constexpr const char* kUserInterface = "org.freedesktop.login1.User";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

// An object path read from the reply, none for "/" (logind's "no object").
std::optional<std::string> ReadPath(sd_bus_message* reply) {
    const auto path = ReadBasic<const char*>(reply, 'o');
    if (!path || std::strcmp(*path, "/") == 0) {
        return std::nullopt;
    }
    return std::string(*path);
}

}  // namespace

LinuxSession::LinuxSession(BusConnection& systemBus)
    : fBus(systemBus), fLogind(systemBus.Get(), kLogindBusName) {
    std::optional<std::string> path = FindSessionPath();
    if (!path) {
        return;
    }
    fPath = std::move(*path);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(fBus.Get(), &slot, kLogindBusName, fPath.c_str(), kProperties,
                            "PropertiesChanged", &LinuxSession::PropertiesChanged, this) < 0) {
        return;
    }
    fMatch.reset(slot);
    fActive = ReadActive();
}

std::optional<std::string> LinuxSession::FindSessionPath() {
    char* display = nullptr;
    if (sd_uid_get_display(getuid(), &display) >= 0 && display != nullptr) {
        BusMessage request =
            fBus.NewCall(kLogindBusName, kLogindPath, kLogindManagerInterface, "GetSession");
        const int appended = request ? sd_bus_message_append(request.get(), "s", display) : -1;
        std::free(display);
        if (appended >= 0) {
            BusMessage reply = fBus.Call(request.get());
            // sd-login may know sessions this logind does not.
            if (std::optional<std::string> path = ReadPath(reply.get())) {
                fPath = *path;
                if (ReadActive()) {
                    return path;
                }
            }
        }
    }
    std::optional<std::string> userPath = FindUserPath();
    if (!userPath) {
        return std::nullopt;
    }
    BusMessage get = fBus.NewCall(kLogindBusName, userPath->c_str(), kProperties, "Get");
    if (!get || sd_bus_message_append(get.get(), "ss", kUserInterface, "Display") < 0) {
        return std::nullopt;
    }
    BusMessage reply = fBus.Call(get.get());
    if (!reply || sd_bus_message_enter_container(reply.get(), 'v', "(so)") <= 0 ||
        sd_bus_message_enter_container(reply.get(), 'r', "so") <= 0 ||
        sd_bus_message_skip(reply.get(), "s") < 0) {
        return std::nullopt;
    }
    return ReadPath(reply.get());
}

std::optional<std::string> LinuxSession::FindUserPath() {
    BusMessage request =
        fBus.NewCall(kLogindBusName, kLogindPath, kLogindManagerInterface, "ListUsers");
    BusMessage reply = request ? fBus.Call(request.get()) : nullptr;
    if (!reply || sd_bus_message_enter_container(reply.get(), 'a', "(uso)") <= 0) {
        return std::nullopt;
    }
    std::uint32_t uid = 0;
    const char* name = nullptr;
    const char* path = nullptr;
    while (sd_bus_message_read(reply.get(), "(uso)", &uid, &name, &path) > 0) {
        if (uid == getuid()) {
            return std::string(path);
        }
    }
    return std::nullopt;
}

std::optional<bool> LinuxSession::ReadActive() {
    BusMessage get = fBus.NewCall(kLogindBusName, fPath.c_str(), kProperties, "Get");
    if (!get || sd_bus_message_append(get.get(), "ss", kLogindSessionInterface, "Active") < 0) {
        return std::nullopt;
    }
    BusMessage reply = fBus.Call(get.get());
    if (!reply || sd_bus_message_enter_container(reply.get(), 'v', "b") <= 0) {
        return std::nullopt;
    }
    const auto active = ReadBasic<int>(reply.get(), 'b');
    return active ? std::optional<bool>(*active != 0) : std::nullopt;
}

int LinuxSession::PropertiesChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* session = static_cast<LinuxSession*>(self);
    if (!session->fLogind.IsFromOwner(message)) {
        return 0;
    }
    const auto interface = ReadBasic<const char*>(message, 's');
    if (!interface || std::strcmp(*interface, kLogindSessionInterface) != 0 ||
        sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) {
        return 0;
    }
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const auto name = ReadBasic<const char*>(message, 's');
        if (!name) {
            return 0;
        }
        if (std::strcmp(*name, "Active") == 0) {
            int active = 0;
            if (sd_bus_message_enter_container(message, 'v', "b") > 0 &&
                sd_bus_message_read_basic(message, 'b', &active) > 0) {
                session->Update(active != 0);
            }
            return 0;
        }
        if (sd_bus_message_skip(message, "v") < 0 || sd_bus_message_exit_container(message) < 0) {
            return 0;
        }
    }
    sd_bus_message_exit_container(message);
    // logind may only name the property as invalidated.
    bool mentioned = false;
    if (sd_bus_message_enter_container(message, 'a', "s") > 0) {
        while (const auto name = ReadBasic<const char*>(message, 's')) {
            mentioned |= std::strcmp(*name, "Active") == 0;
        }
    }
    if (mentioned) {
        if (const std::optional<bool> active = session->ReadActive()) {
            session->Update(*active);
        }
    }
    return 0;
}

void LinuxSession::Update(bool active) {
    if (fActive == active) {
        return;
    }
    fActive = active;
    SharedWorkspaceNotificationCenter().postNotification(
        {std::string(active ? NSWorkspaceSessionDidBecomeActiveNotification
                            : NSWorkspaceSessionDidResignActiveNotification)});
}

}  // namespace platform
