#pragma once

#include <filesystem>

#include "UserDefaults.h"

namespace platform {

// One JSON file per domain, "<domain>.json" in the folder given, by default
// $XDG_CONFIG_HOME (else ~/.config). Files are replaced atomically. Numbers
// without a fraction read back as integers; a file that is not a JSON object
// reads as no domain.
class LinuxUserDefaults final : public UserDefaultsBackend {
public:
    LinuxUserDefaults();
    explicit LinuxUserDefaults(std::filesystem::path folder) : fFolder(std::move(folder)) {}

    std::optional<PropertyList::Dictionary> Read(const std::string& domain) override;
    bool Write(const std::string& domain,
               const std::optional<PropertyList::Dictionary>& contents) override;

    std::filesystem::path PathOf(const std::string& domain) const;

private:
    std::filesystem::path fFolder;
};

}  // namespace platform
