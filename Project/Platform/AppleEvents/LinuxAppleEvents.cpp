#include "LinuxAppleEvents.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

namespace platform {
namespace {

OSErr StatusOfError(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::NoError:
            return noErr;
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            return errAETimeout;
        case QDBusError::AccessDenied:
            return errAEPrivilegeError;
        case QDBusError::Disconnected:
        case QDBusError::NoServer:
        case QDBusError::ServiceUnknown:
            return connectionInvalid;
        default:
            return errAEEventFailed;
    }
}

}  // namespace

OSErr LinuxAppleEventBackend::Send(const AppleEvent& event, AESendMode, AESendPriority,
                                   long timeOutInTicks) {
    if (event.eventClass != kCoreEventClass || event.eventID != kAERestart) {
        return errAEEventNotHandled;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return connectionInvalid;
    QDBusMessage reboot =
        QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "Reboot");
    reboot << true;  // interactive: polkit may ask the user
    int timeoutMs = static_cast<int>(timeOutInTicks * 1000 / 60);
    QDBusMessage reply = bus.call(reboot, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage) return noErr;
    return StatusOfError(QDBusError(reply));
}

}  // namespace platform
