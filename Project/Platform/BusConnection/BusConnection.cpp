#include "BusConnection.h"

namespace platform {

namespace {
// A peer that does not answer within this long is treated as gone.
constexpr std::uint64_t kCallTimeoutMicroseconds = 5'000'000;
}  // namespace

std::unique_ptr<BusConnection> BusConnection::Open(Bus bus) {
    sd_bus* connection = nullptr;
    const int result =
        bus == Bus::System ? sd_bus_open_system(&connection) : sd_bus_open_user(&connection);
    if (result < 0 || connection == nullptr) {
        return nullptr;
    }
    return std::make_unique<BusConnection>(connection);
}

BusConnection::BusConnection(sd_bus* bus) : fBus(bus), fSource(CreateRunLoopSource()) {}

BusConnection::~BusConnection() {
    if (fLoop != nullptr) {
        CFRunLoopUnwatchDescriptor(fLoop, fWatch);
        CFRunLoopRemoveSource(fLoop, fSource, kCFRunLoopCommonModes);
    }
    fSource->Invalidate();
    sd_bus_flush_close_unref(fBus);
}

bool BusConnection::Attach(CFRunLoopRef loop) {
    fWatch = CFRunLoopWatchDescriptor(loop, Descriptor(), kDescriptorReadable, [this] {
        // A bus that went away would stay readable: stop watching it.
        if (!Dispatch()) {
            CFRunLoopUnwatchDescriptor(fLoop, fWatch);
        }
    });
    if (fWatch == 0) {
        return false;
    }
    fLoop = loop;
    CFRunLoopAddSource(loop, fSource, kCFRunLoopCommonModes);
    // Whatever came with the connection's start is served at once.
    DispatchLater();
    return true;
}

bool BusConnection::Dispatch() {
    int result = 0;
    do {
        result = sd_bus_process(fBus, nullptr);
    } while (result > 0);
    return result >= 0 && sd_bus_is_open(fBus) > 0;
}

void BusConnection::DispatchLater() {
    if (fDispatchQueued) {
        return;
    }
    fDispatchQueued = true;
    fSource->Post([this] {
        fDispatchQueued = false;
        Dispatch();
    });
}

BusMessage BusConnection::NewCall(const char* destination, const char* path, const char* interface,
                                  const char* member) {
    sd_bus_message* message = nullptr;
    if (sd_bus_message_new_method_call(fBus, &message, destination, path, interface, member) < 0) {
        return nullptr;
    }
    return BusMessage(message);
}

BusMessage BusConnection::Call(sd_bus_message* request, std::string* error) {
    if (request == nullptr) {
        return nullptr;
    }
    sd_bus_error callError{};
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call(fBus, request, kCallTimeoutMicroseconds, &callError, &reply);
    if (result < 0 && error != nullptr) {
        *error = callError.name != nullptr ? callError.name : "";
    }
    sd_bus_error_free(&callError);
    DispatchLater();
    return result < 0 ? nullptr : BusMessage(reply);
}

}  // namespace platform
