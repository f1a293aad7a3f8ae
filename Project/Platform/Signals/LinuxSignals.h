#pragma once

#include <signal.h>

#include <array>

#include "RunLoop.h"
#include "Signals.h"

namespace platform {

// Signals read from a signalfd that the current run loop watches, so their
// handlers run as its work. Watching a signal blocks its asynchronous delivery
// in the calling thread (threads started later inherit that); the destructor
// unblocks them again. Needs a run loop backend that serves descriptors,
// installed before this backend and kept until after it.
class LinuxSignals final : public SignalBackend {
public:
    LinuxSignals();
    ~LinuxSignals() override;
    LinuxSignals(const LinuxSignals&) = delete;
    LinuxSignals& operator=(const LinuxSignals&) = delete;

    bool Watch(int signalNumber, SignalHandlerFunction arrived) override;
    // _exit: no exit handlers, no buffered output flushed.
    void Exit(int status) override;

private:
    void Drain();

    sigset_t fMask;
    int fDescriptor = -1;
    RunLoopBackend* fBackend = nullptr;
    WatchId fWatch = 0;
    std::array<SignalHandlerFunction, NSIG> fHandlers{};
};

}  // namespace platform
