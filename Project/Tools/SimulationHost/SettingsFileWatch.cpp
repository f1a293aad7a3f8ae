#include "SettingsFileWatch.h"

#include <sys/stat.h>

#include <sstream>

#include "SettingsFile.h"

namespace {

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
    : fFile(std::move(file)), fLast(IdentityOf(fFile)) {}

std::optional<SettingsFileWatch::Identity> SettingsFileWatch::IdentityOf(
    const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return Identity{status.st_dev, status.st_ino, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

std::optional<std::string> SettingsFileWatch::TakeChange() {
    auto identity = IdentityOf(fFile);
    if (identity == fLast) {
        return std::nullopt;
    }
    fLast = identity;
    if (!fLast) {
        return "removed";
    }
    return "written " + DescribeUserSettingsFile();
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
