#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// A walk over the running processes and their names.

using OSErr = std::int16_t;

inline constexpr OSErr noErr = 0;
inline constexpr OSErr paramErr = -50;
inline constexpr OSErr procNotFound = -600;

// Identifies a running process; (0, kNoProcess) means none. Here the low word
// is the process id.
struct ProcessSerialNumber {
    std::uint32_t highLongOfPSN;
    std::uint32_t lowLongOfPSN;
};
inline constexpr std::uint32_t kNoProcess = 0;

// A process name as a length-prefixed string: byte 0 holds the length.
using Str255 = unsigned char[256];

struct ProcessInfoRec {
    std::uint32_t processInfoLength;  // must be sizeof(ProcessInfoRec)
    unsigned char* processName;       // a Str255 to fill, or null
    ProcessSerialNumber processNumber;
};

// Steps psn to the next running process, starting from (0, kNoProcess). At
// the end returns procNotFound and sets psn to (0, kNoProcess).
OSErr GetNextProcess(ProcessSerialNumber* psn);
// Fills info for the process psn; procNotFound if it has gone.
OSErr GetProcessInformation(const ProcessSerialNumber* psn, ProcessInfoRec* info);

// What a backend tells about the processes; ids in ascending order.
class ProcessManagerBackend {
public:
    virtual ~ProcessManagerBackend() = default;
    // The smallest running process id above after.
    virtual std::optional<std::uint32_t> NextProcessId(std::uint32_t after) = 0;
    virtual std::optional<std::string> ProcessName(std::uint32_t id) = 0;
};

// Replaces the backend; returns the previous one. The default is the Linux one.
std::unique_ptr<ProcessManagerBackend> InstallProcessManagerBackend(
    std::unique_ptr<ProcessManagerBackend> backend);

}  // namespace platform
