#include "QtRunLoopBackend.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <thread>

namespace platform {

QtRunLoopBackend::QtRunLoopBackend() : fStart(std::chrono::steady_clock::now()) {}

CFAbsoluteTime QtRunLoopBackend::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - fStart).count();
}

RunLoopBackend::WaitResult QtRunLoopBackend::Wait(std::optional<CFAbsoluteTime> deadline) {
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

void QtRunLoopBackend::SleepUntil(CFAbsoluteTime date) {
    const double seconds = date - Now();
    if (seconds > 0.0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
}

}  // namespace platform
