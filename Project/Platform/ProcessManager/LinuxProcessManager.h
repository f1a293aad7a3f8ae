#pragma once

#include "ProcessManager.h"

namespace platform {

// Linux: the numeric folders of /proc; a process's name is its comm entry (the
// kernel keeps at most 15 bytes of it).
class LinuxProcessManagerBackend final : public ProcessManagerBackend {
public:
    std::optional<std::uint32_t> NextProcessId(std::uint32_t after) override;
    std::optional<std::string> ProcessName(std::uint32_t id) override;
};

}  // namespace platform
