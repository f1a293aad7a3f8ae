#include "LocalNotifications.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {
namespace {

template <typename T>
bool Read(const NSNotification& notification, std::string_view key, std::optional<double>& out) {
    const T* entry = UserInfoValue<T>(notification, key);
    if (entry != nullptr) {
        out = static_cast<double>(*entry);
    }
    return entry != nullptr;
}

// Senders put numbers in as whatever type they had at hand.
std::optional<double> AnyNumber(const NSNotification& notification, std::string_view key) {
    std::optional<double> value;
    Read<double>(notification, key, value) || Read<bool>(notification, key, value) ||
        Read<float>(notification, key, value) || Read<int>(notification, key, value) ||
        Read<unsigned>(notification, key, value) || Read<long>(notification, key, value) ||
        Read<unsigned long>(notification, key, value) ||
        Read<long long>(notification, key, value) ||
        Read<unsigned long long>(notification, key, value);
    return value;
}

}  // namespace

double UserInfoDouble(const NSNotification& notification, std::string_view key) {
    return AnyNumber(notification, key).value_or(0.0);
}

bool UserInfoBool(const NSNotification& notification, std::string_view key) {
    return AnyNumber(notification, key).value_or(0.0) != 0.0;
}

std::optional<std::uint32_t> UserInfoUnsigned(const NSNotification& notification,
                                              std::string_view key) {
    const std::optional<double> value = AnyNumber(notification, key);
    if (!value || *value < 0.0 || *value != std::floor(*value) ||
        *value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

NSNotificationCenter& NSNotificationCenter::defaultCenter() {
    static NSNotificationCenter center;
    return center;
}

void NSNotificationCenter::AddObserver(const void* observer, Handler handler, std::string name,
                                       const void* sender) {
    fObservations.push_back({fNextId++, observer, std::move(name), sender, std::move(handler)});
}

void NSNotificationCenter::RemoveObserver(const void* observer) {
    std::erase_if(fObservations, [&](const Observation& o) { return o.observer == observer; });
}

void NSNotificationCenter::PostNotification(std::string_view name, const void* sender,
                                            const NotificationUserInfo* userInfo) {
    // Handlers may add or remove observations while the post runs: walk a list
    // of ids and look each one up again before calling it.
    std::vector<std::uint64_t> matching;
    for (const Observation& observation : fObservations) {
        if (observation.name == name &&
            (observation.sender == nullptr || observation.sender == sender)) {
            matching.push_back(observation.id);
        }
    }
    const NSNotification notification{name, sender, userInfo};
    for (std::uint64_t id : matching) {
        const auto found = std::find_if(fObservations.begin(), fObservations.end(),
                                        [&](const Observation& o) { return o.id == id; });
        if (found != fObservations.end()) {
            Handler handler = found->handler;  // the observation may go away meanwhile
            handler(notification);
        }
    }
}

}  // namespace platform
