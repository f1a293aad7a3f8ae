#pragma once

#include <deque>

#include "BusConnection.h"
#include "HIDSystem.h"
#include "RunLoop.h"

namespace platform {

// Posting and accelerations through the driver host's HID system object.
// Posts do not wait for the host's answer (the next one follows right away,
// in order on the one connection; a refusal is logged once); the program
// never waits for the host on its way from a button to a key. They go out
// at once while they come in small bursts; a longer run (a recorded
// keystroke sequence) is paced by a run loop timer so that the readers of the
// host's virtual keyboard never see their input buffer overflow. Nothing
// sleeps: a paced post is queued, and its order with the other posts is kept.
// Refusals are logged one line per burst, with their count.
class DriverHostHIDSystem final : public HIDSystemBackend {
public:
    // Posts sent back to back before pacing starts, and the pace after that.
    static constexpr int kBurst = 16;
    static constexpr CFTimeInterval kInterval = 0.004;
    // A burst of refusals: from the first until this much later.
    static constexpr CFTimeInterval kRefusalBurst = 1.0;

    explicit DriverHostHIDSystem(BusConnection& systemBus) : fBus(systemBus) {}
    ~DriverHostHIDSystem() override;

    IOReturn PostEvent(const HIDPostedEvent& event) override;
    IOReturn SetAcceleration(std::string_view key, double acceleration) override;

    // Sends whatever is queued now (the program is about to end).
    void Flush();
    std::size_t QueuedCount() const { return fQueue.size(); }

private:
    IOReturn Send(const HIDPostedEvent& event);
    // Counts refusals; the end of a burst logs them.
    static int Answered(sd_bus_message* reply, void* unused, sd_bus_error* error);
    void Refill();
    void SendQueued(const CFRunLoopTimerRef& timer);

    BusConnection& fBus;
    std::deque<HIDPostedEvent> fQueue;
    CFRunLoopTimerRef fTimer;
    double fTokens = kBurst;
    CFAbsoluteTime fRefilledAt = 0.0;
};

}  // namespace platform
