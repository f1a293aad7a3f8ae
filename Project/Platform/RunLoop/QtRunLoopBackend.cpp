#include "QtRunLoopBackend.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <thread>

namespace platform {

QtRunLoopBackend::QtRunLoopBackend() : fStart(std::chrono::steady_clock::now()) {}

CFAbsoluteTime QtRunLoopBackend::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - fStart).count();
}

RunLoopBackend::WaitResult QtRunLoopBackend::Wait(std::optional<CFAbsoluteTime> deadline) {
    fRetired.clear();
    if (deadline && *deadline <= Now()) {
        return WaitResult::TimedOut;
    }
    // A timer wakes the Qt loop at the deadline; without one the loop sleeps
    // until some event arrives.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    if (deadline) {
        wake.start(static_cast<int>(std::ceil((*deadline - Now()) * 1000.0)));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return deadline && *deadline <= Now() ? WaitResult::TimedOut : WaitResult::Woken;
}

WatchId QtRunLoopBackend::WatchDescriptor(int descriptor, std::uint32_t events,
                                          std::function<void()> ready) {
    const bool watched = std::any_of(fWatches.begin(), fWatches.end(),
                                     [&](const auto& w) { return w.second.descriptor == descriptor; });
    if (descriptor < 0 || watched || !ready ||
        (events & (kDescriptorReadable | kDescriptorWritable)) == 0) {
        return 0;
    }
    const WatchId id = fNextWatch++;
    Watch& watch = fWatches[id];
    watch.descriptor = descriptor;
    watch.ready = std::move(ready);
    for (const auto& [flag, type] : {std::pair(kDescriptorReadable, QSocketNotifier::Read),
                                    std::pair(kDescriptorWritable, QSocketNotifier::Write)}) {
        if ((events & flag) != 0) {
            auto notifier = std::make_unique<QSocketNotifier>(descriptor, type);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                             [this, id] { Fire(id); });
            watch.notifiers.push_back(std::move(notifier));
        }
    }
    return id;
}

void QtRunLoopBackend::Fire(WatchId watch) {
    const auto found = fWatches.find(watch);
    if (found != fWatches.end()) {
        // A copy: the callback may end its own watch.
        const std::function<void()> ready = found->second.ready;
        ready();
    }
}

void QtRunLoopBackend::Unwatch(WatchId watch) {
    const auto found = fWatches.find(watch);
    if (found == fWatches.end()) {
        return;
    }
    for (auto& notifier : found->second.notifiers) {
        notifier->setEnabled(false);
        fRetired.push_back(std::move(notifier));
    }
    fWatches.erase(found);
}

void QtRunLoopBackend::SleepUntil(CFAbsoluteTime date) {
    const double seconds = date - Now();
    if (seconds > 0.0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
}

}  // namespace platform
