#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>

namespace platform {

// The way back to the caller of a method. It answers through the call while
// it holds it; deferred, it keeps only the caller's name, the call's serial
// and whether an answer is expected, so that a call waiting for its check
// holds on to none of its arguments (a call may be as large as the bus allows).
class CallReply {
public:
    explicit CallReply(sd_bus_message* call);
    ~CallReply();
    CallReply(CallReply&& other) noexcept;
    CallReply& operator=(CallReply&& other) = delete;
    CallReply(const CallReply&) = delete;
    CallReply& operator=(const CallReply&) = delete;

    // Lets go of the call, keeping what an answer needs.
    void Defer();
    const std::string& Caller() const { return fCaller; }
    // The method's return: one int32 status, or no value.
    void ReturnStatus(std::int32_t status) const;
    void ReturnNothing() const;
    void Error(const char* name, const char* message) const;

private:
    // The call, or a stand-in sealed with its serial that sd-bus can answer.
    sd_bus_message* Call() const;

    sd_bus_message* fCall;
    sd_bus* fBus;
    std::string fCaller;
    std::uint64_t fCookie = 0;
    bool fExpectsReply = false;
};

}  // namespace platform
