#pragma once

#include <filesystem>
#include <optional>
#include <string>

// Notices when the settings file was written since the last look, and
// describes what it now holds in one line.
class SettingsFileWatch {
public:
    explicit SettingsFileWatch(std::filesystem::path file);

    // The description of the file when its content changed since the last
    // call (or since construction); none otherwise.
    std::optional<std::string> TakeChange();

private:
    std::filesystem::path fFile;
    std::optional<std::string> fLastContent;
};

// What the user's settings file holds, as the settings-file object reads it:
// "pointer=5 scroll=5 reverse=0 primary=1,9,2,12,4,25 secondary=1,9,2,12",
// mappings by their stored mapping id, a recorded keystroke after its id as
// :"macro keys".
std::string DescribeUserSettingsFile();
