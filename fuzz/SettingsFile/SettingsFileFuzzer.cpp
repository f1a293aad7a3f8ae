// Arbitrary bytes as the settings file. Loading never crashes and always
// leaves a complete record with sensitivities in range; what is then written
// holds only XML 1.0 characters, passes the import check, loads back to an
// equal record and is written again byte for byte.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "AtomicFile.h"
#include "SettingsFile.h"
#include "SettingsFileCheck.h"
#include "TemporaryHome.h"
#include "XmlText.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "settings file fuzzer: %s\n", what);
        std::abort();
    }
}

// Whole-file reads and writes with one call each: a stream's buffer and a
// character-by-character copy took an eighth of every run.
std::string Contents(const std::filesystem::path& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Require(descriptor >= 0, "settings file missing after a write");
    struct stat status {};
    Require(fstat(descriptor, &status) == 0, "settings file cannot be examined");
    std::string contents(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t got = 0;
    while (got < contents.size()) {
        const ssize_t r = read(descriptor, contents.data() + got, contents.size() - got);
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    close(descriptor);
    contents.resize(got);
    return contents;
}

void Replace(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(descriptor >= 0, "settings file cannot be created");
    for (std::size_t written = 0; written < size;) {
        const ssize_t r = write(descriptor, data + written, size - written);
        Require(r > 0, "settings file cannot be written");
        written += static_cast<std::size_t>(r);
    }
    close(descriptor);
}

// One home for the whole run, in memory when the system has a memory file
// system. The writes skip the flushes to the disk: every input is thrown away,
// and the durable write has its own tests.
const std::filesystem::path& SettingsPath() {
    platform::SetDiskFlushes(false);
    static platform::ScopedTemporaryHome home(std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                        : "");
    static const std::filesystem::path path = ASettingsFile().xmlPath();
    return path;
}

void RequireCompleteRecord(const ASettingsFile& file) {
    for (std::int32_t i = 0; i < kNumPrimaryButtonMappings; ++i) {
        const auto mapping = file.PrimaryButtonMappingAtIndex(i);
        Require(mapping && mapping->mapType() >= 0 && mapping->mapType() < kNumButtonMappingTypes,
                "primary mapping missing or outside the catalogue");
    }
    for (std::int32_t i = 0; i < kNumSecondaryButtonMappings; ++i) {
        const auto mapping = file.SecondaryButtonMappingAtIndex(i);
        Require(mapping && mapping->mapType() >= 0 && mapping->mapType() < kNumButtonMappingTypes,
                "secondary mapping missing or outside the catalogue");
    }
    Require(file.PointerSensitivityValue() >= 0 && file.PointerSensitivityValue() <= 9,
            "pointer sensitivity out of range");
    Require(file.ScrollWheelSensitivityValue() >= 0 && file.ScrollWheelSensitivityValue() <= 9,
            "scroll-wheel sensitivity out of range");
    Require(!file.IsTarnMouse(), "Tarn flag set by loading");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& path = SettingsPath();
    Replace(path, data, size);

    (void)SettingsFileProblem(path);  // the check, too, takes any bytes
    ASettingsFile loaded;
    RequireCompleteRecord(loaded);
    loaded.FlushXml();
    const std::string written = Contents(path);
    Require(XmlText(written) == written, "written file holds what XML 1.0 does not allow");
    // An import takes what an export writes.
    Require(!SettingsFileProblem(path), "a written file fails the import check");

    ASettingsFile reloaded;
    Require(reloaded.deviceSettings() == loaded.deviceSettings(), "written file loads differently");
    reloaded.FlushXml();
    Require(Contents(path) == written, "second write differs from the first");
    return 0;
}
