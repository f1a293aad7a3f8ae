#include "CallReply.h"

#include <utility>

namespace platform {

CallReply::CallReply(sd_bus_message* call)
    : fCall(sd_bus_message_ref(call)),
      fBus(sd_bus_message_get_bus(call)),
      fExpectsReply(sd_bus_message_get_expect_reply(call) > 0) {
    const char* caller = sd_bus_message_get_sender(call);
    fCaller = caller != nullptr ? caller : "";
    sd_bus_message_get_cookie(call, &fCookie);
}

CallReply::~CallReply() {
    sd_bus_message_unref(fCall);
}

CallReply::CallReply(CallReply&& other) noexcept
    : fCall(std::exchange(other.fCall, nullptr)),
      fBus(other.fBus),
      fCaller(std::move(other.fCaller)),
      fCookie(other.fCookie),
      fExpectsReply(other.fExpectsReply) {}

void CallReply::Defer() {
    fCall = sd_bus_message_unref(fCall);
}

sd_bus_message* CallReply::Call() const {
    if (fCall != nullptr) {
        return sd_bus_message_ref(fCall);
    }
    sd_bus_message* standIn = nullptr;
    if (!fExpectsReply || fCaller.empty() ||
        sd_bus_message_new_method_call(fBus, &standIn, nullptr, "/", nullptr, "Deferred") < 0) {
        return nullptr;
    }
    if (sd_bus_message_set_sender(standIn, fCaller.c_str()) < 0 ||
        sd_bus_message_seal(standIn, fCookie, 0) < 0) {
        return sd_bus_message_unref(standIn);
    }
    return standIn;
}

void CallReply::ReturnStatus(std::int32_t status) const {
    if (sd_bus_message* call = Call()) {
        sd_bus_reply_method_return(call, "i", status);
        sd_bus_message_unref(call);
    }
}

void CallReply::ReturnNothing() const {
    if (sd_bus_message* call = Call()) {
        sd_bus_reply_method_return(call, "");
        sd_bus_message_unref(call);
    }
}

void CallReply::Error(const char* name, const char* message) const {
    if (sd_bus_message* call = Call()) {
        sd_bus_reply_method_errorf(call, name, "%s", message);
        sd_bus_message_unref(call);
    }
}

}  // namespace platform
