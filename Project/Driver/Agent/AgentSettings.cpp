#include "AgentSettings.h"

#include <string>

#include "AgentState.h"
#include "Logging.h"

namespace {

ADeviceSettings sFallbackSettings;

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
    return sDeviceSettings ? sDeviceSettings->deviceSettings() : sFallbackSettings;
}

void RestoreAgentSettings(const platform::PropertyList& dictionary) {
    if (sDeviceSettings) {
        sDeviceSettings->RestoreFromDictionary(dictionary);
    } else {
        sFallbackSettings.RestoreFromDictionary(dictionary);
    }
}

void ResetFallbackSettings() {
    sFallbackSettings = ADeviceSettings();
}
