#include "SettingsDelivery.h"

#include <algorithm>

#include "AgentConstants.h"
#include "AgentSettings.h"
#include "AgentState.h"
#include "DeviceManager.h"
#include "HIDSystem.h"

namespace {

platform::PropertyList MappingTypes(const ADeviceSettings& settings, int count, bool isPrimary) {
    platform::PropertyList::Array types;
    for (int i = 0; i < count; ++i) {
        const auto mapping = isPrimary ? settings.PrimaryButtonMappingAtIndex(i)
                                       : settings.SecondaryButtonMappingAtIndex(i);
        types.push_back(platform::PropertyList::MakeInteger(mapping->mapType()));
    }
    return platform::PropertyList(std::move(types));
}

void SetAcceleration(std::string_view key, double value) {
    platform::IOHIDSetAccelerationWithKey(sHidConnection, key, value);
}

}  // namespace

double AccelerationForSensitivity(int setting) {
    const int last = static_cast<int>(sSensitivityValues.size()) - 1;
    return sSensitivityValues[std::clamp(setting, 0, last)];
}

void SendSettingsUpdateToDriver(const ADeviceSettings& settings) {
    platform::PropertyList::Dictionary properties;
    properties[kPrimaryButtonMappingsKey] = MappingTypes(settings, kNumPrimaryButtonMappings, true);
    properties[kSecondaryButtonMappingsKey] =
        MappingTypes(settings, kNumSecondaryButtonMappings, false);
    properties[kReverseScrollDirectionKey] =
        platform::PropertyList::MakeInteger(settings.reverseScrollDirection() ? 1 : 0);

    for (int i = 0; i < ADeviceManager::GetNumOrvandels(); ++i) {
        const platform::io_object_t handle = ADeviceManager::GetOrvandelObjectAtIndex(i);
        properties[std::string(kIsTarnMouseKey)] =
            platform::PropertyList::MakeInteger(ADeviceManager::IsTarnMouse(handle) ? 1 : 0);
        platform::IORegistryEntrySetCFProperties(handle, platform::PropertyList(properties));
    }
}

void ApplySensitivities() {
    const ADeviceSettings& settings = AgentSettingsRecord();
    SetAcceleration(platform::kIOHIDMouseAccelerationType,
                    AccelerationForSensitivity(settings.pointerSensitivity()));
    SetAcceleration(platform::kIOHIDMouseScrollAccelerationType,
                    AccelerationForSensitivity(settings.scrollWheelSensitivity()));
}

void ADeviceManager::SetMouseSensitivity(double value) {
    SetAcceleration(platform::kIOHIDMouseAccelerationType, value);
}

void ADeviceManager::SetScrollWheelSensitivity(double value) {
    SetAcceleration(platform::kIOHIDMouseScrollAccelerationType, value);
}

void ADeviceManager::PreferencesChangeNotificationCallback(const platform::PropertyList& userInfo) {
    RestoreAgentSettings(userInfo);
    ApplySensitivities();
    SendSettingsUpdateToDriver(AgentSettingsRecord());
}
