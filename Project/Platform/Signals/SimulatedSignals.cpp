#include "SimulatedSignals.h"

namespace platform {

SimulatedSignals::SimulatedSignals() : fSource(CreateRunLoopSource()) {}

SimulatedSignals::~SimulatedSignals() {
    fSource->Invalidate();
}

bool SimulatedSignals::Watch(int signalNumber, SignalHandlerFunction arrived) {
    if (fRefused) {
        return false;
    }
    fHandlers[signalNumber] = arrived;
    CFRunLoopAddSource(CFRunLoopGetCurrent(), fSource, kCFRunLoopCommonModes);
    return true;
}

void SimulatedSignals::Exit(int status) {
    if (!fExitStatus) {
        fExitStatus = status;
        if (fObserver) {
            fObserver(status);
        }
    }
    CFRunLoopStop(CFRunLoopGetCurrent());
}

void SimulatedSignals::Raise(int signalNumber) {
    auto handler = fHandlers.find(signalNumber);
    if (handler == fHandlers.end()) {
        Exit(128 + signalNumber);
        return;
    }
    fSource->Post([function = handler->second, signalNumber] { function(signalNumber); });
}

}  // namespace platform
