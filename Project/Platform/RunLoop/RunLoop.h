#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

using CFTimeInterval = double;
// Seconds on the program's clock (virtual in the simulation).
using CFAbsoluteTime = double;
using CFRunLoopMode = std::string_view;
// Placeholder allocator argument, kept so that calls read like the platform's.
using CFAllocatorRef = const void*;
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

inline constexpr CFRunLoopMode kCFRunLoopDefaultMode = "kCFRunLoopDefaultMode";
// The loop always runs in the default mode, which the common modes include.
inline constexpr CFRunLoopMode kCFRunLoopCommonModes = "kCFRunLoopCommonModes";

// A queue of work items that the run loop performs, one at a time, while the
// source is added to it. Work posted while the source is not added waits (as
// messages wait on a port). Items of all sources run in the order they were
// posted.
class RunLoopSource {
public:
    RunLoopSource() = default;
    RunLoopSource(const RunLoopSource&) = delete;
    RunLoopSource& operator=(const RunLoopSource&) = delete;

    // Queues one item; ignored once the source is invalidated.
    void Post(std::function<void()> work);
    // Drops the queued work and refuses further posts.
    void Invalidate();
    bool IsValid() const { return fValid; }
    std::size_t PendingCount() const { return fQueue.size(); }

    // For the run loop: sequence number of the oldest item, and taking it.
    std::optional<std::uint64_t> OldestSequence() const;
    std::function<void()> Take();

private:
    std::deque<std::pair<std::uint64_t, std::function<void()>>> fQueue;
    bool fValid = true;
};
// Releasing a source is dropping the last reference.
using CFRunLoopSourceRef = std::shared_ptr<RunLoopSource>;

// Creates an empty, valid source.
CFRunLoopSourceRef CreateRunLoopSource();

class RunLoopTimer;
using CFRunLoopTimerRef = std::shared_ptr<RunLoopTimer>;
using RunLoopTimerCallback = std::function<void(const CFRunLoopTimerRef&)>;

// Fires at its date, then every interval (0: once).
class RunLoopTimer {
public:
    RunLoopTimer(CFAbsoluteTime fireDate, CFTimeInterval interval, RunLoopTimerCallback callback);
    CFAbsoluteTime FireDate() const { return fFireDate; }
    bool IsValid() const { return fValid; }
    void Invalidate() { fValid = false; }

private:
    friend class RunLoop;
    CFAbsoluteTime fFireDate;
    CFTimeInterval fInterval;
    RunLoopTimerCallback fCallback;
    std::uint64_t fSequence;
    bool fValid = true;
};

// Identifies a descriptor watch; 0 is never one.
using WatchId = std::uint64_t;
// What a descriptor watch waits for (any combination).
inline constexpr std::uint32_t kDescriptorReadable = 1;
inline constexpr std::uint32_t kDescriptorWritable = 2;

// What differs between the simulation and a real machine: the clock, how the
// thread waits for something to happen, the blocking sleep, and descriptors.
class RunLoopBackend {
public:
    enum class WaitResult {
        Woken,     // something from outside may have posted work
        TimedOut,  // the deadline passed
        Idle,      // nothing can ever arrive (no deadline given)
    };
    virtual ~RunLoopBackend() = default;
    virtual CFAbsoluteTime Now() const = 0;
    // Blocks until the deadline (none: indefinitely) or until outside events
    // were delivered to sources.
    virtual WaitResult Wait(std::optional<CFAbsoluteTime> deadline) = 0;
    // Blocks the thread until the date without serving any run loop.
    virtual void SleepUntil(CFAbsoluteTime date) = 0;

    // Serves a descriptor: while it is ready for any of `events` (or has hung
    // up or failed), `ready` runs from the loop's wait on the loop's thread,
    // again at every wait until Unwatch (level-triggered), so it must consume
    // what made the descriptor ready. The descriptor stays the caller's, who
    // unwatches it before closing it. One watch per descriptor. Returns 0
    // when refused; the default refuses (no descriptors in the simulation,
    // which stays deterministic).
    virtual WatchId WatchDescriptor(int descriptor, std::uint32_t events,
                                    std::function<void()> ready);
    // Ends the watch, also from inside its own callback; unknown ids are ignored.
    virtual void Unwatch(WatchId watch);
};

