#pragma once

#include <QSocketNotifier>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "RunLoop.h"

namespace platform {

// The run loop of a Qt program: waiting is processing Qt's events until the
// deadline, so that window events, Qt timers and socket notifiers are served
// while the run loop waits, and whatever they post to run loop sources is
// performed as soon as the Qt event batch returns. The clock is monotonic,
// in seconds since the backend was made. Descriptors are watched by Qt's
// socket notifiers, so a bus connection is served while the run loop waits.
class QtRunLoopBackend final : public RunLoopBackend {
public:
    QtRunLoopBackend();
    CFAbsoluteTime Now() const override;
    WaitResult Wait(std::optional<CFAbsoluteTime> deadline) override;
    void SleepUntil(CFAbsoluteTime date) override;
    // Socket notifiers of Qt's event loop, level-triggered as Qt's are.
    WatchId WatchDescriptor(int descriptor, std::uint32_t events,
                            std::function<void()> ready) override;
    void Unwatch(WatchId watch) override;

private:
    struct Watch {
        int descriptor = -1;
        std::function<void()> ready;
        std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    };
    void Fire(WatchId watch);

    std::chrono::steady_clock::time_point fStart;
    std::map<WatchId, Watch> fWatches;
    WatchId fNextWatch = 1;
    // Notifiers of ended watches, kept until no callback of theirs can be
    // running (the next wait), since a watch may end from its own callback.
    std::vector<std::unique_ptr<QSocketNotifier>> fRetired;
};

}  // namespace platform
