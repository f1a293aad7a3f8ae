#include "LoginSessions.h"

#include <cstring>

#include "LogindNames.h"
#include "VariantDictionary.h"

namespace platform {
LoginSessions::LoginSessions(sd_bus* bus, Listener listener)
    : fBus(bus), fListener(std::move(listener)), fCalls(bus) {}

int LoginSessions::Start() {
    sd_bus_slot* slot = nullptr;
    int status =
        sd_bus_match_signal(fBus, &slot, kLogindBusName, kLogindPath, kLogindManagerInterface,
                            "SessionNew", &LoginSessions::SessionNew, this);
    fNewMatch.reset(slot);
    if (status >= 0) {
        status =
            sd_bus_match_signal(fBus, &slot, kLogindBusName, kLogindPath, kLogindManagerInterface,
                                "SessionRemoved", &LoginSessions::SessionRemoved, this);
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
        fBus, kLogindBusName,
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
        fCalls.NewCall(kLogindBusName, kLogindPath, kLogindManagerInterface, "ListSessions"),
        [this, generation](sd_bus_message* reply) {
            if (generation != fGeneration) {
                return;
            }
            fKnown = true;
            if (!IsErrorReply(reply) && fLogind->IsFromOwner(reply) &&
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
        });
    // Unasked, nobody has a session.
    fKnown = !sent;
}

void LoginSessions::LookUp(const std::string& path) {
    const std::uint64_t generation = fGeneration;
    sd_bus_message* call =
        fCalls.NewCall(kLogindBusName, path.c_str(), "org.freedesktop.DBus.Properties", "GetAll");
    if (call != nullptr && sd_bus_message_append(call, "s", kLogindSessionInterface) < 0) {
        call = sd_bus_message_unref(call);
    }
    fCalls.Send(call, [this, generation, path](sd_bus_message* reply) {
        if (generation != fGeneration) {
            return;
        }
        Session session;
        if (!IsErrorReply(reply) && fLogind->IsFromOwner(reply) && ReadSession(reply, session)) {
            fSessions[path] = session;
        } else {
            fSessions.erase(path);
        }
        Recount();
    });
}

bool LoginSessions::ReadSession(sd_bus_message* message, Session& session) {
    return ReadVariantDictionary(message, [&](const char* name) {
        int flag = 0;
        int read = 0;
        if (std::strcmp(name, "User") == 0) {
            std::uint32_t uid = 0;
            const char* path = nullptr;
            read = sd_bus_message_read(message, "v", "(uo)", &uid, &path);
            session.uid = uid;
        } else if (std::strcmp(name, "Active") == 0 || std::strcmp(name, "Remote") == 0) {
            read = sd_bus_message_read(message, "v", "b", &flag);
            (std::strcmp(name, "Active") == 0 ? session.active : session.remote) = flag != 0;
        }
        return read;
    });
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
        std::strcmp(interface, kLogindSessionInterface) != 0) {
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
