#include "SystemVersionQuery.h"

#include <sys/utsname.h>

#include <charconv>
#include <utility>

namespace platform {
namespace {

std::unique_ptr<SystemVersionSource>& Current() {
    static std::unique_ptr<SystemVersionSource> source =
        std::make_unique<LinuxSystemVersionSource>();
    return source;
}

}  // namespace

std::optional<std::uint32_t> QuerySystemVersion(VersionSelector selector) {
    return Current()->QueryVersion(selector);
}

std::unique_ptr<SystemVersionSource> InstallSystemVersionSource(
    std::unique_ptr<SystemVersionSource> source) {
    return std::exchange(Current(), std::move(source));
}

std::optional<std::uint32_t> ParseReleaseNumber(std::string_view release,
                                                VersionSelector selector) {
    const auto wanted = static_cast<int>(selector);
    const char* position = release.data();
    const char* const end = release.data() + release.size();
    for (int component = 0;; ++component) {
        std::uint32_t number = 0;
        const auto result = std::from_chars(position, end, number);
        if (result.ec != std::errc{}) {
            return std::nullopt;
        }
        if (component == wanted) {
            return number;
        }
        if (result.ptr == end || *result.ptr != '.') {
            return std::nullopt;
        }
        position = result.ptr + 1;
    }
}

std::optional<std::uint32_t> LinuxSystemVersionSource::QueryVersion(VersionSelector selector) {
    utsname names{};
    if (uname(&names) != 0) {
        return std::nullopt;
    }
    return ParseReleaseNumber(names.release, selector);
}

FixedSystemVersionSource::FixedSystemVersionSource(std::optional<std::uint32_t> major,
                                                   std::optional<std::uint32_t> minor,
                                                   std::optional<std::uint32_t> bugFix)
    : fMajor(major), fMinor(minor), fBugFix(bugFix) {}

std::optional<std::uint32_t> FixedSystemVersionSource::QueryVersion(VersionSelector selector) {
    switch (selector) {
        case VersionSelector::Major:
            return fMajor;
        case VersionSelector::Minor:
            return fMinor;
        case VersionSelector::BugFix:
            return fBugFix;
    }
    return std::nullopt;
}

ScopedSystemVersion::ScopedSystemVersion(std::optional<std::uint32_t> major,
                                         std::optional<std::uint32_t> minor,
                                         std::optional<std::uint32_t> bugFix)
    : fPrevious(InstallSystemVersionSource(
          std::make_unique<FixedSystemVersionSource>(major, minor, bugFix))) {}

ScopedSystemVersion::~ScopedSystemVersion() {
    InstallSystemVersionSource(std::move(fPrevious));
}

}  // namespace platform
