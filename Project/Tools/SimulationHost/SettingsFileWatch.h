#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Notices when the settings file was written since the last look, and
// describes what it now holds in one line. Every write replaces the file by a
// new one (written aside, then renamed), so a write shows as a new file
// identity even when the content stays the same.
class SettingsFileWatch {
public:
    explicit SettingsFileWatch(std::filesystem::path file);

    // The description of the file when it was written (or removed) since the
    // last call or since construction; none otherwise.
    std::optional<std::string> TakeChange();

private:
    struct Identity {
        unsigned long long device = 0;
        unsigned long long inode = 0;
        long long modifiedSeconds = 0;
        long long modifiedNanoseconds = 0;
        bool operator==(const Identity&) const = default;
    };
    static std::optional<Identity> IdentityOf(const std::filesystem::path& file);

    std::filesystem::path fFile;
    std::optional<Identity> fLast;
};

// What the user's settings file holds, as the settings-file object reads it:
// "pointer=5 scroll=5 reverse=0 primary=1,9,2,12,4,25 secondary=1,9,2,12",
// mappings by their stored mapping id, a recorded keystroke after its id as
// :"macro keys".
std::string DescribeUserSettingsFile();
