#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "RunLoop.h"

namespace platform {

// Virtual time plus the events of the world outside the program (a mouse
// plugged in, a signal, a report from the kernel). World events happen when
// their time comes, also while the program's thread sleeps, but whatever they
// post waits for the run loop. Time passes only when the program waits or
// sleeps, so tests run instantly and in a deterministic order.
class SimulatedClock final : public RunLoopBackend {
public:
    explicit SimulatedClock(CFAbsoluteTime start = 0.0) : fNow(start) {}

    CFAbsoluteTime Now() const override { return fNow; }
    WaitResult Wait(std::optional<CFAbsoluteTime> deadline) override;
    void SleepUntil(CFAbsoluteTime date) override;

    // Schedules a world event; events of the same time happen in the order
    // they were scheduled. A time in the past means now.
    void Schedule(CFAbsoluteTime when, std::function<void()> event);
    // Lets time pass to `date`, performing the world events due by then.
    void AdvanceTo(CFAbsoluteTime date);
    bool HasScheduledEvents() const { return !fEvents.empty(); }

private:
    bool PerformNextEventDueBy(CFAbsoluteTime date);

    CFAbsoluteTime fNow;
    std::uint64_t fNextSequence = 0;
    std::multimap<std::pair<CFAbsoluteTime, std::uint64_t>, std::function<void()>> fEvents;
};

}  // namespace platform
