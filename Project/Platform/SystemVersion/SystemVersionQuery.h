#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace platform {

// The running system's version numbers, asked for one at a time. A request
// that the system cannot answer gives nothing. Nothing is cached: every query
// asks the installed source again.
enum class VersionSelector { Major, Minor, BugFix };

class SystemVersionSource {
public:
    virtual ~SystemVersionSource() = default;
    virtual std::optional<std::uint32_t> QueryVersion(VersionSelector selector) = 0;
};

std::optional<std::uint32_t> QuerySystemVersion(VersionSelector selector);

// Replaces the source; returns the previous one. The default source is the
// Linux one.
std::unique_ptr<SystemVersionSource> InstallSystemVersionSource(
    std::unique_ptr<SystemVersionSource> source);

// Linux: the kernel release of uname(2), "major.minor.patch" followed by
// anything ("6.1.0-18-amd64" gives 6, 1, 0). A number that is missing or
// does not fit in 32 bits gives nothing.
class LinuxSystemVersionSource final : public SystemVersionSource {
public:
    std::optional<std::uint32_t> QueryVersion(VersionSelector selector) override;
};

// Simulation and tests: fixed numbers; a number left empty is a failed request.
class FixedSystemVersionSource final : public SystemVersionSource {
public:
    FixedSystemVersionSource(std::optional<std::uint32_t> major, std::optional<std::uint32_t> minor,
                             std::optional<std::uint32_t> bugFix);
    std::optional<std::uint32_t> QueryVersion(VersionSelector selector) override;

private:
    std::optional<std::uint32_t> fMajor;
    std::optional<std::uint32_t> fMinor;
    std::optional<std::uint32_t> fBugFix;
};

// Installs a FixedSystemVersionSource for the lifetime of the scope (tests).
class ScopedSystemVersion {
public:
    ScopedSystemVersion(std::optional<std::uint32_t> major, std::optional<std::uint32_t> minor,
                        std::optional<std::uint32_t> bugFix);
    ~ScopedSystemVersion();
    ScopedSystemVersion(const ScopedSystemVersion&) = delete;
    ScopedSystemVersion& operator=(const ScopedSystemVersion&) = delete;

private:
    std::unique_ptr<SystemVersionSource> fPrevious;
};

// Parses the leading "major.minor.patch" of a kernel release text; exposed
// for tests of the Linux source.
std::optional<std::uint32_t> ParseReleaseNumber(std::string_view release, VersionSelector selector);

}  // namespace platform
