#include "AgentSettings.h"

#include <optional>
#include <string>

#include "AgentState.h"
#include "Logging.h"

namespace {

// Made on first use: the catalogue it is built from is itself set up at run
// time.
std::optional<ADeviceSettings> sFallbackSettings;

ADeviceSettings& FallbackSettings() {
    if (!sFallbackSettings) {
        sFallbackSettings.emplace();
    }
    return *sFallbackSettings;
}

void LogFailure(const PrefControllerError& error) {
    platform::SystemLog(error.name() + ": " + error.reason());
}

}  // namespace

std::unique_ptr<ASettingsFile> CreateSettingsFileKeeping(std::unique_ptr<ASettingsFile> previous) {
    try {
        return std::make_unique<ASettingsFile>();
    } catch (const PrefControllerError& error) {
        LogFailure(error);
        return previous;
    }
}

void FlushSettingsFile(ASettingsFile* settings) {
    if (settings == nullptr) {
        return;
    }
    try {
        settings->FlushXml();
    } catch (const PrefControllerError& error) {
        LogFailure(error);
    }
}

const ADeviceSettings& AgentSettingsRecord() {
    return sDeviceSettings ? sDeviceSettings->deviceSettings() : FallbackSettings();
}

void RestoreAgentSettings(const platform::PropertyList& dictionary) {
    if (sDeviceSettings) {
        sDeviceSettings->RestoreFromDictionary(dictionary);
    } else {
        FallbackSettings().RestoreFromDictionary(dictionary);
    }
}

void ResetFallbackSettings() {
    sFallbackSettings = ADeviceSettings();
}
