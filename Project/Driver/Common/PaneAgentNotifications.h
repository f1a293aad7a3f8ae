#pragma once

#include "PropertyList.h"

// The distributed notifications between the pane and the agent: names, the
// object the pane posts with, and the one user-info key of the agent's answer.
// The texts are the protocol both sides rely on.
inline constexpr const char* kPrefChangeObject = "PrefChange";
inline constexpr const char* kPreferencesChangedNotification = "HalvorinAgent";
inline constexpr const char* kPrefPaneStartedNotification = "PrefPaneStarted";
inline constexpr const char* kDeviceAttachedNotification = "DeviceAttached";
inline constexpr const char* kNoDevicesAttachedNotification = "NoDevicesAttached";
inline constexpr const char* kIsTarnKey = "IsTarn";

// The agent's "IsTarn" answer in a "DeviceAttached" user info; false when
// missing.
inline bool IsTarnInUserInfo(const platform::PropertyList* userInfo) {
    const platform::PropertyList* isTarn =
        userInfo != nullptr ? userInfo->Find(kIsTarnKey) : nullptr;
    return isTarn != nullptr && isTarn->AsBoolean().value_or(false);
}
