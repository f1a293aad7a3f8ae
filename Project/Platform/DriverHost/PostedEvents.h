#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "EventWriter.h"
#include "IOTypes.h"
#include "PostedEventTranslation.h"

namespace platform {

// The host's virtual keyboard, where the events clients post are played:
// keys, modifiers held like keyboard keys (desktops combine modifiers across
// keyboards, so a held modifier applies to the real keyboard's keys) and
// clicks at the current pointer position. Each client's holdings are kept
// apart, so that a client that leaves lets go of exactly what it held, and a
// key two clients hold stays down until both let go. Each user may press
// only so fast, however many connections it opens; releases always pass.
// Runs on the bus side.
class PostedEvents {
public:
    using Clock = std::chrono::steady_clock;
    // Presses a user may post at once, and per second after that.
    static constexpr int kBurst = 256;
    static constexpr int kPerSecond = 256;

    explicit PostedEvents(int descriptor) : fWriter(descriptor) {}

    // Plays what the client posted. kIOReturnNotPermitted when its user
    // presses too fast.
    IOReturn Play(const std::string& client, uid_t uid, const PostedAction& action,
                  Clock::time_point now);
    // Whether the action only lets go of some of what the client holds: such
    // an action can only lower what is held.
    bool OnlyReleases(const std::string& client, const PostedAction& action) const;
    // Everything the client holds is let go (it left the bus, or its session
    // is no longer active).
    void ReleaseAll(const std::string& client);

private:
    struct Holdings {
        std::set<std::uint16_t> keys;
        std::set<std::uint16_t> modifiers;
    };
    struct Allowance {
        double tokens = kBurst;
        Clock::time_point refilled;
    };
    IOReturn Press(Holdings& client, uid_t uid, std::uint16_t code, bool down,
                   Clock::time_point now);
    IOReturn HoldModifiers(Holdings& client, uid_t uid, const std::set<std::uint16_t>& wanted,
                           Clock::time_point now);
    bool Admit(uid_t uid, Clock::time_point now);
    void Hold(std::uint16_t code);
    void Release(std::uint16_t code);

    EventWriter fWriter;
    std::map<std::string, Holdings> fClients;
    std::map<uid_t, Allowance> fAllowances;
    std::map<std::uint16_t, int> fHolders;  // code -> how many clients hold it
};

}  // namespace platform
