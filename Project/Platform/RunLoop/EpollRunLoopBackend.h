#pragma once

#include <map>
#include <memory>

#include "RunLoop.h"

namespace platform {

// The real machine: CLOCK_MONOTONIC in seconds, waiting in epoll_wait with a
// timerfd armed for the deadline (disarmed when there is none, so an idle
// program sleeps without wake-ups), descriptor watches served from the wait.
class EpollRunLoopBackend final : public RunLoopBackend {
public:
    EpollRunLoopBackend();
    ~EpollRunLoopBackend() override;
    EpollRunLoopBackend(const EpollRunLoopBackend&) = delete;
    EpollRunLoopBackend& operator=(const EpollRunLoopBackend&) = delete;

    // False when the kernel refused the epoll or timer descriptor; then every
    // wait reports Idle and every watch is refused.
    bool IsUsable() const { return fEpoll >= 0 && fTimer >= 0; }

    CFAbsoluteTime Now() const override;
    WaitResult Wait(std::optional<CFAbsoluteTime> deadline) override;
    void SleepUntil(CFAbsoluteTime date) override;
    WatchId WatchDescriptor(int descriptor, std::uint32_t events,
                            std::function<void()> ready) override;
    void Unwatch(WatchId watch) override;

private:
    struct Watch {
        int descriptor;
        std::function<void()> ready;
    };
    bool ArmTimer(std::optional<CFAbsoluteTime> deadline);

    int fEpoll = -1;
    int fTimer = -1;
    std::optional<CFAbsoluteTime> fArmed;
    WatchId fNextWatch = 1;
    // Shared so that a callback may end its own watch while it runs.
    std::map<WatchId, std::shared_ptr<Watch>> fWatches;
};

}  // namespace platform
