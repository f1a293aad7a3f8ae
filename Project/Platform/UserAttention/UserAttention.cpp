#include "UserAttention.h"

#include <utility>

namespace platform {
namespace {

std::unique_ptr<UserAttentionBackend>& TheBackend() {
    static std::unique_ptr<UserAttentionBackend> backend =
        std::make_unique<SimulatedUserAttention>();
    return backend;
}

}  // namespace

void NSBeep() {
    TheBackend()->Beep();
}

void RunStopAlert(const StopAlert& alert) {
    TheBackend()->RunStopAlert(alert);
}

void SimulatedUserAttention::Beep() {
    Record({true, {}});
}

void SimulatedUserAttention::RunStopAlert(const StopAlert& alert) {
    Record({false, alert});
}

void SimulatedUserAttention::Record(Event event) {
    fEvents.push_back(std::move(event));
    if (fObserver) {
        fObserver(fEvents.back());
    }
}

std::unique_ptr<UserAttentionBackend> InstallUserAttentionBackend(
    std::unique_ptr<UserAttentionBackend> backend) {
    return std::exchange(TheBackend(), std::move(backend));
}

}  // namespace platform
