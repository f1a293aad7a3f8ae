#include "ApplicationSupport.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(bufferSize > 0 ? static_cast<size_t>(bufferSize) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

}  // namespace

std::filesystem::path ApplicationSupportFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr) {
        std::filesystem::path folder(data);
        if (folder.is_absolute()) return folder;
    }
    std::filesystem::path home = HomeFolder();
    if (home.empty()) return {};
    return home / ".local" / "share";
}

std::error_code EnsureFolderExists(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return error;
}

}  // namespace platform
