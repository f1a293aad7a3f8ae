#include "PaneStandIn.h"

#include <system_error>

#include "AgentConstants.h"
#include "ApplicationSupport.h"
#include "DistributedNotifications.h"
#include "TemporaryHome.h"

namespace {

// Reads a settings file that lies elsewhere, through a settings-file object
// of a throw-away home, so that the user's own file is not touched.
platform::PropertyList ReadSettingsFileAt(const std::filesystem::path& file) {
    if (!std::filesystem::is_regular_file(file)) {
        throw std::runtime_error("no settings file at " + file.string());
    }
    platform::ScopedTemporaryHome home;
    const auto folder = platform::ApplicationSupportFolder() / kSettingsFolderName;
    if (const std::error_code error = platform::EnsureFolderExists(folder)) {
        throw std::system_error(error, "cannot prepare a folder to read " + file.string());
    }
    std::filesystem::copy_file(file, folder / kSettingsFileName);
    return ASettingsFile().SettingsAsDict();
}

}  // namespace

PaneStandIn::PaneStandIn() : fSettings(std::make_unique<ASettingsFile>()) {}

void PaneStandIn::Announce() {
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPrefPaneStartedNotification,
        kPrefChangeObject, nullptr, true);
}

void PaneStandIn::Change(const scenario::PaneSet& change) {
    using Field = scenario::PaneSet::Field;
    switch (change.field) {
        case Field::Pointer:
            fSettings->SetPointerSensitivityValue(change.value);
            return;
        case Field::Scroll:
            fSettings->SetScrollWheelSensitivityValue(change.value);
            return;
        case Field::Reverse:
            fSettings->SetReverseScrollDirectionValue(change.value != 0);
            return;
        case Field::Primary:
            fSettings->SetPrimaryButtonMapping(
                AButtonMapping::initWithType(change.value, change.macroKeys), change.index);
            return;
        case Field::Secondary:
            fSettings->SetSecondaryButtonMapping(
                AButtonMapping::initWithType(change.value, change.macroKeys), change.index);
            return;
        case Field::Defaults:
            fSettings->RestoreDefaultValues();
            return;
    }
}

void PaneStandIn::Send(const std::filesystem::path& file) {
    if (!file.empty()) {
        fSettings->RestoreFromDictionary(ReadSettingsFileAt(file));
    }
    const platform::PropertyList settings = fSettings->SettingsAsDict();
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &settings, true);
}

void PaneStandIn::Hide() {
    fSettings->FlushXml();
}
