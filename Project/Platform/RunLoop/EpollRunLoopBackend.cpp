#include "EpollRunLoopBackend.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace platform {
namespace {

// epoll data of the timer; watch ids start at 1.
constexpr std::uint64_t kTimerTag = 0;
// Ready descriptors taken per wait; more simply show up at the next wait.
constexpr int kEventsPerWait = 16;

timespec ToTimespec(CFAbsoluteTime seconds) {
    // Rounded up, so that Now() has reached the date when the timer fires; a
    // zero it_value would disarm the timer, so the earliest date is 1 ns.
    const double whole = std::floor(std::max(seconds, 0.0));
    timespec spec{};
    spec.tv_sec = static_cast<time_t>(whole);
    spec.tv_nsec = static_cast<long>(std::ceil((std::max(seconds, 0.0) - whole) * 1e9));
    if (spec.tv_nsec >= 1000000000L) {
        ++spec.tv_sec;
        spec.tv_nsec = 0;
    }
    if (spec.tv_sec == 0 && spec.tv_nsec == 0) spec.tv_nsec = 1;
    return spec;
}

void CloseDescriptor(int& descriptor) {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}

}  // namespace

EpollRunLoopBackend::EpollRunLoopBackend()
    : fEpoll(epoll_create1(EPOLL_CLOEXEC)),
      fTimer(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kTimerTag;
    if (!IsUsable() || epoll_ctl(fEpoll, EPOLL_CTL_ADD, fTimer, &event) < 0) {
        CloseDescriptor(fEpoll);
        CloseDescriptor(fTimer);
    }
}

EpollRunLoopBackend::~EpollRunLoopBackend() {
    CloseDescriptor(fEpoll);
    CloseDescriptor(fTimer);
}

CFAbsoluteTime EpollRunLoopBackend::Now() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool EpollRunLoopBackend::ArmTimer(std::optional<CFAbsoluteTime> deadline) {
    if (deadline == fArmed) return true;
    itimerspec spec{};
    if (deadline) spec.it_value = ToTimespec(*deadline);
    if (timerfd_settime(fTimer, TFD_TIMER_ABSTIME, &spec, nullptr) < 0) return false;
    fArmed = deadline;
    return true;
}

RunLoopBackend::WaitResult EpollRunLoopBackend::Wait(std::optional<CFAbsoluteTime> deadline) {
    if (!IsUsable() || (!deadline && fWatches.empty())) return WaitResult::Idle;
    // A deadline already passed only polls; so does one the timer cannot take.
    const bool passed = deadline && (*deadline <= Now() || !ArmTimer(deadline));
    if (!deadline) ArmTimer(std::nullopt);

    // On the stack: a callback may run a nested loop that waits again.
    std::array<epoll_event, kEventsPerWait> events;
    const int count = epoll_wait(fEpoll, events.data(), kEventsPerWait, passed ? 0 : -1);
    if (count < 0) return errno == EINTR ? WaitResult::Woken : WaitResult::Idle;

    bool timedOut = passed;
    bool served = false;
    for (int i = 0; i < count; ++i) {
        if (events[i].data.u64 == kTimerTag) {
            std::uint64_t expirations = 0;
            if (read(fTimer, &expirations, sizeof expirations) > 0) fArmed.reset();
            timedOut = true;
            continue;
        }
        // Ended by an earlier callback of this batch: nothing to serve.
        auto found = fWatches.find(events[i].data.u64);
        if (found == fWatches.end()) continue;
        std::shared_ptr<Watch> watch = found->second;
        watch->ready();
        served = true;
    }
    return served || !timedOut ? WaitResult::Woken : WaitResult::TimedOut;
}

void EpollRunLoopBackend::SleepUntil(CFAbsoluteTime date) {
    const timespec until = ToTimespec(date);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

WatchId EpollRunLoopBackend::WatchDescriptor(int descriptor, std::uint32_t events,
                                             std::function<void()> ready) {
    epoll_event event{};
    if (events & kDescriptorReadable) event.events |= EPOLLIN;
    if (events & kDescriptorWritable) event.events |= EPOLLOUT;
    if (!IsUsable() || !ready || event.events == 0) return 0;
    const WatchId id = fNextWatch++;
    event.data.u64 = id;
    if (epoll_ctl(fEpoll, EPOLL_CTL_ADD, descriptor, &event) < 0) return 0;
    fWatches.emplace(id, std::make_shared<Watch>(Watch{descriptor, std::move(ready)}));
    return id;
}

void EpollRunLoopBackend::Unwatch(WatchId watch) {
    auto found = fWatches.find(watch);
    if (found == fWatches.end()) return;
    // Fails harmlessly when the descriptor was closed already.
    epoll_ctl(fEpoll, EPOLL_CTL_DEL, found->second->descriptor, nullptr);
    fWatches.erase(found);
}

}  // namespace platform
