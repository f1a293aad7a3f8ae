#include "SessionBusNotifications.h"

#include <cerrno>
#include <cstring>

#include "BusPropertyList.h"

namespace platform {
namespace {

// A text of at most `limit` bytes.
std::optional<std::string> ReadText(sd_bus_message* message, std::size_t limit) {
    const char* text = nullptr;
    if (sd_bus_message_read_basic(message, 's', &text) <= 0 || std::strlen(text) > limit) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace

SessionBusNotifications::SessionBusNotifications(BusConnection& sessionBus) : fBus(sessionBus) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(fBus.Get(), &slot, nullptr, kNotificationsPath, kNotificationsInterface,
                            kNotificationSignal, &SessionBusNotifications::Received, this) >= 0) {
        fMatch.reset(slot);
    }
}

void SessionBusNotifications::Broadcast(const DistributedNotification& notification,
                                        DistributedNotificationCenter&) {
    sd_bus_message* signal = nullptr;
    if (sd_bus_message_new_signal(fBus.Get(), &signal, kNotificationsPath, kNotificationsInterface,
                                  kNotificationSignal) < 0) {
        return;
    }
    BusMessage owned(signal);
    if (AppendNotification(signal, notification) >= 0) {
        // Out before the poster goes on (or ends): the run loop only
        // watches for incoming messages.
        sd_bus_send(fBus.Get(), signal, nullptr);
        sd_bus_flush(fBus.Get());
    }
}

int SessionBusNotifications::Received(sd_bus_message* message, void*, sd_bus_error*) {
    if (std::optional<DistributedNotification> notification = ReadNotification(message)) {
        CFNotificationCenterGetDistributedCenter()->Deliver(*notification);
    }
    return 0;
}

int AppendNotification(sd_bus_message* message, const DistributedNotification& notification) {
    if (notification.name.size() > kNotificationMaxNameBytes ||
        (notification.object && notification.object->size() > kBusPropertyListMaxStringBytes)) {
        return -E2BIG;
    }
    int result = sd_bus_message_append(message, "s", notification.name.c_str());
    result = result < 0 ? result : sd_bus_message_open_container(message, 'a', "s");
    if (result >= 0 && notification.object) {
        result = sd_bus_message_append(message, "s", notification.object->c_str());
    }
    result = result < 0 ? result : sd_bus_message_close_container(message);
    result = result < 0 ? result : sd_bus_message_open_container(message, 'a', "v");
    if (result >= 0 && notification.userInfo) {
        result = AppendPropertyList(message, *notification.userInfo);
    }
    result = result < 0 ? result : sd_bus_message_close_container(message);
    return result < 0 ? result
                      : sd_bus_message_append(message, "b",
                                              static_cast<int>(notification.deliverImmediately));
}

std::optional<DistributedNotification> ReadNotification(sd_bus_message* message) {
    if (sd_bus_message_rewind(message, 1) < 0 ||
        std::strcmp(sd_bus_message_get_signature(message, 1), "sasavb") != 0) {
        return std::nullopt;
    }
    DistributedNotification notification;
    std::optional<std::string> name = ReadText(message, kNotificationMaxNameBytes);
    if (!name || sd_bus_message_enter_container(message, 'a', "s") <= 0) {
        return std::nullopt;
    }
    notification.name = std::move(*name);
    if (sd_bus_message_at_end(message, 0) == 0) {
        notification.object = ReadText(message, kBusPropertyListMaxStringBytes);
        if (!notification.object || sd_bus_message_at_end(message, 0) == 0) {
            return std::nullopt;
        }
    }
    if (sd_bus_message_exit_container(message) < 0 ||
        sd_bus_message_enter_container(message, 'a', "v") <= 0) {
        return std::nullopt;
    }
    if (sd_bus_message_at_end(message, 0) == 0) {
        BusPropertyListResult userInfo = ReadPropertyList(message);
        if (!userInfo.Ok() || sd_bus_message_at_end(message, 0) == 0) {
            return std::nullopt;
        }
        notification.userInfo = std::move(userInfo.value);
    }
    int immediate = 0;
    if (sd_bus_message_exit_container(message) < 0 ||
        sd_bus_message_read_basic(message, 'b', &immediate) <= 0) {
        return std::nullopt;
    }
    notification.deliverImmediately = immediate != 0;
    return notification;
}

}  // namespace platform
