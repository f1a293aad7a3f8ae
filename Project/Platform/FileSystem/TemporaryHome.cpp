#include "TemporaryHome.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

namespace platform {
namespace {

std::optional<std::string> Variable(const char* name) {
    const char* value = getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

}  // namespace

ScopedTemporaryHome::ScopedTemporaryHome(const std::filesystem::path& parent)
    : fPreviousHome(Variable("HOME")), fPreviousDataHome(Variable("XDG_DATA_HOME")) {
    std::filesystem::path base = parent.empty() ? std::filesystem::temp_directory_path() : parent;
    std::string pattern = (base / "halvorin-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    fPath = pattern;
    setenv("HOME", fPath.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
}

ScopedTemporaryHome::~ScopedTemporaryHome() {
    Restore("HOME", fPreviousHome);
    Restore("XDG_DATA_HOME", fPreviousDataHome);
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
}

}  // namespace platform
