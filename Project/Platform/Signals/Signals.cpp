#include "Signals.h"

#include <unistd.h>

#include <utility>

namespace platform {
namespace {

std::unique_ptr<SignalBackend>& Backend() {
    static std::unique_ptr<SignalBackend> backend;
    return backend;
}

}  // namespace

bool InstallSignalHandler(int signalNumber, SignalHandlerFunction handler) {
    return Backend() && handler != nullptr && Backend()->Watch(signalNumber, handler);
}

void ExitImmediately(int status) {
    if (Backend()) {
        Backend()->Exit(status);
    } else {
        _exit(status);
    }
}

std::unique_ptr<SignalBackend> InstallSignalBackend(std::unique_ptr<SignalBackend> backend) {
    return std::exchange(Backend(), std::move(backend));
}

}  // namespace platform
