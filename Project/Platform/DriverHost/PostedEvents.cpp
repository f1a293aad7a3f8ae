#include "PostedEvents.h"

#include <linux/input.h>

#include <algorithm>

namespace platform {

bool PostedEvents::Admit(uid_t uid, Clock::time_point now) {
    auto [entry, added] = fAllowances.try_emplace(uid);
    Allowance& allowance = entry->second;
    if (added) {
        allowance.refilled = now;
    }
    const std::chrono::duration<double> elapsed = now - allowance.refilled;
    allowance.refilled = now;
    allowance.tokens = std::min<double>(kBurst, allowance.tokens + elapsed.count() * kPerSecond);
    if (allowance.tokens < 1.0) {
        return false;
    }
    allowance.tokens -= 1.0;
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

IOReturn PostedEvents::Play(const std::string& client, uid_t uid, const PostedAction& action,
                            Clock::time_point now) {
    Holdings& holdings = fClients[client];
    const IOReturn status =
        action.kind == PostedAction::Kind::Modifiers
            ? HoldModifiers(holdings, uid, {action.modifiers.begin(), action.modifiers.end()}, now)
            : Press(holdings, uid, action.code, action.down, now);
    if (holdings.keys.empty() && holdings.modifiers.empty()) {
        fClients.erase(client);
    }
    return status;
}

bool PostedEvents::OnlyReleases(const std::string& client, const PostedAction& action) const {
    const auto found = fClients.find(client);
    if (found == fClients.end()) {
        return false;
    }
    const Holdings& holdings = found->second;
    if (action.kind == PostedAction::Kind::Press) {
        return !action.down && holdings.keys.contains(action.code);
    }
    const std::set<std::uint16_t> wanted(action.modifiers.begin(), action.modifiers.end());
    return wanted.size() < holdings.modifiers.size() &&
           std::includes(holdings.modifiers.begin(), holdings.modifiers.end(), wanted.begin(),
                         wanted.end());
}

IOReturn PostedEvents::Press(Holdings& client, uid_t uid, std::uint16_t code, bool down,
                             Clock::time_point now) {
    if (!down) {
        if (client.keys.erase(code) != 0) {
            Release(code);
            fWriter.Flush();
        }
        return kIOReturnSuccess;
    }
    if (!Admit(uid, now)) {
        return kIOReturnNotPermitted;
    }
    if (client.keys.insert(code).second) {
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

IOReturn PostedEvents::HoldModifiers(Holdings& client, uid_t uid,
                                     const std::set<std::uint16_t>& wanted, Clock::time_point now) {
    const bool pressesAny = std::any_of(wanted.begin(), wanted.end(), [&](std::uint16_t code) {
        return !client.modifiers.contains(code);
    });
    if (pressesAny && !Admit(uid, now)) {
        return kIOReturnNotPermitted;
    }
    for (std::uint16_t code : client.modifiers) {
        if (!wanted.contains(code)) {
            Release(code);
        }
    }
    for (std::uint16_t code : wanted) {
        if (!client.modifiers.contains(code)) {
            Hold(code);
        }
    }
    client.modifiers = wanted;
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
