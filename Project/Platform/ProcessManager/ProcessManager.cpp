#include "ProcessManager.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "LinuxProcessManager.h"

namespace platform {
namespace {

std::unique_ptr<ProcessManagerBackend>& Current() {
    static std::unique_ptr<ProcessManagerBackend> backend =
        std::make_unique<LinuxProcessManagerBackend>();
    return backend;
}

bool IsProcess(const ProcessSerialNumber& psn) {
    return psn.highLongOfPSN == 0 && psn.lowLongOfPSN != kNoProcess;
}

}  // namespace

OSErr GetNextProcess(ProcessSerialNumber* psn) {
    if (psn == nullptr || psn->highLongOfPSN != 0) return paramErr;
    std::optional<std::uint32_t> next = Current()->NextProcessId(psn->lowLongOfPSN);
    *psn = {0, next.value_or(kNoProcess)};
    return next ? noErr : procNotFound;
}

OSErr GetProcessInformation(const ProcessSerialNumber* psn, ProcessInfoRec* info) {
    if (psn == nullptr || info == nullptr || info->processInfoLength != sizeof(ProcessInfoRec)) {
        return paramErr;
    }
    if (!IsProcess(*psn)) return procNotFound;
    std::optional<std::string> name = Current()->ProcessName(psn->lowLongOfPSN);
    if (!name) return procNotFound;
    if (info->processName != nullptr) {
        std::size_t length = std::min<std::size_t>(name->size(), 255);
        info->processName[0] = static_cast<unsigned char>(length);
        std::memcpy(info->processName + 1, name->data(), length);
    }
    info->processNumber = *psn;
    return noErr;
}

std::unique_ptr<ProcessManagerBackend> InstallProcessManagerBackend(
    std::unique_ptr<ProcessManagerBackend> backend) {
    return std::exchange(Current(), std::move(backend));
}

}  // namespace platform
