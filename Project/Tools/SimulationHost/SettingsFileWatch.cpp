#include "SettingsFileWatch.h"

#include <fstream>
#include <sstream>

#include "SettingsFile.h"

namespace {

std::optional<std::string> ReadWhole(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << stream.rdbuf();
    return content.str();
}

void DescribeMappings(std::ostringstream& line, const char* name, const ASettingsFile& settings,
                      int count, bool isPrimary) {
    line << ' ' << name << '=';
    for (int i = 0; i < count; ++i) {
        const auto mapping = isPrimary ? settings.PrimaryButtonMappingAtIndex(i)
                                       : settings.SecondaryButtonMappingAtIndex(i);
        line << (i == 0 ? "" : ",") << mapping->GetId();
        if (!mapping->macroKeys().empty()) {
            line << ":\"" << mapping->macroKeys() << '"';
        }
    }
}

}  // namespace

SettingsFileWatch::SettingsFileWatch(std::filesystem::path file)
    : fFile(std::move(file)), fLastContent(ReadWhole(fFile)) {}

std::optional<std::string> SettingsFileWatch::TakeChange() {
    auto content = ReadWhole(fFile);
    if (content == fLastContent) {
        return std::nullopt;
    }
    fLastContent = std::move(content);
    if (!fLastContent) {
        return "removed";
    }
    return DescribeUserSettingsFile();
}

std::string DescribeUserSettingsFile() {
    const ASettingsFile settings;
    std::ostringstream line;
    line << "pointer=" << settings.PointerSensitivityValue()
         << " scroll=" << settings.ScrollWheelSensitivityValue()
         << " reverse=" << (settings.ReverseScrollDirectionValue() ? 1 : 0);
    DescribeMappings(line, "primary", settings, kNumPrimaryButtonMappings, true);
    DescribeMappings(line, "secondary", settings, kNumSecondaryButtonMappings, false);
    return line.str();
}
