#include "LinuxAppleEvents.h"

#include <systemd/sd-bus.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <string>

#include "Logging.h"

namespace platform {
namespace {

constexpr std::uint64_t kMicrosecondsPerTick = 1000000 / 60;

OSErr StatusOfErrno(int negativeErrno) {
    switch (-negativeErrno) {
        case EACCES:
        case EPERM:
            return errAEPrivilegeError;
        case ENOENT:
        case ECONNREFUSED:
        case ECONNRESET:
        case ENOTCONN:
        case EPIPE:
            return connectionInvalid;
        case ETIMEDOUT:
            return errAETimeout;
        default:
            return errAEEventFailed;
    }
}

// logind's answer, if it comes while the event loop runs.
int LogRefusedRestart(sd_bus_message* reply, void*, sd_bus_error*) {
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        SystemLog(std::string("Restart request refused: ") + (error->name ? error->name : "") +
                  (error->message ? std::string(": ") + error->message : std::string()));
    }
    return 0;
}

}  // namespace

// The connection to the system bus, opened on first use (the address comes
// from DBUS_SYSTEM_BUS_ADDRESS when it is set) and read from the Qt event loop
// of the application, when there is one.
class LinuxAppleEventBackend::SystemBus {
public:
    SystemBus() = default;
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;
    ~SystemBus() { Close(); }

    sd_bus* Open() {
        if (fBus != nullptr && sd_bus_is_open(fBus) > 0) return fBus;
        Close();
        if (sd_bus_open_system(&fBus) < 0) {
            fBus = nullptr;
            return nullptr;
        }
        return fBus;
    }

    // Reads what has arrived; called once the request is out and whenever
    // the socket has more.
    void Watch() {
        if (fNotifier == nullptr && QCoreApplication::instance() != nullptr) {
            const int descriptor = sd_bus_get_fd(fBus);
            if (descriptor >= 0) {
                // The application owns the notifier, so that it goes before
                // the event loop does.
                fNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read,
                                                QCoreApplication::instance());
                QObject::connect(fNotifier, &QSocketNotifier::activated, [this] { Process(); });
            }
        }
        Process();
    }

private:
    void Process() {
        int result = 0;
        while ((result = sd_bus_process(fBus, nullptr)) > 0) {
        }
        // A closed connection stays readable: stop watching it; the next
        // request opens a new one.
        if (result < 0 && fNotifier != nullptr) fNotifier->setEnabled(false);
    }

    void Close() {
        delete fNotifier.data();
        fBus = sd_bus_flush_close_unref(fBus);
    }

    sd_bus* fBus = nullptr;
    QPointer<QSocketNotifier> fNotifier;
};

LinuxAppleEventBackend::LinuxAppleEventBackend() : fBus(std::make_unique<SystemBus>()) {}

LinuxAppleEventBackend::~LinuxAppleEventBackend() = default;

OSErr LinuxAppleEventBackend::Send(const AppleEvent& event, AESendMode, AESendPriority,
                                   long timeOutInTicks) {
    if (event.eventClass != kCoreEventClass || event.eventID != kAERestart) {
        return errAEEventNotHandled;
    }
    sd_bus* bus = fBus->Open();
    if (bus == nullptr) return connectionInvalid;

    sd_bus_message* reboot = nullptr;
    int result = sd_bus_message_new_method_call(bus, &reboot, "org.freedesktop.login1",
                                                "/org/freedesktop/login1",
                                                "org.freedesktop.login1.Manager", "Reboot");
    if (result >= 0) result = sd_bus_message_append(reboot, "b", 1);  // polkit may ask the user
    if (result >= 0) {
        const auto timeout = static_cast<std::uint64_t>(timeOutInTicks > 0 ? timeOutInTicks : 0) *
                             kMicrosecondsPerTick;
        result = sd_bus_call_async(bus, nullptr, reboot, LogRefusedRestart, nullptr, timeout);
    }
    sd_bus_message_unref(reboot);
    // Out on the socket before the caller quits; the answer is not awaited.
    if (result >= 0) result = sd_bus_flush(bus);
    if (result < 0) return StatusOfErrno(result);
    fBus->Watch();
    return noErr;
}

}  // namespace platform
