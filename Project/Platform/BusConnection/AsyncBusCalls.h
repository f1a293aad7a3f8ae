#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <list>

namespace platform {

// Method calls sent without waiting, each answer handed to its function on
// the bus's dispatch. The calls still unanswered are cancelled when this
// goes, so no answer ever reaches a function whose owner is gone.
// Whether an answer is an error, a late one included.
inline bool IsErrorReply(sd_bus_message* reply) {
    return sd_bus_message_is_method_error(reply, nullptr) != 0;
}

class AsyncBusCalls {
public:
    using Answered = std::function<void(sd_bus_message* reply)>;

    explicit AsyncBusCalls(sd_bus* bus) : fBus(bus) {}
    ~AsyncBusCalls();
    AsyncBusCalls(const AsyncBusCalls&) = delete;
    AsyncBusCalls& operator=(const AsyncBusCalls&) = delete;

    // Sends the prepared call (taking it over). False when it could not be
    // sent: `answered` is then never called. An answer later than ten seconds
    // is an error reply.
    bool Send(sd_bus_message* call, Answered answered);
    // A new method call to fill with arguments; null on failure.
    sd_bus_message* NewCall(const char* destination, const char* path, const char* interface,
                            const char* member) const;
    std::size_t InFlight() const { return fCalls.size(); }

private:
    struct Call {
        AsyncBusCalls* owner;
        sd_bus_slot* slot = nullptr;
        Answered answered;
        std::list<Call>::iterator self;
    };
    static int Reply(sd_bus_message* reply, void* call, sd_bus_error* error);

    sd_bus* fBus;
    std::list<Call> fCalls;
};

}  // namespace platform
