#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "PropertyList.h"
#include "VirtualKeyCodes.h"

// A button function: the row of the catalogue, 0 to 41. The number used in
// memory, in the pane's menus, by the agent and by the driver.
using ButtonMappingType = std::int32_t;

inline constexpr int kNumButtonMappingTypes = 42;

// Rows that the programs act on by name.
enum : ButtonMappingType {
    kDisabledMappingType = 0,
    kLeftClickMappingType = 1,
    kRightClickMappingType = 2,
    kMiddleClickMappingType = 3,
    kBackMappingType = 5,
    kDoubleClickMappingType = 10,
    kForwardMappingType = 13,
    kKeyStrokeRecordingMappingType = 15,
    kLeftClickCommandMappingType = 16,
    kLeftClickOptionMappingType = 17,
    kLeftClickShiftMappingType = 18,
    kSecondaryFunctionsMappingType = 26,
    kShiftKeyMappingType = 32,
    kControlKeyMappingType = 33,
    kOptionKeyMappingType = 34,
    kCommandKeyMappingType = 35,
    kActivateSpacesMappingType = 41,
};

// Device-independent modifier bits of key events.
inline constexpr std::uint32_t kShiftModifierFlag = platform::kModifierFlagShift;
inline constexpr std::uint32_t kControlModifierFlag = platform::kModifierFlagControl;
inline constexpr std::uint32_t kOptionModifierFlag = platform::kModifierFlagOption;
inline constexpr std::uint32_t kCommandModifierFlag = platform::kModifierFlagCommand;

// Keys of a mapping's dictionary form.
inline constexpr const char* kMappingIdKey = "kMappingIdKey";
inline constexpr const char* kMacroKeysKey = "MacroKeys";

// One button's function: a catalogue row plus the macro-keys string of a
// recorded keystroke ("name,keyCode,flags" entries joined by "|"; nothing here
// looks inside it). Immutable; holders share it through
// std::shared_ptr<const AButtonMapping>.
//
// Each row also has a persistent mapping id (another permutation of 0 to 41),
// which is what stored settings and the settings dictionary carry, so that
// stored settings keep their meaning when rows move.
class AButtonMapping {
    struct ConstructionKey {};

public:
    // Class initialisation, once per process before any other use (every
    // label query and construction calls it): fits the rows that depend on
    // the running system version. Calling it again does nothing.
    static void initialize();

    // Label of a catalogue row; the empty string for a type outside 0 to 41.
    static const std::string& buttonMappingChoiceLabelOfType(ButtonMappingType type);

    // A type outside 0 to 41 gives a "Disabled" mapping.
    static std::shared_ptr<const AButtonMapping> initWithType(ButtonMappingType type,
                                                              std::string macroKeys);
    // The row whose mapping id is mapId; an unknown id gives "Disabled".
    static std::shared_ptr<const AButtonMapping> initWithMapId(std::int32_t mapId,
                                                               std::string macroKeys);

    ButtonMappingType mapType() const { return fMapType; }
    const std::string& macroKeys() const { return fMacroKeys; }

    // The persistent mapping id of the row.
    std::int32_t GetId() const;
    // {"kMappingIdKey": mapping id as decimal text, "MacroKeys": macro keys}.
    platform::PropertyList MappingAsDict() const;
    // The row has a key code (0 or more).
    bool IsPredefinedKeyStroke() const;
    // The row has no key code but modifier flags: the modifier-key rows.
    bool IsModifierOnly() const;
    // Low 8 bits of the row's key code; 255 for rows without a key.
    std::uint8_t KeyCode() const;
    std::uint32_t ModifierFlags() const;

    bool operator==(const AButtonMapping& other) const = default;

    // Forgets the class initialisation and the mapping-id dictionaries, so
    // that the next use runs them again against the then-installed system
    // version. For tests only.
    static void ResetClassStateForTesting();

    AButtonMapping(ConstructionKey, ButtonMappingType type, std::string macroKeys);

private:
    static void PrepareForConstruction();
    static void InitializeMappingDictionaries();

    ButtonMappingType fMapType;
    std::string fMacroKeys;
};
