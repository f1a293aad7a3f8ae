#include "AsyncBusCalls.h"

#include <utility>

namespace platform {
namespace {

constexpr std::uint64_t kTimeoutMicroseconds = 10'000'000;

}  // namespace

AsyncBusCalls::~AsyncBusCalls() {
    for (Call& call : fCalls) {
        sd_bus_slot_unref(call.slot);
    }
}

sd_bus_message* AsyncBusCalls::NewCall(const char* destination, const char* path,
                                       const char* interface, const char* member) const {
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(fBus, &call, destination, path, interface, member) < 0) {
        return nullptr;
    }
    return call;
}

bool AsyncBusCalls::Send(sd_bus_message* call, Answered answered) {
    if (call == nullptr) {
        return false;
    }
    fCalls.push_front({this, nullptr, std::move(answered), {}});
    Call& entry = fCalls.front();
    entry.self = fCalls.begin();
    const int sent = sd_bus_call_async(fBus, &entry.slot, call, &AsyncBusCalls::Reply, &entry,
                                       kTimeoutMicroseconds);
    sd_bus_message_unref(call);
    if (sent < 0) {
        fCalls.pop_front();
        return false;
    }
    return true;
}

int AsyncBusCalls::Reply(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* call = static_cast<Call*>(data);
    AsyncBusCalls* owner = call->owner;
    Answered answered = std::move(call->answered);
    // sd-bus holds its own reference to the slot while this runs.
    sd_bus_slot_unref(call->slot);
    owner->fCalls.erase(call->self);
    answered(reply);
    return 0;
}

}  // namespace platform
