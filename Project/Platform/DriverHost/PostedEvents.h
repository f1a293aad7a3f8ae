#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>

#include "EventWriter.h"
#include "IOTypes.h"

namespace platform {

// The host's virtual keyboard, where the events clients post are played:
// keys, modifiers held like keyboard keys (desktops combine modifiers across
// keyboards, so a held modifier applies to the real keyboard's keys) and
// clicks at the current pointer position. Each client's holdings are kept
// apart, so that a client that leaves lets go of exactly what it held, and a
// key two clients hold stays down until both let go. Each client may press
// only so fast; releases always pass. Runs on the bus side.
class PostedEvents {
public:
    using Clock = std::chrono::steady_clock;
    // Presses a client may post at once, and per second after that.
    static constexpr int kBurst = 256;
    static constexpr int kPerSecond = 256;

    explicit PostedEvents(int descriptor) : fWriter(descriptor) {}

    // A key or button (evdev code) pressed or released by the client.
    // kIOReturnNotPermitted when the client presses too fast.
    IOReturn Press(const std::string& client, std::uint16_t code, bool down, Clock::time_point now);
    // The client's held modifier keys become exactly these.
    IOReturn HoldModifiers(const std::string& client, std::span<const std::uint16_t> codes,
                           Clock::time_point now);
    // Everything the client holds is let go (it left the bus).
    void ReleaseAll(const std::string& client);

private:
    struct Client {
        std::set<std::uint16_t> keys;
        std::set<std::uint16_t> modifiers;
        double tokens = kBurst;
        Clock::time_point refilled;
    };
    bool Admit(Client& client, Clock::time_point now);
    void Hold(std::uint16_t code);
    void Release(std::uint16_t code);

    EventWriter fWriter;
    std::map<std::string, Client> fClients;
    std::map<std::uint16_t, int> fHolders;  // code -> how many clients hold it
};

}  // namespace platform
