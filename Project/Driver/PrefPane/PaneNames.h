#pragma once

// Names the pane's classes pass between each other (process-local) and to the
// agent (distributed). The agent has the same texts; they are the protocol.

// Local notifications and their user-info keys.
inline constexpr const char* kPointerSensitivityChangeNotif = "PointerSensitivityChangeNotif";
inline constexpr const char* kScrollWheelSensitivityChangeNotif =
    "ScrollWheelSensitivityChangeNotif";
inline constexpr const char* kReverseScrollDirectionChangeNotif =
    "ReverseScrollDirectionChangeNotif";
inline constexpr const char* kButtonMappingChangeNotif = "ButtonMappingChangeNotif";
inline constexpr const char* kRestoreDefaultsNotif = "RestoreDefaults";
inline constexpr const char* kButtonMacroMappingChangeNotif = "ButtonMacroMappingChangeNotif";
inline constexpr const char* kButtonMacroMappingKey = "ButtonMacroMappingKey";
inline constexpr const char* kButtonIndexKey = "ButtonIndexKey";
inline constexpr const char* kButtonIsPrimaryKey = "ButtonIsPrimaryKey";
// "PointerSensitivityKey", "ScrollWheelSensitivityKey" and
// "ReverseScrollDirectionKey" are the settings dictionary's (DeviceSettings.h).

// Distributed notifications between the pane and the agent.
inline constexpr const char* kPrefPaneStartedNotif = "PrefPaneStarted";
inline constexpr const char* kHalvorinAgentNotif = "HalvorinAgent";
inline constexpr const char* kPrefChangeObject = "PrefChange";
inline constexpr const char* kDeviceAttachedNotif = "DeviceAttached";
inline constexpr const char* kNoDevicesAttachedNotif = "NoDevicesAttached";
inline constexpr const char* kIsTarnKey = "IsTarn";
