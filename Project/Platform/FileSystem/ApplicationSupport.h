#pragma once

#include <filesystem>
#include <system_error>

namespace platform {

// The user's application-support folder. On Linux this is the XDG data
// directory: $XDG_DATA_HOME when it holds an absolute path, otherwise
// .local/share in the home folder ($HOME, else the password database).
// Empty when no home folder can be found. Read afresh on every call, so that
// tests can point it at a temporary home.
std::filesystem::path ApplicationSupportFolder();

// Makes sure a folder exists at `folder`, creating it and any missing
// intermediate folders with default permissions. Fails (not_a_directory)
// when something that is not a folder stands at the path.
[[nodiscard]] std::error_code EnsureFolderExists(const std::filesystem::path& folder);

}  // namespace platform
