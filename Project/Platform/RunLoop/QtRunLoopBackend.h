#pragma once

#include <chrono>

#include "RunLoop.h"

namespace platform {

// The run loop of a Qt program: waiting is processing Qt's events until the
// deadline, so that window events, Qt timers and socket notifiers are served
// while the run loop waits, and whatever they post to run loop sources is
// performed as soon as the Qt event batch returns. The clock is monotonic,
// in seconds since the backend was made.
class QtRunLoopBackend final : public RunLoopBackend {
public:
    QtRunLoopBackend();
    CFAbsoluteTime Now() const override;
    WaitResult Wait(std::optional<CFAbsoluteTime> deadline) override;
    void SleepUntil(CFAbsoluteTime date) override;

private:
    std::chrono::steady_clock::time_point fStart;
};

}  // namespace platform
