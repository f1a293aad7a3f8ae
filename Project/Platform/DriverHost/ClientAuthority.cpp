#include "ClientAuthority.h"

#include <cstring>

namespace platform {
namespace {

constexpr const char* kPolkit = "org.freedesktop.PolicyKit1";
constexpr const char* kAuthorityPath = "/org/freedesktop/PolicyKit1/Authority";
constexpr const char* kAuthority = "org.freedesktop.PolicyKit1.Authority";
// How long a question that failed (polkit hung, say) counts as no.
constexpr auto kFailureHeld = std::chrono::seconds(1);

std::size_t IndexOf(ClientAuthority::Action action) {
    return static_cast<std::size_t>(action);
}

}  // namespace

const char* ClientAuthority::ActionName(Action action) {
    switch (action) {
        case Action::Configure:
            return "org.halvorin.driver1.configure";
        case Action::PostEvents:
            return "org.halvorin.driver1.post-events";
        case Action::Subscribe:
            return "org.halvorin.driver1.subscribe";
    }
    return "";
}

ClientAuthority::ClientAuthority(sd_bus* bus, Listener listener)
    : fBus(bus),
      fListener(std::move(listener)),
      fCalls(bus),
      fSessions(bus, {[this](uid_t uid) { SessionLost(uid); }, [this] { SettleAll(); }}) {}

int ClientAuthority::Start() {
    sd_bus_slot* slot = nullptr;
    const int status = sd_bus_match_signal(fBus, &slot, kPolkit, kAuthorityPath, kAuthority,
                                           "Changed", &ClientAuthority::PolkitChanged, this);
    if (status < 0) {
        return status;
    }
    fChangedMatch.reset(slot);
    // polkit is started on demand: its coming leaves nothing to forget.
    fPolkit = std::make_unique<BusNameOwner>(
        fBus, kPolkit, [this](const std::string& previous, const std::string&) {
            if (!previous.empty()) {
                ForgetVerdicts();
            }
        });
    if (!fPolkit->IsFollowing()) {
        return -EIO;
    }
    return fSessions.Start();
}

ClientAuthority::Decision ClientAuthority::Decide(const std::string& client, Action action) {
    Client& record = fClients[client];
    if (record.uidFailed) {
        return Decision::Denied;
    }
    if (!record.uid) {
        AskUid(client);
        return Decision::Later;
    }
    switch (fSessions.ActiveLocal(*record.uid)) {
        case LoginSessions::Answer::No:
            return Decision::Denied;
        case LoginSessions::Answer::Unknown:
            return Decision::Later;
        case LoginSessions::Answer::Yes:
            break;
    }
    const std::size_t index = IndexOf(action);
    switch (record.verdicts[index]) {
        case Verdict::Allowed:
            return Decision::Allowed;
        case Verdict::Denied:
            return Decision::Denied;
        case Verdict::Asking:
            return Decision::Later;
        case Verdict::Failed:
            if (Clock::now() - record.failedAt[index] < kFailureHeld) {
                return Decision::Denied;
            }
            [[fallthrough]];
        case Verdict::Unknown:
            AskPolkit(client, action);
            return record.verdicts[index] == Verdict::Asking ? Decision::Later : Decision::Denied;
    }
    return Decision::Denied;
}

bool ClientAuthority::HasActiveSession(const std::string& client) const {
    const auto found = fClients.find(client);
    return found != fClients.end() && found->second.uid &&
           fSessions.ActiveLocal(*found->second.uid) == LoginSessions::Answer::Yes;
}

std::optional<uid_t> ClientAuthority::UidOf(const std::string& client) const {
    const auto found = fClients.find(client);
    return found != fClients.end() ? found->second.uid : std::nullopt;
}

void ClientAuthority::ClientLeft(const std::string& client) {
    fClients.erase(client);
}

void ClientAuthority::AskUid(const std::string& client) {
    Client& record = fClients[client];
    if (record.askingUid) {
        return;
    }
    sd_bus_message* call = fCalls.NewCall(kBusDriverName, "/org/freedesktop/DBus", kBusDriverName,
                                          "GetConnectionUnixUser");
    if (call != nullptr && sd_bus_message_append(call, "s", client.c_str()) < 0) {
        call = sd_bus_message_unref(call);
    }
    record.askingUid = fCalls.Send(call, [this, client](sd_bus_message* reply) {
        const auto found = fClients.find(client);
        if (found == fClients.end()) {
            return;  // it left meanwhile
        }
        std::uint32_t uid = 0;
        found->second.askingUid = false;
        if (!IsErrorReply(reply) && IsFromBusDriver(reply) &&
            sd_bus_message_read(reply, "u", &uid) > 0) {
            found->second.uid = uid;
        } else {
            found->second.uidFailed = true;
        }
        fListener.settled(client);
    });
    record.uidFailed = !record.askingUid;
}

void ClientAuthority::AskPolkit(const std::string& client, Action action) {
    Client& record = fClients[client];
    const std::size_t index = IndexOf(action);
    sd_bus_message* call =
        fCalls.NewCall(kPolkit, kAuthorityPath, kAuthority, "CheckAuthorization");
    // The subject is the bus name (never a process id); no interaction.
    if (call != nullptr &&
        sd_bus_message_append(call, "(sa{sv})sa{ss}us", "system-bus-name", 1, "name", "s",
                              client.c_str(), ActionName(action), 0, 0U, "") < 0) {
        call = sd_bus_message_unref(call);
    }
    const std::uint64_t epoch = fPolkitEpoch;
    const bool sent = fCalls.Send(call, [this, client, index, epoch](sd_bus_message* reply) {
        const auto found = fClients.find(client);
        if (found == fClients.end()) {
            return;
        }
        Verdict& verdict = found->second.verdicts[index];
        int authorized = 0;
        if (epoch != fPolkitEpoch) {
            verdict = Verdict::Unknown;  // asked of an authority that has changed since
        } else if (!IsErrorReply(reply) && fPolkit->IsFromOwner(reply) &&
                   sd_bus_message_enter_container(reply, 'r', "bba{ss}") > 0 &&
                   sd_bus_message_read(reply, "b", &authorized) > 0) {
            verdict = authorized != 0 ? Verdict::Allowed : Verdict::Denied;
        } else {
            verdict = Verdict::Failed;
            found->second.failedAt[index] = Clock::now();
        }
        fListener.settled(client);
    });
    record.verdicts[index] = sent ? Verdict::Asking : Verdict::Failed;
    record.failedAt[index] = Clock::now();
}

void ClientAuthority::ForgetVerdicts(Client& record) {
    for (Verdict& verdict : record.verdicts) {
        // A question on its way is asked again when it comes back.
        if (verdict != Verdict::Asking) {
            verdict = Verdict::Unknown;
        }
    }
}

void ClientAuthority::ForgetVerdicts() {
    ++fPolkitEpoch;
    for (auto& [client, record] : fClients) {
        ForgetVerdicts(record);
    }
}

void ClientAuthority::SessionLost(uid_t uid) {
    for (auto& [client, record] : fClients) {
        if (record.uid == uid) {
            ForgetVerdicts(record);
            fListener.sessionLost(client);
        }
    }
}

void ClientAuthority::SettleAll() {
    // The listener may let clients go meanwhile.
    std::vector<std::string> clients;
    for (const auto& [client, record] : fClients) {
        clients.push_back(client);
    }
    for (const std::string& client : clients) {
        fListener.settled(client);
    }
}

int ClientAuthority::PolkitChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* authority = static_cast<ClientAuthority*>(self);
    if (authority->fPolkit->IsFromOwner(message)) {
        authority->ForgetVerdicts();
    }
    return 0;
}

}  // namespace platform
