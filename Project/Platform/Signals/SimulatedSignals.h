#pragma once

#include <functional>
#include <map>
#include <optional>

#include "RunLoop.h"
#include "Signals.h"

namespace platform {

// Signals injected by the scenario; the process's end is recorded.
class SimulatedSignals final : public SignalBackend {
public:
    SimulatedSignals();
    ~SimulatedSignals() override;
    SimulatedSignals(const SimulatedSignals&) = delete;
    SimulatedSignals& operator=(const SimulatedSignals&) = delete;

    bool Watch(int signalNumber, SignalHandlerFunction arrived) override;
    void Exit(int status) override;

    // Delivers the signal: the handler runs from the run loop. A signal with
    // no handler ends the process with status 128 + the signal number.
    void Raise(int signalNumber);
    void SetInstallRefused(bool refused) { fRefused = refused; }
    std::optional<int> ExitStatus() const { return fExitStatus; }
    void SetExitObserver(std::function<void(int)> observer) { fObserver = std::move(observer); }

private:
    std::map<int, SignalHandlerFunction> fHandlers;
    CFRunLoopSourceRef fSource;
    std::optional<int> fExitStatus;
    std::function<void(int)> fObserver;
    bool fRefused = false;
};

}  // namespace platform
