#pragma once

#include <map>

#include "ProcessManager.h"

namespace platform {

// Simulation: a table of process ids and names that the test sets.
class SimulatedProcessManagerBackend final : public ProcessManagerBackend {
public:
    std::optional<std::uint32_t> NextProcessId(std::uint32_t after) override;
    std::optional<std::string> ProcessName(std::uint32_t id) override;

    // A process without a name is one whose information cannot be read.
    std::map<std::uint32_t, std::optional<std::string>> fProcesses;
};

}  // namespace platform
