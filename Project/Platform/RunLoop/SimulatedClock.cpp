#include "SimulatedClock.h"

#include <algorithm>

namespace platform {

void SimulatedClock::Schedule(CFAbsoluteTime when, std::function<void()> event) {
    if (event) {
        fEvents.emplace(std::pair(std::max(when, fNow), fNextSequence++), std::move(event));
    }
}

bool SimulatedClock::PerformNextEventDueBy(CFAbsoluteTime date) {
    if (fEvents.empty() || fEvents.begin()->first.first > date) {
        return false;
    }
    auto next = fEvents.begin();
    fNow = std::max(fNow, next->first.first);
    std::function<void()> event = std::move(next->second);
    fEvents.erase(next);
    event();
    return true;
}

RunLoopBackend::WaitResult SimulatedClock::Wait(std::optional<CFAbsoluteTime> deadline) {
    if (!deadline) {
        return PerformNextEventDueBy(fEvents.empty() ? fNow : fEvents.begin()->first.first)
                   ? WaitResult::Woken
                   : WaitResult::Idle;
    }
    if (PerformNextEventDueBy(*deadline)) {
        return WaitResult::Woken;
    }
    fNow = std::max(fNow, *deadline);
    return WaitResult::TimedOut;
}

void SimulatedClock::SleepUntil(CFAbsoluteTime date) {
    AdvanceTo(date);
}

void SimulatedClock::AdvanceTo(CFAbsoluteTime date) {
    while (PerformNextEventDueBy(date)) {
    }
    fNow = std::max(fNow, date);
}

}  // namespace platform
