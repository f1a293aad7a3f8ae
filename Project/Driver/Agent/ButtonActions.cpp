#include "ButtonActions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "AgentConstants.h"
#include "AgentSettings.h"
#include "AgentState.h"
#include "ButtonMenus.h"
#include "DeviceManager.h"
#include "EventTap.h"
#include "HIDSystem.h"
#include "KeyEventFilter.h"
#include "MacroKeys.h"
#include "ReportBits.h"

namespace {

void PostEvent(std::uint32_t type, platform::IOGPoint location, const platform::NXEventData& data,
               std::uint32_t dataVersion, std::uint32_t flags, std::uint32_t options) {
    platform::IOHIDPostEvent(sHidConnection, type, location, &data, dataVersion, flags, options);
}

void PostKey(std::uint32_t type, std::uint32_t keyCode) {
    platform::NXEventData data{};
    data.key.keyCode = static_cast<std::uint16_t>(keyCode);
    PostEvent(type, {0, 0}, data, kKeyAndMouseDataVersion, 0, 0);
}

// A coordinate of the pointer, truncated toward zero and held within the
// range of a signed 16-bit value (a position outside it clamps to the edge).
std::int16_t ToEventCoordinate(double value) {
    constexpr double kLow = std::numeric_limits<std::int16_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int16_t>::max();
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<std::int16_t>(std::clamp(std::trunc(value), kLow, kHigh));
}

std::uint32_t ModifierOfClickType(ButtonMappingType type) {
    switch (type) {
        case kLeftClickCommandMappingType:
            return kCommandModifierFlag;
        case kLeftClickOptionMappingType:
            return kOptionModifierFlag;
        default:
            return kShiftModifierFlag;
    }
}

bool IsPerformedByDriver(ButtonMappingType type) {
    switch (type) {
        case kDisabledMappingType:
        case kLeftClickMappingType:
        case kRightClickMappingType:
        case kMiddleClickMappingType:
        case kDoubleClickMappingType:
        case kSecondaryFunctionsMappingType:
            return true;
        default:
            return false;
    }
}

void PerformMapping(const AButtonMapping& mapping) {
    const ButtonMappingType type = mapping.mapType();
    if (IsPerformedByDriver(type)) {
        return;
    }
    if (mapping.IsModifierOnly()) {
        InstallEventTap(mapping.ModifierFlags());
        SetModifierKeys(mapping.ModifierFlags());
        return;
    }
    switch (type) {
        case kLeftClickCommandMappingType:
        case kLeftClickOptionMappingType:
        case kLeftClickShiftMappingType:
            PerformModifiedClick(ModifierOfClickType(type));
            return;
        default:
            PerformKeyStroke(mapping);
            return;
    }
}

}  // namespace

void RegisterForDriverNotifications() {
    for (auto& notification : sInterestNotifs) {
        if (notification != 0) {
            platform::IOObjectRelease(notification);
            notification = 0;
        }
    }
    for (int i = 0; i < sNumDevices && i < kMaxDevices; ++i) {
        platform::IOServiceAddInterestNotification(
            sDriverNotificationPort, sOrvandelObject[i], platform::kIOGeneralInterest,
            HandleDriverNotification, nullptr, &sInterestNotifs[i]);
    }
}

void HandleDriverNotification(void* /*refCon*/, platform::io_service_t service,
                              platform::natural_t messageType, void* /*messageArgument*/) {
    if (messageType == kMessageNothing) {
        return;
    }
    if (messageType == kMessageAllButtonsUp) {
        ReleaseHeldModifiers();
        return;
    }
    const auto mapping = GetButtonMapping(messageType, ADeviceManager::IsTarnMouse(service));
    if (mapping != nullptr) {
        PerformMapping(*mapping);
    }
}

void ReleaseHeldModifiers() {
    if (sEventFlags != 0) {
        RemoveEventTap();
        EndHidKeySequence();
    }
}

std::shared_ptr<const AButtonMapping> GetButtonMapping(std::uint32_t value, bool isTarn) {
    const ADeviceSettings& settings = AgentSettingsRecord();
    const bool shiftIsSecondaryFunctions =
        settings.PrimaryButtonMappingAtIndex(AMouseButtons{isTarn}.FullMenuButtonIndex())
            ->mapType() == kSecondaryFunctionsMappingType;
    const auto slot = DecodeButtonMessage(value, isTarn, shiftIsSecondaryFunctions);
    if (!slot) {
        return nullptr;
    }
    return slot->isPrimary ? settings.PrimaryButtonMappingAtIndex(slot->index)
                           : settings.SecondaryButtonMappingAtIndex(slot->index);
}

void PerformKeyStroke(const AButtonMapping& mapping) {
    if (mapping.IsPredefinedKeyStroke()) {
        PerformComplexKeyStroke(mapping.KeyCode(), mapping.ModifierFlags());
        return;
    }
    ForEachKeyStrokeStep(mapping.macroKeys(), [](const AKeyStrokeStep& step) {
        PerformComplexKeyStroke(step.keyCode, step.modifierFlags);
    });
}

void PerformComplexKeyStroke(std::uint32_t keyCode, std::uint32_t flags) {
    if (flags != 0) {
        SetModifierKeys(flags);
    }
    PerformSimpleKeyStroke(keyCode);
    EndHidKeySequence();
}

void PerformSimpleKeyStroke(std::uint32_t keyCode) {
    PostKey(platform::NX_KEYDOWN, keyCode);
    PostKey(platform::NX_KEYUP, keyCode);
}

void SetModifierKeys(std::uint32_t flags) {
    PostEvent(platform::NX_FLAGSCHANGED, {0, 0}, platform::NXEventData{},
              platform::kNXEventDataVersion, flags & kPostableModifierMask,
              platform::kIOHIDSetGlobalEventFlags);
}

void EndHidKeySequence() {
    PostEvent(platform::NX_FLAGSCHANGED, {0, 0}, platform::NXEventData{},
              platform::kNXEventDataVersion, 0, platform::kIOHIDSetGlobalEventFlags);
}

void PerformModifiedClick(std::uint32_t flags) {
    SetModifierKeys(flags);
    const platform::CGPoint pointer = platform::NSEventMouseLocation();
    const auto screen = platform::NSScreenMainScreenFrame();
    const double screenHeight = screen ? screen->size.height : 0.0;
    const platform::IOGPoint location{ToEventCoordinate(pointer.x),
                                      ToEventCoordinate(screenHeight - pointer.y)};
    PostEvent(platform::NX_LMOUSEDOWN, location, platform::NXEventData{}, kKeyAndMouseDataVersion,
              0, 0);
    PostEvent(platform::NX_LMOUSEUP, location, platform::NXEventData{}, kKeyAndMouseDataVersion, 0,
              0);
    EndHidKeySequence();
}
