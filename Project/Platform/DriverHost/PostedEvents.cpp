#include "PostedEvents.h"

#include <linux/input.h>

#include <algorithm>

namespace platform {

bool PostedEvents::Admit(Client& client, Clock::time_point now) {
    const std::chrono::duration<double> elapsed = now - client.refilled;
    client.refilled = now;
    client.tokens = std::min<double>(kBurst, client.tokens + elapsed.count() * kPerSecond);
    if (client.tokens < 1.0) {
        return false;
    }
    client.tokens -= 1.0;
    return true;
}

void PostedEvents::Hold(std::uint16_t code) {
    if (fHolders[code]++ == 0) {
        fWriter.Add(EV_KEY, code, 1);
    }
}

void PostedEvents::Release(std::uint16_t code) {
    auto found = fHolders.find(code);
    if (found != fHolders.end() && --found->second == 0) {
        fHolders.erase(found);
        fWriter.Add(EV_KEY, code, 0);
    }
}

IOReturn PostedEvents::Press(const std::string& client, std::uint16_t code, bool down,
                             Clock::time_point now) {
    auto [entry, added] = fClients.try_emplace(client);
    Client& state = entry->second;
    if (added) {
        state.refilled = now;
    }
    if (!down) {
        if (state.keys.erase(code) != 0) {
            Release(code);
            fWriter.Flush();
        }
        return kIOReturnSuccess;
    }
    if (!Admit(state, now)) {
        return kIOReturnNotPermitted;
    }
    if (state.keys.insert(code).second) {
        Hold(code);
    } else {
        // Pressed again without a release between: a new key stroke.
        fWriter.Add(EV_KEY, code, 0);
        fWriter.Flush();
        fWriter.Add(EV_KEY, code, 1);
    }
    fWriter.Flush();
    return kIOReturnSuccess;
}

IOReturn PostedEvents::HoldModifiers(const std::string& client,
                                     std::span<const std::uint16_t> codes, Clock::time_point now) {
    auto [entry, added] = fClients.try_emplace(client);
    Client& state = entry->second;
    if (added) {
        state.refilled = now;
    }
    const std::set<std::uint16_t> wanted(codes.begin(), codes.end());
    const bool pressesAny = std::any_of(wanted.begin(), wanted.end(), [&](std::uint16_t code) {
        return !state.modifiers.contains(code);
    });
    if (pressesAny && !Admit(state, now)) {
        return kIOReturnNotPermitted;
    }
    for (std::uint16_t code : state.modifiers) {
        if (!wanted.contains(code)) {
            Release(code);
        }
    }
    for (std::uint16_t code : wanted) {
        if (!state.modifiers.contains(code)) {
            Hold(code);
        }
    }
    state.modifiers = wanted;
    fWriter.Flush();
    return kIOReturnSuccess;
}

void PostedEvents::ReleaseAll(const std::string& client) {
    auto found = fClients.find(client);
    if (found == fClients.end()) {
        return;
    }
    for (std::uint16_t code : found->second.keys) {
        Release(code);
    }
    for (std::uint16_t code : found->second.modifiers) {
        Release(code);
    }
    fClients.erase(found);
    fWriter.Flush();
}

}  // namespace platform
