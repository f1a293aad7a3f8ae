#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "AsyncBusCalls.h"
#include "BusConnection.h"
#include "BusNameOwner.h"

namespace platform {

// Which users hold an active local session, as logind tells it: a snapshot
// when logind appears, then logind's own signals (SessionNew, SessionRemoved,
// each session's PropertiesChanged), believed only from logind's unique name.
// No question costs a call. While the snapshot or a new session's details are
// on their way, a user without an active session is not known yet; without
// logind nobody has one.
class LoginSessions {
public:
    enum class Answer { Yes, No, Unknown };
    struct Listener {
        // The user no longer holds an active local session.
        std::function<void(uid_t uid)> lost;
        // Something changed: answers may have moved on from Unknown.
        std::function<void()> updated;
    };

    LoginSessions(sd_bus* bus, Listener listener);
    LoginSessions(const LoginSessions&) = delete;
    LoginSessions& operator=(const LoginSessions&) = delete;

    // Follows logind's signals and asks for the snapshot; negative errno on failure.
    int Start();
    Answer ActiveLocal(uid_t uid) const;

private:
    struct Session {
        uid_t uid = 0;
        bool active = false;
        bool remote = true;
    };
    void LogindChanged(const std::string& owner);
    void Snapshot();
    void LookUp(const std::string& path);
    // Reads User, Active and Remote where the a{sv} holds them; false when malformed.
    static bool ReadSession(sd_bus_message* message, Session& session);
    void Recount();
    static int SessionNew(sd_bus_message* message, void* self, sd_bus_error* error);
    static int SessionRemoved(sd_bus_message* message, void* self, sd_bus_error* error);
    static int PropertiesChanged(sd_bus_message* message, void* self, sd_bus_error* error);

    sd_bus* fBus;
    Listener fListener;
    AsyncBusCalls fCalls;
    std::map<std::string, Session> fSessions;  // by object path
    std::set<uid_t> fActive;
    bool fKnown = false;
    // Answers asked of an earlier logind are dropped.
    std::uint64_t fGeneration = 0;
    BusSlot fNewMatch;
    BusSlot fRemovedMatch;
    BusSlot fChangedMatch;
    std::unique_ptr<BusNameOwner> fLogind;
};

}  // namespace platform
