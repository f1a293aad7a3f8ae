#pragma once

#include <optional>

#include "BusConnection.h"
#include "DistributedNotifications.h"

namespace platform {

// The channel between the user's processes on the D-Bus session bus: one
// broadcast signal per post, received by every process of the session that
// listens (the poster too, as the channel promises).
//
//   path /org/halvorin/Notifications, interface org.halvorin.Notifications1,
//   signal Notification(s name, as object, av userInfo, b immediate)
//
// `object` and `userInfo` hold no element when the poster gave none and one
// otherwise; the user info is a property list as a variant (a{sv} for the
// dictionaries the programs post).
inline constexpr const char* kNotificationsPath = "/org/halvorin/Notifications";
inline constexpr const char* kNotificationsInterface = "org.halvorin.Notifications1";
inline constexpr const char* kNotificationSignal = "Notification";
inline constexpr std::size_t kNotificationMaxNameBytes = 256;

class SessionBusNotifications final : public DistributedNotificationBackend {
public:
    explicit SessionBusNotifications(BusConnection& sessionBus);

    void Broadcast(const DistributedNotification& notification,
                   DistributedNotificationCenter& center) override;

private:
    static int Received(sd_bus_message* message, void* self, sd_bus_error* error);

    BusConnection& fBus;
    BusSlot fMatch;
};

// Writes the signal's arguments; a negative errno when the notification does
// not fit the channel (the message must then be dropped).
int AppendNotification(sd_bus_message* message, const DistributedNotification& notification);
// Reads the signal's arguments; none for anything malformed, mistyped or over
// a bound, which is dropped whole.
std::optional<DistributedNotification> ReadNotification(sd_bus_message* message);

}  // namespace platform
