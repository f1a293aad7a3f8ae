#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace platform {

// Replaces the file at `path` with `contents`, atomically and durably: the
// contents go to a new file in the same folder, which is flushed to the disk
// and then renamed over the old file, after which the folder itself is
// flushed. Readers see either the whole old file or the whole new one, also
// after a crash. On any failure before the rename the old file is untouched
// and the temporary file is gone. The new file keeps the permissions of the
// file it replaces. A failure to flush the folder after the rename is reported
// too: the new contents are in place but may not survive a crash.
[[nodiscard]] std::error_code WriteFileAtomically(const std::filesystem::path& path,
                                                  std::string_view contents);

// Turns the flushes to the disk off (or back on) for the whole process; the
// rename stays atomic. Only for a program that writes thousands of throw-away
// files a second, such as a fuzzer; every other writer keeps them on.
void SetDiskFlushes(bool enabled);

}  // namespace platform
