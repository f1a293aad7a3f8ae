#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Where the deliverables' log lines go: the system log and standard error.
// One backend is installed at program start; the simulation backend keeps the
// lines so that tests and the simulation host can show them.
class LogBackend {
public:
    virtual ~LogBackend() = default;
    virtual void WriteSystemLog(std::string_view line) = 0;
    virtual void WriteStandardError(std::string_view text) = 0;
};

// Writes one line to the system log.
void SystemLog(std::string_view line);
// Writes text to standard error as it stands (callers supply the newline).
void StandardError(std::string_view text);

// Replaces the backend; returns the previous one. The default backend is the
// Linux one (syslog and stderr).
std::unique_ptr<LogBackend> InstallLogBackend(std::unique_ptr<LogBackend> backend);

// Linux: syslog(3) with the program's name, and the process's stderr.
class LinuxLogBackend final : public LogBackend {
public:
    void WriteSystemLog(std::string_view line) override;
    void WriteStandardError(std::string_view text) override;
};

// Simulation: keeps every line in order, tagged with where it went.
class CapturedLogBackend final : public LogBackend {
public:
    enum class Channel { SystemLog, StandardError };
    struct Entry {
        Channel channel;
        std::string text;
    };

    void WriteSystemLog(std::string_view line) override;
    void WriteStandardError(std::string_view text) override;

    const std::vector<Entry>& Entries() const { return fEntries; }
    void Clear() { fEntries.clear(); }

private:
    std::vector<Entry> fEntries;
};

// Installs a CapturedLogBackend for the lifetime of the scope (tests).
class ScopedCapturedLog {
public:
    ScopedCapturedLog();
    ~ScopedCapturedLog();
    ScopedCapturedLog(const ScopedCapturedLog&) = delete;
    ScopedCapturedLog& operator=(const ScopedCapturedLog&) = delete;

    const std::vector<CapturedLogBackend::Entry>& Entries() const { return fLog->Entries(); }

private:
    CapturedLogBackend* fLog;
    std::unique_ptr<LogBackend> fPrevious;
};

}  // namespace platform
