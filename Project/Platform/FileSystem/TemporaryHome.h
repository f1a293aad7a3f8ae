#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// Points the user's home at a new empty folder for the lifetime of the scope
// (tests, fuzzers, benchmarks): HOME is set to it and XDG_DATA_HOME is
// cleared, so that the application-support folder is <home>/.local/share.
// The previous values come back and the folder is removed at the end.
class ScopedTemporaryHome {
public:
    // Creates the folder under `parent` (default: the system's temporary
    // folder). Throws std::system_error when it cannot.
    explicit ScopedTemporaryHome(const std::filesystem::path& parent = {});
    ~ScopedTemporaryHome();
    ScopedTemporaryHome(const ScopedTemporaryHome&) = delete;
    ScopedTemporaryHome& operator=(const ScopedTemporaryHome&) = delete;

    const std::filesystem::path& Path() const { return fPath; }

private:
    std::filesystem::path fPath;
    std::optional<std::string> fPreviousHome;
    std::optional<std::string> fPreviousDataHome;
};

}  // namespace platform