// The program's one run loop (the user-side programs are single-threaded).
class RunLoop {
public:
    explicit RunLoop(RunLoopBackend& backend) : fBackend(backend) {}
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    void AddSource(const CFRunLoopSourceRef& source, CFRunLoopMode mode);
    void RemoveSource(const CFRunLoopSourceRef& source, CFRunLoopMode mode);
    bool ContainsSource(const CFRunLoopSourceRef& source, CFRunLoopMode mode) const;
    void AddTimer(const CFRunLoopTimerRef& timer, CFRunLoopMode mode);

    // Runs until Stop, or until nothing can happen any more.
    void Run();
    // Performs everything due now without letting time pass.
    void RunUntilIdle();
    // Runs until the clock has advanced by the duration (or Stop).
    void RunFor(CFTimeInterval duration);
    // Makes the innermost Run/RunFor return after the current callback.
    void Stop();
    bool IsRunning() const { return fDepth > 0; }

    // See RunLoopBackend::WatchDescriptor.
    WatchId WatchDescriptor(int descriptor, std::uint32_t events, std::function<void()> ready) {
        return fBackend.WatchDescriptor(descriptor, events, std::move(ready));
    }
    void Unwatch(WatchId watch) { fBackend.Unwatch(watch); }

    CFAbsoluteTime Now() const { return fBackend.Now(); }
    RunLoopBackend& Backend() { return fBackend; }

private:
    void RunUntil(std::optional<CFAbsoluteTime> deadline);
    bool FireDueTimer();
    bool PerformOldestWork();
    std::optional<CFAbsoluteTime> NextTimerDate();

    struct Registration {
        CFRunLoopSourceRef source;
        std::string_view mode;
    };
    RunLoopBackend& fBackend;
    std::vector<Registration> fSources;
    std::vector<CFRunLoopTimerRef> fTimers;
    int fDepth = 0;
    bool fStopRequested = false;
};
using CFRunLoopRef = RunLoop*;

// The program's run loop, bound to the installed backend.
CFRunLoopRef CFRunLoopGetCurrent();
CFRunLoopRef CFRunLoopGetMain();
// Runs the current run loop (see RunLoop::Run).
void CFRunLoopRun();
void CFRunLoopStop(CFRunLoopRef loop);
void CFRunLoopAddSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, CFRunLoopMode mode);
void CFRunLoopRemoveSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source, CFRunLoopMode mode);
bool CFRunLoopContainsSource(CFRunLoopRef loop, const CFRunLoopSourceRef& source,
                             CFRunLoopMode mode);
// A timer for `fireDate`, repeating every `interval` seconds when positive.
CFRunLoopTimerRef CFRunLoopTimerCreate(CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       RunLoopTimerCallback callback);
void CFRunLoopAddTimer(CFRunLoopRef loop, const CFRunLoopTimerRef& timer, CFRunLoopMode mode);
void CFRunLoopTimerInvalidate(const CFRunLoopTimerRef& timer);
CFAbsoluteTime CFAbsoluteTimeGetCurrent();
// Descriptor watches on a loop (0 when the loop is null or its backend refuses).
WatchId CFRunLoopWatchDescriptor(CFRunLoopRef loop, int descriptor, std::uint32_t events,
                                 std::function<void()> ready);
void CFRunLoopUnwatchDescriptor(CFRunLoopRef loop, WatchId watch);

// Runs the work once on the current run loop, `delay` seconds from now, as
// -performSelector:withObject:afterDelay: does. Nothing cancels it.
void PerformAfterDelay(CFTimeInterval delay, std::function<void()> work);

// The blocking sleeps of the thread: no run loop callback runs meanwhile.
void NSThreadSleepUntilDate(CFAbsoluteTime date);
void NSThreadSleepForTimeInterval(CFTimeInterval interval);

// Installs the backend and gives the program a fresh run loop on it; returns
// the previous backend. Until one is installed a simulated clock is used.
std::unique_ptr<RunLoopBackend> InstallRunLoopBackend(std::unique_ptr<RunLoopBackend> backend);

}  // namespace platform
