#include "CallerAuthorization.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <memory>
#include <vector>

namespace platform {

namespace {

constexpr std::uint64_t kCallTimeout = 10'000'000;  // µs

// One check in flight: the steps pass it along; the last one deletes it.
struct Request {
    sd_bus* bus;
    std::string sender;
    std::string action;
    CallerAuthorization::Verdict verdict;
    std::uint32_t uid = 0;
    std::vector<std::string> sessions;
};

void Finish(Request* request, bool allowed) {
    std::unique_ptr<Request> owned(request);
    owned->verdict(allowed);
}

using Step = int (*)(sd_bus_message*, void*, sd_bus_error*);

// Sends a prepared call whose reply goes to next; a failure to send ends the check.
void Send(Request* request, sd_bus_message* call, Step next) {
    if (call == nullptr ||
        sd_bus_call_async(request->bus, nullptr, call, next, request, kCallTimeout) < 0) {
        sd_bus_message_unref(call);
        Finish(request, false);
        return;
    }
    sd_bus_message_unref(call);
}

sd_bus_message* NewCall(sd_bus* bus, const char* destination, const char* path,
                        const char* interface, const char* member) {
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, destination, path, interface, member) < 0) {
        return nullptr;
    }
    return call;
}

bool Failed(sd_bus_message* reply) {
    return sd_bus_message_is_method_error(reply, nullptr) != 0;
}

int PolkitAnswered(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* request = static_cast<Request*>(data);
    int authorized = 0;
    const bool ok = !Failed(reply) && sd_bus_message_enter_container(reply, 'r', "bba{ss}") > 0 &&
                    sd_bus_message_read(reply, "b", &authorized) > 0;
    Finish(request, ok && authorized != 0);
    return 0;
}

void AskPolkit(Request* request) {
    sd_bus_message* call =
        NewCall(request->bus, "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization");
    if (call != nullptr &&
        sd_bus_message_append(call, "(sa{sv})sa{ss}us", "system-bus-name", 1, "name", "s",
                              request->sender.c_str(), request->action.c_str(), 0, 0U, "") < 0) {
        call = sd_bus_message_unref(call);
    }
    Send(request, call, PolkitAnswered);
}

void AskNextSession(Request* request);

// Reads the Active and Remote flags out of a session's properties.
bool IsActiveLocal(sd_bus_message* reply) {
    int active = 0;
    int remote = 1;
    if (Failed(reply) || sd_bus_message_enter_container(reply, 'a', "{sv}") <= 0) {
        return false;
    }
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(reply, "s", &name) <= 0) {
            return false;
        }
        int* flag = std::strcmp(name, "Active") == 0   ? &active
                    : std::strcmp(name, "Remote") == 0 ? &remote
                                                       : nullptr;
        const int read = flag != nullptr ? sd_bus_message_read(reply, "v", "b", flag)
                                         : sd_bus_message_skip(reply, "v");
        if (read <= 0 || sd_bus_message_exit_container(reply) < 0) {
            return false;
        }
    }
    return active != 0 && remote == 0;
}

int SessionAnswered(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* request = static_cast<Request*>(data);
    if (IsActiveLocal(reply)) {
        AskPolkit(request);
    } else {
        AskNextSession(request);
    }
    return 0;
}

void AskNextSession(Request* request) {
    if (request->sessions.empty()) {
        Finish(request, false);
        return;
    }
    const std::string path = std::move(request->sessions.back());
    request->sessions.pop_back();
    sd_bus_message* call = NewCall(request->bus, "org.freedesktop.login1", path.c_str(),
                                   "org.freedesktop.DBus.Properties", "GetAll");
    if (call != nullptr && sd_bus_message_append(call, "s", "org.freedesktop.login1.Session") < 0) {
        call = sd_bus_message_unref(call);
    }
    Send(request, call, SessionAnswered);
}

int SessionsListed(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* request = static_cast<Request*>(data);
    if (Failed(reply) || sd_bus_message_enter_container(reply, 'a', "(susso)") <= 0) {
        Finish(request, false);
        return 0;
    }
    const char* id = nullptr;
    std::uint32_t uid = 0;
    const char* user = nullptr;
    const char* seat = nullptr;
    const char* path = nullptr;
    int read = 0;
    while ((read = sd_bus_message_read(reply, "(susso)", &id, &uid, &user, &seat, &path)) > 0) {
        if (uid == request->uid) {
            request->sessions.emplace_back(path);
        }
    }
    if (read < 0) {
        Finish(request, false);
        return 0;
    }
    AskNextSession(request);
    return 0;
}

int UidAnswered(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* request = static_cast<Request*>(data);
    if (Failed(reply) || sd_bus_message_read(reply, "u", &request->uid) <= 0) {
        Finish(request, false);
        return 0;
    }
    Send(request,
         NewCall(request->bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                 "org.freedesktop.login1.Manager", "ListSessions"),
         SessionsListed);
    return 0;
}

}  // namespace

void CallerAuthorization::Check(const std::string& sender, const std::string& action,
                                Verdict verdict) {
    auto* request = new Request{fBus, sender, action, std::move(verdict), 0, {}};
    sd_bus_message* call = NewCall(fBus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "GetConnectionUnixUser");
    if (call != nullptr && sd_bus_message_append(call, "s", sender.c_str()) < 0) {
        call = sd_bus_message_unref(call);
    }
    Send(request, call, UidAnswered);
}

}  // namespace platform
