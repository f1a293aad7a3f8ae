#pragma once

#include <memory>

namespace platform {

inline constexpr int kSignalInterrupt = 2;

using SignalHandlerFunction = void (*)(int signalNumber);

// Arranges for `handler` to run on the current run loop (as one work item of
// a source added in the common modes) whenever the signal arrives; never in
// an asynchronous signal context. False when the handler cannot be installed.
bool InstallSignalHandler(int signalNumber, SignalHandlerFunction handler);

// Ends the process at once with the status, skipping exit handlers. The
// simulation records the status and stops the run loop instead, so the call
// returns there.
void ExitImmediately(int status);

// Where signals come from and how the process ends.
class SignalBackend {
public:
    virtual ~SignalBackend() = default;
    // Calls `arrived` from the run loop for each delivery of the signal.
    virtual bool Watch(int signalNumber, SignalHandlerFunction arrived) = 0;
    virtual void Exit(int status) = 0;
};

// Installs the backend; returns the previous one (none by default: handlers
// cannot be installed, and ExitImmediately calls _exit).
std::unique_ptr<SignalBackend> InstallSignalBackend(std::unique_ptr<SignalBackend> backend);

}  // namespace platform
