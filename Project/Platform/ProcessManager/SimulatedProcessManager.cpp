#include "SimulatedProcessManager.h"

namespace platform {

std::optional<std::uint32_t> SimulatedProcessManagerBackend::NextProcessId(std::uint32_t after) {
    auto next = fProcesses.upper_bound(after);
    if (next == fProcesses.end()) return std::nullopt;
    return next->first;
}

std::optional<std::string> SimulatedProcessManagerBackend::ProcessName(std::uint32_t id) {
    auto found = fProcesses.find(id);
    if (found == fProcesses.end()) return std::nullopt;
    return found->second;
}

}  // namespace platform
