#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "AsyncBusCalls.h"
#include "BusConnection.h"
#include "BusNameOwner.h"
#include "LoginSessions.h"

namespace platform {

// Who may change what. A client (a unique bus name) may when the uid the bus
// gives for it holds an active local session (logind, followed by
// LoginSessions) and polkit allows the action for its bus name, without
// interaction. What it learns it keeps: the client's uid until the client
// leaves, polkit's verdicts until polkit says its authorisations changed
// (its Changed signal, believed only from its unique name), polkit goes, the
// client's session stops being active and local, or the client leaves. A
// user without an active local session is refused without asking polkit.
//
// Decide answers from what is kept; what is missing is asked for in the
// background (one question at a time per client), and `settled(client)` says
// when to decide again. Anything missing, failing or late means no.
class ClientAuthority {
public:
    enum class Action { Configure, PostEvents, Subscribe };
    enum class Decision { Allowed, Denied, Later };
    struct Listener {
        // New answers for this client: its waiting calls may be decided now.
        std::function<void(const std::string& client)> settled;
        // The client's user lost its active local session.
        std::function<void(const std::string& client)> sessionLost;
    };

    ClientAuthority(sd_bus* bus, Listener listener);
    ClientAuthority(const ClientAuthority&) = delete;
    ClientAuthority& operator=(const ClientAuthority&) = delete;

    // Follows logind and polkit; negative errno on failure.
    int Start();
    Decision Decide(const std::string& client, Action action);
    // Whether the client's user holds an active local session now (for the
    // delivery of button messages); false while unknown.
    bool HasActiveSession(const std::string& client) const;
    std::optional<uid_t> UidOf(const std::string& client) const;
    // Everything kept for the client goes.
    void ClientLeft(const std::string& client);

    static const char* ActionName(Action action);

private:
    using Clock = std::chrono::steady_clock;
    enum class Verdict : std::uint8_t { Unknown, Asking, Allowed, Denied, Failed };
    struct Client {
        std::optional<uid_t> uid;
        bool askingUid = false;
        bool uidFailed = false;
        std::array<Verdict, 3> verdicts{};
        // A failed question counts as no for a moment, then is asked again.
        std::array<Clock::time_point, 3> failedAt{};
    };

    void AskUid(const std::string& client);
    void AskPolkit(const std::string& client, Action action);
    void ForgetVerdicts();
    static void ForgetVerdicts(Client& record);
    void SessionLost(uid_t uid);
    void SettleAll();
    static int PolkitChanged(sd_bus_message* message, void* self, sd_bus_error* error);

    sd_bus* fBus;
    Listener fListener;
    AsyncBusCalls fCalls;
    LoginSessions fSessions;
    std::map<std::string, Client> fClients;
    // Verdicts asked before polkit last changed are not kept.
    std::uint64_t fPolkitEpoch = 0;
    std::unique_ptr<BusNameOwner> fPolkit;
    BusSlot fChangedMatch;
};

}  // namespace platform
