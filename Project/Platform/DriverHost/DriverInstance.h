#pragma once

#include <linux/input.h>

#include <cstdint>
#include <memory>

#include "HostMessageQueue.h"
#include "InputFrames.h"
#include "VirtualPointer.h"

class com_halvorin_OrvandelDriver;

namespace platform {

// One driver instance serving one mouse: created through the loaded module's
// personalities like any kernel instance, fed the mouse's evdev events, and
// delivering to its virtual pointer. Its client messages, its appearance and
// its end go to the bus side through the queue.
//
// Threads: created, fed and ended on the event thread.
class DriverInstance {
public:
    // Null when no personality of a loaded module matches the ids.
    static std::unique_ptr<DriverInstance> Start(std::uint32_t vendorId, std::uint32_t productId,
                                                 int pointerDescriptor,
                                                 const AccelerationGains& gains,
                                                 HostMessageQueue& messages);
    // Ends the instance if End was not called.
    ~DriverInstance();
    DriverInstance(const DriverInstance&) = delete;
    DriverInstance& operator=(const DriverInstance&) = delete;

    void Feed(const input_event& event) { fFrames.Feed(event); }
    // The device went away: the driver sees every button let go, the clients
    // hear of the termination, the virtual pointer releases what it still
    // holds. Idempotent.
    void End();
    std::uint64_t RegistryId() const { return fRegistryId; }

private:
    DriverInstance(com_halvorin_OrvandelDriver* driver, int pointerDescriptor,
                   const AccelerationGains& gains, HostMessageQueue& messages);

    com_halvorin_OrvandelDriver* fDriver;
    HostMessageQueue& fMessages;
    VirtualPointer fPointer;
    InputFrames fFrames;
    std::uint64_t fRegistryId;
};

// Feeds the driver every whole event readable on the descriptor without
// blocking. False when the other end is gone or reading failed.
bool FeedRawEvents(int descriptor, DriverInstance& instance);

}  // namespace platform
