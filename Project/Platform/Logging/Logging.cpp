#include "Logging.h"

#include <syslog.h>

#include <cstdio>
#include <utility>

namespace platform {
namespace {

std::unique_ptr<LogBackend>& Current() {
    static std::unique_ptr<LogBackend> backend = std::make_unique<LinuxLogBackend>();
    return backend;
}

}  // namespace

void SystemLog(std::string_view line) { Current()->WriteSystemLog(line); }

void StandardError(std::string_view text) { Current()->WriteStandardError(text); }

std::unique_ptr<LogBackend> InstallLogBackend(std::unique_ptr<LogBackend> backend) {
    return std::exchange(Current(), std::move(backend));
}

void LinuxLogBackend::WriteSystemLog(std::string_view line) {
    syslog(LOG_NOTICE, "%.*s", static_cast<int>(line.size()), line.data());
}

void LinuxLogBackend::WriteStandardError(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void CapturedLogBackend::WriteSystemLog(std::string_view line) {
    fEntries.push_back({Channel::SystemLog, std::string(line)});
}

void CapturedLogBackend::WriteStandardError(std::string_view text) {
    fEntries.push_back({Channel::StandardError, std::string(text)});
}

ScopedCapturedLog::ScopedCapturedLog() {
    auto log = std::make_unique<CapturedLogBackend>();
    fLog = log.get();
    fPrevious = InstallLogBackend(std::move(log));
}

ScopedCapturedLog::~ScopedCapturedLog() { InstallLogBackend(std::move(fPrevious)); }

}  // namespace platform
