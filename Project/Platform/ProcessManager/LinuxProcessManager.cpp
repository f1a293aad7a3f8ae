#include "LinuxProcessManager.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {

std::optional<std::uint32_t> LinuxProcessManagerBackend::NextProcessId(std::uint32_t after) {
    std::optional<std::uint32_t> next;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        std::uint32_t id = 0;
        auto [end, parsed] = std::from_chars(name.data(), name.data() + name.size(), id);
        if (parsed != std::errc{} || end != name.data() + name.size()) continue;
        if (id > after && (!next || id < *next)) next = id;
    }
    return next;
}

std::optional<std::string> LinuxProcessManagerBackend::ProcessName(std::uint32_t id) {
    std::ifstream comm("/proc/" + std::to_string(id) + "/comm");
    std::string name;
    if (!std::getline(comm, name)) return std::nullopt;
    return name;
}

}  // namespace platform
