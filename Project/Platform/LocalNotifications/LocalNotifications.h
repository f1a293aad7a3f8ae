#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// User info of a local notification: any value under a text key. Readers go
// through the typed helpers below, which treat an entry of another type as
// missing.
using NotificationUserInfo = std::map<std::string, std::any, std::less<>>;

struct NSNotification {
    std::string_view name;
    const void* object = nullptr;  // the sender; null when none was given
    const NotificationUserInfo* userInfo = nullptr;
};

// The entry under key when it holds exactly a T; else null.
template <typename T>
const T* UserInfoValue(const NSNotification& notification, std::string_view key) {
    if (notification.userInfo == nullptr) {
        return nullptr;
    }
    const auto found = notification.userInfo->find(key);
    return found == notification.userInfo->end() ? nullptr : std::any_cast<T>(&found->second);
}

// A numeric or boolean entry as a number; 0 when missing or of another type.
double UserInfoDouble(const NSNotification& notification, std::string_view key);
// A boolean or numeric entry as a boolean (non-zero is true); false when
// missing or of another type.
bool UserInfoBool(const NSNotification& notification, std::string_view key);
// A non-negative integral entry; nothing when missing, negative, fractional or
// of another type.
std::optional<std::uint32_t> UserInfoUnsigned(const NSNotification& notification,
                                              std::string_view key);

// Observers are matched by name and by sender (a null sender matches any).
// A post calls every matching observer, in registration order, before it
// returns; an observation removed during a post is not called any more.
class NSNotificationCenter {
public:
    using Handler = std::function<void(const NSNotification&)>;

    NSNotificationCenter() = default;
    NSNotificationCenter(const NSNotificationCenter&) = delete;
    NSNotificationCenter& operator=(const NSNotificationCenter&) = delete;

    // The process's centre.
    static NSNotificationCenter& defaultCenter();

    void AddObserver(const void* observer, Handler handler, std::string name,
                     const void* sender = nullptr);
    // Removes all of the observer's observations.
    void RemoveObserver(const void* observer);
    void PostNotification(std::string_view name, const void* sender = nullptr,
                          const NotificationUserInfo* userInfo = nullptr);

    std::size_t ObservationCount() const { return fObservations.size(); }

private:
    struct Observation {
        std::uint64_t id;
        const void* observer;
        std::string name;
        const void* sender;
        Handler handler;
    };

    std::vector<Observation> fObservations;
    std::uint64_t fNextId = 1;
};

}  // namespace platform
