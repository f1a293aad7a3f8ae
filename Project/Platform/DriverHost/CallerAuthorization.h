#pragma once

#include <functional>
#include <string>

struct sd_bus;

namespace platform {

// Decides whether the sender of a bus call may change something: the uid the
// bus gives for the sender must own an active local session (asked of logind
// over the bus), and polkit must allow the action for the sender's bus name
// (never a process id), without interaction. Every step is an asynchronous
// call, so a slow caller or daemon delays only its own request. Anything
// missing, failing or late means no.
class CallerAuthorization {
public:
    using Verdict = std::function<void(bool allowed)>;

    explicit CallerAuthorization(sd_bus* bus) : fBus(bus) {}
    // Calls verdict exactly once, later, from the bus's dispatch.
    void Check(const std::string& sender, const std::string& action, Verdict verdict);

private:
    sd_bus* fBus;
};

}  // namespace platform
