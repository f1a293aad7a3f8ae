#pragma once

#include <cstdint>
#include <string_view>

#include "ButtonMapping.h"
#include "MouseModels.h"
#include "PaneAgentNotifications.h"
#include "VendorIdSetting.h"

// Constants the agent shares with the driver, the pane and the system.

// USB vendor id of the mouse family: the build's default unless the machine's
// configuration names another, fixed when the agent starts (main.cpp).
inline const std::uint32_t& kVendorId = platform::VendorIdInForce().value;

// Registry class of the driver instances (which carry "VendorID" and
// "ProductID" like the HID devices they serve).
inline constexpr std::string_view kOrvandelDriverClassName = "com_halvorin_OrvandelDriver";

// Registry class of the system's HID parameter service.
inline constexpr std::string_view kHidSystemClassName = "IOHIDSystem";

// Key of the driver property dictionary that only the driver reads; the other
// three share their names with the settings dictionary (DeviceSettings.h).
inline constexpr std::string_view kIsTarnMouseKey = "IsTarnMouse";

// Driver message codes with a fixed meaning.
inline constexpr std::uint32_t kMessageNothing = 0;
inline constexpr std::uint32_t kMessageAllButtonsUp = 255;

// Modifier flag bits of synthetic events beyond the four of the catalogue
// (ButtonMapping.h).
inline constexpr std::uint32_t kSecondaryFunctionModifierFlag = 0x800000;
// The modifiers a flags-changed event may carry.
inline constexpr std::uint32_t kPostableModifierMask = kShiftModifierFlag | kControlModifierFlag |
                                                       kOptionModifierFlag | kCommandModifierFlag |
                                                       kSecondaryFunctionModifierFlag;
// The modifiers a held modifier-key button stamps on key-down events.
inline constexpr std::uint32_t kHeldModifierMask =
    kShiftModifierFlag | kControlModifierFlag | kOptionModifierFlag | kCommandModifierFlag;

// Event data version of key and mouse events (flags-changed events carry
// kNXEventDataVersion).
inline constexpr std::uint32_t kKeyAndMouseDataVersion = 0;
