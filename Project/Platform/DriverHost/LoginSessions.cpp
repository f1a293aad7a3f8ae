#include "LoginSessions.h"

#include <cstring>

namespace platform {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr std::uint64_t kCallTimeout = 10'000'000;  // µs

bool Failed(sd_bus_message* reply) {
    return sd_bus_message_is_method_error(reply, nullptr) != 0;
}

}  // namespace

LoginSessions::LoginSessions(sd_bus* bus, Listener listener)
    : fBus(bus), fListener(std::move(listener)), fCalls(bus) {}

int LoginSessions::Start() {
    sd_bus_slot* slot = nullptr;
    int status = sd_bus_match_signal(fBus, &slot, kLogind, kLogindPath, kManager, "SessionNew",
                                     &LoginSessions::SessionNew, this);
    fNewMatch.reset(slot);
    if (status >= 0) {
        status = sd_bus_match_signal(fBus, &slot, kLogind, kLogindPath, kManager, "SessionRemoved",
                                     &LoginSessions::SessionRemoved, this);
        fRemovedMatch.reset(slot);
    }
    if (status >= 0) {
        status = sd_bus_add_match(fBus, &slot,
                                  "type='signal',sender='org.freedesktop.login1',"
                                  "interface='org.freedesktop.DBus.Properties',"
                                  "member='PropertiesChanged',"
                                  "path_namespace='/org/freedesktop/login1/session',"
                                  "arg0='org.freedesktop.login1.Session'",
                                  &LoginSessions::PropertiesChanged, this);
        fChangedMatch.reset(slot);
    }
    if (status < 0) {
        return status;
    }
    fLogind = std::make_unique<BusNameOwner>(
        fBus, kLogind,
        [this](const std::string&, const std::string& owner) { LogindChanged(owner); });
    if (!fLogind->IsFollowing()) {
        return -EIO;
    }
    LogindChanged(fLogind->Owner());
    return 0;
}

LoginSessions::Answer LoginSessions::ActiveLocal(uid_t uid) const {
    if (fActive.contains(uid)) {
        return Answer::Yes;
    }
    return !fKnown || fCalls.InFlight() != 0 ? Answer::Unknown : Answer::No;
}

void LoginSessions::LogindChanged(const std::string& owner) {
    ++fGeneration;
    fSessions.clear();
    fKnown = owner.empty();
    if (!owner.empty()) {
        Snapshot();
    }
    Recount();
}

void LoginSessions::Snapshot() {
    const std::uint64_t generation = fGeneration;
    const bool sent = fCalls.Send(
        fCalls.NewCall(kLogind, kLogindPath, kManager, "ListSessions"),
        [this, generation](sd_bus_message* reply) {
            if (generation != fGeneration) {
                return;
            }
            fKnown = true;
            if (!Failed(reply) && fLogind->IsFromOwner(reply) &&
                sd_bus_message_enter_container(reply, 'a', "(susso)") > 0) {
                const char* id = nullptr;
                std::uint32_t uid = 0;
                const char* user = nullptr;
                const char* seat = nullptr;
                const char* path = nullptr;
                while (sd_bus_message_read(reply, "(susso)", &id, &uid, &user, &seat, &path) > 0) {
                    LookUp(path);
                }
            }
            Recount();
        },
        kCallTimeout);
    // Unasked, nobody has a session.
    fKnown = !sent;
}

void LoginSessions::LookUp(const std::string& path) {
    const std::uint64_t generation = fGeneration;
    sd_bus_message* call =
        fCalls.NewCall(kLogind, path.c_str(), "org.freedesktop.DBus.Properties", "GetAll");
    if (call != nullptr && sd_bus_message_append(call, "s", kSession) < 0) {
        call = sd_bus_message_unref(call);
    }
    fCalls.Send(
        call,
        [this, generation, path](sd_bus_message* reply) {
            if (generation != fGeneration) {
                return;
            }
            Session session;
            if (!Failed(reply) && fLogind->IsFromOwner(reply) && ReadSession(reply, session)) {
                fSessions[path] = session;
            } else {
                fSessions.erase(path);
            }
            Recount();
        },
        kCallTimeout);
}

bool LoginSessions::ReadSession(sd_bus_message* message, Session& session) {
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) {
        return false;
    }
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read_basic(message, 's', &name) <= 0) {
            return false;
        }
        int read = 0;
        int flag = 0;
        if (std::strcmp(name, "User") == 0) {
            std::uint32_t uid = 0;
            const char* path = nullptr;
            read = sd_bus_message_read(message, "v", "(uo)", &uid, &path);
            session.uid = uid;
        } else if (std::strcmp(name, "Active") == 0 || std::strcmp(name, "Remote") == 0) {
            read = sd_bus_message_read(message, "v", "b", &flag);
            (std::strcmp(name, "Active") == 0 ? session.active : session.remote) = flag != 0;
        } else {
            read = sd_bus_message_skip(message, "v");
        }
        if (read < 0 || sd_bus_message_exit_container(message) < 0) {
            return false;
        }
    }
    return sd_bus_message_exit_container(message) >= 0;
}

void LoginSessions::Recount() {
    std::set<uid_t> active;
    for (const auto& [path, session] : fSessions) {
        if (session.active && !session.remote) {
            active.insert(session.uid);
        }
    }
    std::swap(active, fActive);
    for (uid_t uid : active) {
        if (!fActive.contains(uid) && fListener.lost) {
            fListener.lost(uid);
        }
    }
    if (fListener.updated) {
        fListener.updated();
    }
}

int LoginSessions::SessionNew(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* sessions = static_cast<LoginSessions*>(self);
    const char* id = nullptr;
    const char* path = nullptr;
    if (sessions->fLogind->IsFromOwner(message) &&
        sd_bus_message_read(message, "so", &id, &path) > 0) {
        sessions->LookUp(path);
    }
    return 0;
}

int LoginSessions::SessionRemoved(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* sessions = static_cast<LoginSessions*>(self);
    const char* id = nullptr;
    const char* path = nullptr;
    if (sessions->fLogind->IsFromOwner(message) &&
        sd_bus_message_read(message, "so", &id, &path) > 0 && sessions->fSessions.erase(path) > 0) {
        sessions->Recount();
    }
    return 0;
}

int LoginSessions::PropertiesChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* sessions = static_cast<LoginSessions*>(self);
    const char* path = sd_bus_message_get_path(message);
    const char* interface = nullptr;
    if (!sessions->fLogind->IsFromOwner(message) || path == nullptr ||
        sd_bus_message_read_basic(message, 's', &interface) <= 0 ||
        std::strcmp(interface, kSession) != 0) {
        return 0;
    }
    const auto known = sessions->fSessions.find(path);
    Session changed = known != sessions->fSessions.end() ? known->second : Session{};
    bool invalidated = false;
    if (sessions->ReadSession(message, changed) &&
        sd_bus_message_enter_container(message, 'a', "s") > 0) {
        const char* name = nullptr;
        while (sd_bus_message_read_basic(message, 's', &name) > 0) {
            invalidated |= std::strcmp(name, "Active") == 0 || std::strcmp(name, "Remote") == 0;
        }
    }
    // A session not known yet, or one whose flags were only named, is asked for.
    if (known == sessions->fSessions.end() || invalidated) {
        sessions->LookUp(path);
    } else {
        known->second = changed;
    }
    sessions->Recount();
    return 0;
}

}  // namespace platform
