#include "PaneNotifications.h"

#include "AgentConstants.h"
#include "AgentState.h"
#include "DeviceManager.h"
#include "DistributedNotifications.h"

namespace {

// The center's handlers; only the user info of the settings notification is
// read. A settings notification without user info carries nothing to apply.
void PreferencesChanged(platform::CFNotificationCenterRef /*center*/, void* /*observer*/,
                        const char* /*name*/, const char* /*object*/,
                        const platform::PropertyList* userInfo) {
    if (userInfo != nullptr) {
        ADeviceManager::PreferencesChangeNotificationCallback(*userInfo);
    }
}

void PreferencesPanelStarted(platform::CFNotificationCenterRef /*center*/, void* /*observer*/,
                             const char* /*name*/, const char* /*object*/,
                             const platform::PropertyList* /*userInfo*/) {
    ADeviceManager::PreferencesPanelStartedNotificationCallback();
}

void AddObserver(ADeviceManager* observer, platform::CFNotificationCallback callback,
                 const char* name) {
    platform::CFNotificationCenterAddObserver(
        platform::CFNotificationCenterGetDistributedCenter(), observer, callback, name,
        kPrefChangeObject, platform::CFNotificationSuspensionBehaviorDeliverImmediately);
}

void RemoveObserver(ADeviceManager* observer, const char* name) {
    platform::CFNotificationCenterRemoveObserver(
        platform::CFNotificationCenterGetDistributedCenter(), observer, name, kPrefChangeObject);
}

}  // namespace

void PostDeviceAttached(bool isTarn) {
    platform::PropertyList::Dictionary entries;
    entries.emplace(kIsTarnKey, platform::PropertyList::MakeBoolean(isTarn));
    const platform::PropertyList userInfo(std::move(entries));
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kDeviceAttachedNotification, nullptr,
        &userInfo, false);
}

void PostNoDevicesAttached() {
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kNoDevicesAttachedNotification,
        nullptr, nullptr, false);
}

void ADeviceManager::RegisterPreferencesChangedNotification() {
    AddObserver(this, PreferencesChanged, kPreferencesChangedNotification);
}

void ADeviceManager::RegisterPreferencesPanelStartedNotification() {
    AddObserver(this, PreferencesPanelStarted, kPrefPaneStartedNotification);
}

void ADeviceManager::UnregisterPreferencesChangedNotification() {
    RemoveObserver(this, kPreferencesChangedNotification);
}

void ADeviceManager::UnregisterPreferencesPanelStartedNotification() {
    RemoveObserver(this, kPrefPaneStartedNotification);
}

void ADeviceManager::PreferencesPanelStartedNotificationCallback() {
    if (sNumDevices != 0) {
        PostDeviceAttached(HasTarnMouse());
    } else {
        PostNoDevicesAttached();
    }
}
