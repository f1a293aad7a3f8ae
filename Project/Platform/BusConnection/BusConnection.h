#pragma once

#include <systemd/sd-bus.h>

#include <memory>
#include <optional>
#include <string>

#include "RunLoop.h"

namespace platform {

struct BusMessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusMessage = std::unique_ptr<sd_bus_message, BusMessageUnref>;

struct BusSlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
// A match or a method call in flight; dropping it ends it.
using BusSlot = std::unique_ptr<sd_bus_slot, BusSlotUnref>;

// One sd-bus connection served by the program's run loop (whichever backend
// it runs on: epoll in the agent, Qt's in the pane): once attached, the loop
// watches the connection's descriptor and dispatches what arrives. Messages
// read while a synchronous call waited for its reply are dispatched from the
// run loop right after, through the connection's source.
class BusConnection {
public:
    enum class Bus { System, Session };

    // None when the bus cannot be reached. DBUS_SYSTEM_BUS_ADDRESS and
    // DBUS_SESSION_BUS_ADDRESS choose the buses, as everywhere.
    static std::unique_ptr<BusConnection> Open(Bus bus);
    explicit BusConnection(sd_bus* bus);
    ~BusConnection();
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;

    // Served by the loop from now on; false when the loop cannot watch
    // descriptors. Detached again when destroyed.
    bool Attach(CFRunLoopRef loop);

    sd_bus* Get() const { return fBus; }
    int Descriptor() const { return sd_bus_get_fd(fBus); }
    // Handles every message the connection holds; false once the connection
    // is closed (the peer bus went away).
    bool Dispatch();
    // The run loop source that carries the deferred dispatches.
    const CFRunLoopSourceRef& Source() const { return fSource; }

    // A method call that waits for its reply; none on an error, which is
    // then in `error` when given.
    BusMessage Call(sd_bus_message* request, std::string* error = nullptr);
    // A new method call to fill with arguments.
    BusMessage NewCall(const char* destination, const char* path, const char* interface,
                       const char* member);

private:
    void DispatchLater();

    sd_bus* fBus;
    CFRunLoopSourceRef fSource;
    CFRunLoopRef fLoop = nullptr;
    WatchId fWatch = 0;
    bool fDispatchQueued = false;
};

// The reply's only argument of a basic type, read with sd_bus_message_read_basic.
template <typename T>
std::optional<T> ReadBasic(sd_bus_message* message, char type) {
    T value{};
    if (message == nullptr || sd_bus_message_read_basic(message, type, &value) <= 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace platform
