#pragma once

// The distributed notifications to and from the agent are the protocol's.
#include "PaneAgentNotifications.h"

// Names the pane's classes pass between each other (process-local).

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
