#include "RunLoop.h"

#include <algorithm>

#include "SimulatedClock.h"

namespace platform {
namespace {

// One order for the work of every source and every timer of the program.
std::uint64_t NextSequence() {
    static std::uint64_t sequence = 0;
    return ++sequence;
}

struct Current {
    std::unique_ptr<RunLoopBackend> backend = std::make_unique<SimulatedClock>();
    std::unique_ptr<RunLoop> loop = std::make_unique<RunLoop>(*backend);
};

Current& TheCurrent() {
    static Current current;
    return current;
}

}  // namespace

void RunLoopSource::Post(std::function<void()> work) {
    if (fValid && work) {
        fQueue.emplace_back(NextSequence(), std::move(work));
    }
}

void RunLoopSource::Invalidate() {
    fValid = false;
    fQueue.clear();
}

std::optional<std::uint64_t> RunLoopSource::OldestSequence() const {
    if (fQueue.empty()) {
        return std::nullopt;
    }
    return fQueue.front().first;
}

std::function<void()> RunLoopSource::Take() {
    std::function<void()> work = std::move(fQueue.front().second);
    fQueue.pop_front();
    return work;
}

CFRunLoopSourceRef CreateRunLoopSource() {
    return std::make_shared<RunLoopSource>();
}

RunLoopTimer::RunLoopTimer(CFAbsoluteTime fireDate, CFTimeInterval interval,
                           RunLoopTimerCallback callback)
    : fFireDate(fireDate),
      fInterval(interval),
      fCallback(std::move(callback)),
      fSequence(NextSequence()) {}

WatchId RunLoopBackend::WatchDescriptor(int, std::uint32_t, std::function<void()>) {
    return 0;
}

void RunLoopBackend::Unwatch(WatchId) {}

void RunLoop::AddSource(const CFRunLoopSourceRef& source, CFRunLoopMode mode) {
    if (source && !ContainsSource(source, mode)) {
        fSources.push_back({source, mode});
    }
}

void RunLoop::RemoveSource(const CFRunLoopSourceRef& source, CFRunLoopMode mode) {
    std::erase_if(fSources,
                  [&](const Registration& r) { return r.source == source && r.mode == mode; });
}

bool RunLoop::ContainsSource(const CFRunLoopSourceRef& source, CFRunLoopMode mode) const {
    return std::any_of(fSources.begin(), fSources.end(),
                       [&](const Registration& r) { return r.source == source && r.mode == mode; });
}

void RunLoop::AddTimer(const CFRunLoopTimerRef& timer, CFRunLoopMode) {
    if (timer && std::find(fTimers.begin(), fTimers.end(), timer) == fTimers.end()) {
        fTimers.push_back(timer);
    }
}

void RunLoop::Run() {
    RunUntil(std::nullopt);
}

void RunLoop::RunUntilIdle() {
    RunUntil(Now());
}

void RunLoop::RunFor(CFTimeInterval duration) {
    RunUntil(Now() + std::max(duration, 0.0));
}

void RunLoop::Stop() {
    if (fDepth > 0) {
        fStopRequested = true;
    }
}

void RunLoop::RunUntil(std::optional<CFAbsoluteTime> deadline) {
    ++fDepth;
    fStopRequested = false;
    while (!fStopRequested) {
        if (FireDueTimer() || PerformOldestWork()) {
            continue;
        }
        std::optional<CFAbsoluteTime> wakeAt = NextTimerDate();
        if (deadline && (!wakeAt || *deadline < *wakeAt)) {
            wakeAt = deadline;
        }
        RunLoopBackend::WaitResult result = fBackend.Wait(wakeAt);
        if (result == RunLoopBackend::WaitResult::Idle) {
            break;
        }
        if (result == RunLoopBackend::WaitResult::TimedOut && deadline && Now() >= *deadline &&
            !FireDueTimer()) {
            break;
        }
    }
    fStopRequested = false;
    --fDepth;
}

bool RunLoop::FireDueTimer() {
    std::erase_if(fTimers, [](const CFRunLoopTimerRef& t) { return !t->IsValid(); });
    auto due = std::min_element(
        fTimers.begin(), fTimers.end(), [](const CFRunLoopTimerRef& a, const CFRunLoopTimerRef& b) {
            return std::pair(a->fFireDate, a->fSequence) < std::pair(b->fFireDate, b->fSequence);
        });
    if (due == fTimers.end() || (*due)->fFireDate > Now()) {
        return false;
    }
    CFRunLoopTimerRef timer = *due;
    if (timer->fInterval > 0.0) {
        // A late timer fires once and then keeps its rhythm.
        while (timer->fFireDate <= Now()) {
            timer->fFireDate += timer->fInterval;
        }
        timer->fSequence = NextSequence();
    } else {
        timer->Invalidate();
    }
    if (timer->fCallback) {
        timer->fCallback(timer);
    }
    return true;
}

bool RunLoop::PerformOldestWork() {
    CFRunLoopSourceRef oldest;
    std::uint64_t oldestSequence = 0;
    for (const Registration& registration : fSources) {
        std::optional<std::uint64_t> sequence = registration.source->OldestSequence();
        if (sequence && (!oldest || *sequence < oldestSequence)) {
            oldest = registration.source;
            oldestSequence = *sequence;
        }
    }
    if (!oldest) {
        return false;
    }
    // The source stays alive while its work runs, even if the work drops it.
    std::function<void()> work = oldest->Take();
    work();
    return true;
}

std::optional<CFAbsoluteTime> RunLoop::NextTimerDate() {
    std::optional<CFAbsoluteTime> next;
    for (const CFRunLoopTimerRef& timer : fTimers) {
        if (timer->IsValid() && (!next || timer->fFireDate < *next)) {
            next = timer->fFireDate;
        }
    }
    return next;
}

CFRunLoopRef CFRunLoopGetCurrent() {
    return TheCurrent().loop.get();
}

CFRunLoopRef CFRunLoopGetMain() {
    return TheCurrent().loop.get();
}

void CFRunLoopRun() {
    CFRunLoopGetCurrent()->Run();
}

void CFRunLoopStop(CFRunLoopRef loop) {
    if (loop != nullptr) {
        loop->Stop();
    }
}

void CFRunLoopAddSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, CFRunLoopMode mode) {
    if (loop != nullptr) {
        loop->AddSource(source, mode);
    }
}

void CFRunLoopRemoveSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source,
                           CFRunLoopMode mode) {
    if (loop != nullptr) {
        loop->RemoveSource(source, mode);
    }
}

bool CFRunLoopContainsSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source,
                             CFRunLoopMode mode) {
    return loop != nullptr && loop->ContainsSource(source, mode);
}

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       RunLoopTimerCallback callback) {
    return std::make_shared<RunLoopTimer>(fireDate, interval, std::move(callback));
}

void CFRunLoopAddTimer(CFRunLoopRef loop, const CFRunLoopTimerRef& timer, CFRunLoopMode mode) {
    if (loop != nullptr) {
        loop->AddTimer(timer, mode);
    }
}

void CFRunLoopTimerInvalidate(const CFRunLoopTimerRef& timer) {
    if (timer) {
        timer->Invalidate();
    }
}

CFAbsoluteTime CFAbsoluteTimeGetCurrent() {
    return TheCurrent().backend->Now();
}

void PerformAfterDelay(CFTimeInterval delay, std::function<void()> work) {
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    CFRunLoopAddTimer(loop,
                      CFRunLoopTimerCreate(loop->Now() + std::max(delay, 0.0), 0.0,
                                           [work = std::move(work)](const CFRunLoopTimerRef&) {
                                               work();
                                           }),
                      kCFRunLoopCommonModes);
}

WatchId CFRunLoopWatchDescriptor(CFRunLoopRef loop, int descriptor, std::uint32_t events,
                                 std::function<void()> ready) {
    return loop != nullptr ? loop->WatchDescriptor(descriptor, events, std::move(ready)) : 0;
}

void CFRunLoopUnwatchDescriptor(CFRunLoopRef loop, WatchId watch) {
    if (loop != nullptr) {
        loop->Unwatch(watch);
    }
}

void NSThreadSleepUntilDate(CFAbsoluteTime date) {
    TheCurrent().backend->SleepUntil(date);
}

void NSThreadSleepForTimeInterval(CFTimeInterval interval) {
    NSThreadSleepUntilDate(CFAbsoluteTimeGetCurrent() + interval);
}

std::unique_ptr<RunLoopBackend> InstallRunLoopBackend(std::unique_ptr<RunLoopBackend> backend) {
    Current& current = TheCurrent();
    // The loop refers to its backend, so it is replaced first.
    auto loop = std::make_unique<RunLoop>(*backend);
    std::unique_ptr<RunLoopBackend> previous = std::exchange(current.backend, std::move(backend));
    current.loop = std::move(loop);
    return previous;
}

}  // namespace platform
