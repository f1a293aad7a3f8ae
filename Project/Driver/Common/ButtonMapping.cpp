#include "ButtonMapping.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "RunningDesktop.h"
#include "SystemVersion.h"
#include "VirtualKeyCodes.h"

namespace {

using namespace platform;  // the virtual key codes

struct ButtonMappingInfo {
    std::int32_t mappingId;
    std::int32_t keyCode;  // -1: no key
    std::uint32_t modifierFlags;
};

constexpr std::uint32_t kShiftCommand = kShiftModifierFlag | kCommandModifierFlag;
constexpr std::uint32_t kShiftControlCommand =
    kShiftModifierFlag | kControlModifierFlag | kCommandModifierFlag;
constexpr std::uint32_t kOptionCommand = kOptionModifierFlag | kCommandModifierFlag;

// Both tables are indexed by ButtonMappingType. These are the rows as they
// stand before class initialisation fits them to the running system.
constexpr std::array<const char*, kNumButtonMappingTypes> kButtonMappingChoiceLabels = {
    "Disabled",
    "Left Click",
    "Right Click",
    "Middle Click",
    "Applications",
    "Back",
    "Close",
    "Copy",
    "Cut",
    "Delete",
    "Double Click",
    "Escape",
    "Find",
    "Forward",
    "Info",
    "KeyStroke Recording",
    "Left Click+Command",
    "Left Click+Option",
    "Left Click+Shift",
    "Minimize",
    "Page Down",
    "Page Up",
    "Paste",
    "Screen Shot to Clipboard",
    "Return",
    "Screen Shot to File",
    "Secondary Functions",
    "Show/Hide Dashboard",
    "Show/Hide Desktop",
    "Show/Hide Dock",
    "Spacebar",
    "Tab",
    "Shift Key",
    "Control Key",
    "Option Key",
    "Command Key",
    "Tile All Windows",
    "Tile Application Windows",
    "Undo",
    "Move Left a Space",
    "Move Right a Space",
    "Activate Spaces",
};

constexpr std::array<ButtonMappingInfo, kNumButtonMappingTypes> kButtonMappingInfo = {{
    {0, -1, 0},                       // Disabled
    {1, -1, 0},                       // Left Click
    {2, -1, 0},                       // Right Click
    {37, -1, 0},                      // Middle Click
    {3, 0, kShiftCommand},            // Applications: A
    {4, 33, kCommandModifierFlag},    // Back: [
    {5, 13, kCommandModifierFlag},    // Close: W
    {6, 8, kCommandModifierFlag},     // Copy: C
    {7, 7, kCommandModifierFlag},     // Cut: X
    {8, 51, 0},                       // Delete
    {9, -1, 0},                       // Double Click
    {10, 53, 0},                      // Escape
    {11, 3, kCommandModifierFlag},    // Find: F
    {12, 30, kCommandModifierFlag},   // Forward: ]
    {13, 34, kCommandModifierFlag},   // Info: I
    {14, -1, 0},                      // KeyStroke Recording
    {15, -1, 0},                      // Left Click+Command
    {16, -1, 0},                      // Left Click+Option
    {17, -1, 0},                      // Left Click+Shift
    {18, 46, kCommandModifierFlag},   // Minimize: M
    {19, 121, 0},                     // Page Down
    {20, 116, 0},                     // Page Up
    {21, 9, kCommandModifierFlag},    // Paste: V
    {22, 20, kShiftControlCommand},   // Screen Shot to Clipboard: 3
    {23, 36, 0},                      // Return
    {24, 20, kShiftCommand},          // Screen Shot to File: 3
    {25, -1, 0},                      // Secondary Functions
    {26, 111, 0},                     // Show/Hide Dashboard: F12
    {27, 103, 0},                     // Show/Hide Desktop: F11
    {28, 2, kOptionCommand},          // Show/Hide Dock: D
    {29, 49, 0},                      // Spacebar
    {30, 48, 0},                      // Tab
    {38, -1, kShiftModifierFlag},     // Shift Key
    {39, -1, kControlModifierFlag},   // Control Key
    {40, -1, kOptionModifierFlag},    // Option Key
    {41, -1, kCommandModifierFlag},   // Command Key
    {31, 101, 0},                     // Tile All Windows: F9
    {32, 109, 0},                     // Tile Application Windows: F10
    {33, 6, kCommandModifierFlag},    // Undo: Z
    {34, 123, kControlModifierFlag},  // Move Left a Space: Left Arrow
    {35, 124, kControlModifierFlag},  // Move Right a Space: Right Arrow
    {36, 100, 0},                     // Activate Spaces: F8
}};

// Rows that read differently from 10.7 on, where Mission Control replaced
// the window tiling keys.
constexpr ButtonMappingType kMissionControlRow = 36;
constexpr ButtonMappingType kApplicationWindowsRow = 37;
constexpr std::int32_t kUpArrowKeyCode = 126;
constexpr std::int32_t kDownArrowKeyCode = 125;

constexpr std::int32_t kUnknownMappingId = 0;

// The Linux desktops' own shortcuts for the keystroke rows whose catalogue
// keys would do nothing there (Command+C copies nothing: Command is Super).
// Modifier flags stay the catalogue's: the HID system translates Command to
// Super, Option to Alt. Rows not listed keep their catalogue keys.

struct DesktopRow {
    ButtonMappingType row;
    std::int32_t gnomeKey;
    std::uint32_t gnomeFlags;
    std::int32_t plasmaKey;
    std::uint32_t plasmaFlags;
};

constexpr std::uint32_t kCtrl = kControlModifierFlag;
constexpr std::uint32_t kAlt = kOptionModifierFlag;
constexpr std::uint32_t kSuper = kCommandModifierFlag;
constexpr std::uint32_t kShift = kShiftModifierFlag;

constexpr std::array<DesktopRow, 21> kDesktopRows = {{
    {4, kVK_ANSI_A, kSuper, kVK_F1, kAlt},                           // Applications
    {5, kVK_LeftArrow, kAlt, kVK_LeftArrow, kAlt},                   // Back
    {6, kVK_ANSI_W, kCtrl, kVK_ANSI_W, kCtrl},                       // Close
    {7, kVK_ANSI_C, kCtrl, kVK_ANSI_C, kCtrl},                       // Copy
    {8, kVK_ANSI_X, kCtrl, kVK_ANSI_X, kCtrl},                       // Cut
    {12, kVK_ANSI_F, kCtrl, kVK_ANSI_F, kCtrl},                      // Find
    {13, kVK_RightArrow, kAlt, kVK_RightArrow, kAlt},                // Forward
    {14, kVK_Return, kAlt, kVK_Return, kAlt},                        // Info: properties
    {19, kVK_ANSI_H, kSuper, kVK_PageDown, kSuper},                  // Minimize
    {22, kVK_ANSI_V, kCtrl, kVK_ANSI_V, kCtrl},                      // Paste
    {23, kVK_PrintScreen, kCtrl, kVK_PrintScreen, kSuper | kShift},  // Screen Shot to Clipboard
    {25, kVK_PrintScreen, kShift, kVK_PrintScreen, kShift},          // Screen Shot to File
    {27, kVK_ANSI_V, kSuper, kVK_ANSI_W, kSuper},                // Dashboard: GNOME's message tray
    {28, kVK_ANSI_D, kSuper, kVK_ANSI_D, kSuper},                // Show/Hide Desktop
    {29, kVK_F1, kAlt, kVK_F1, kAlt},                            // Dock: overview, launcher
    {36, kVK_F1, kAlt, kVK_F10, kCtrl},                          // Tile All Windows
    {37, kVK_ANSI_Grave, kAlt, kVK_F7, kCtrl},                   // Tile Application Windows
    {38, kVK_ANSI_Z, kCtrl, kVK_ANSI_Z, kCtrl},                  // Undo
    {39, kVK_PageUp, kSuper, kVK_LeftArrow, kCtrl | kSuper},     // Move Left a Space
    {40, kVK_PageDown, kSuper, kVK_RightArrow, kCtrl | kSuper},  // Move Right a Space
    {41, kVK_F1, kAlt, kVK_F8, kCtrl},                           // Activate Spaces
}};

// The class's process-wide state: the catalogue as this process uses it, fitted
// by class initialisation, and the mapping-id dictionaries. Created on first
// use, so that mappings made while other files are statically initialised
// find it ready.
struct ClassState {
    std::array<std::string, kNumButtonMappingTypes> labels;
    std::array<ButtonMappingInfo, kNumButtonMappingTypes> info = kButtonMappingInfo;
    bool initialized = false;
    std::unordered_map<std::int32_t, ButtonMappingType> sMappingIdToMappingType;
    std::unordered_map<ButtonMappingType, std::int32_t> sMappingTypeToMappingId;
    bool sInitializedMappingDictionaries = false;
};

ClassState& Class() {
    static ClassState state;
    return state;
}

bool IsCatalogueRow(ButtonMappingType type) {
    return type >= 0 && type < kNumButtonMappingTypes;
}

const ButtonMappingInfo& RowInfo(ButtonMappingType type) {
    return Class().info[static_cast<std::size_t>(type)];
}

}  // namespace

void AButtonMapping::initialize() {
    auto& state = Class();
    if (state.initialized) {
        return;
    }
    std::copy(kButtonMappingChoiceLabels.begin(), kButtonMappingChoiceLabels.end(),
              state.labels.begin());
    state.info = kButtonMappingInfo;
    if (SystemVersion::isLionOrGreater()) {
        state.labels[kMissionControlRow] = "Show Mission Control";
        state.info[kMissionControlRow].keyCode = kUpArrowKeyCode;
        state.info[kMissionControlRow].modifierFlags = kControlModifierFlag;
        state.labels[kApplicationWindowsRow] = "Show Application Windows";
        state.info[kApplicationWindowsRow].keyCode = kDownArrowKeyCode;
        state.info[kApplicationWindowsRow].modifierFlags = kControlModifierFlag;
    }
    if (const platform::Desktop desktop = platform::RunningDesktop();
        desktop != platform::Desktop::Catalogue) {
        const bool plasma = desktop == platform::Desktop::Plasma;
        for (const DesktopRow& row : kDesktopRows) {
            ButtonMappingInfo& info = state.info[static_cast<std::size_t>(row.row)];
            info.keyCode = plasma ? row.plasmaKey : row.gnomeKey;
            info.modifierFlags = plasma ? row.plasmaFlags : row.gnomeFlags;
        }
    }
    state.initialized = true;
}

const std::string& AButtonMapping::buttonMappingChoiceLabelOfType(ButtonMappingType type) {
    static const std::string kNoLabel;
    initialize();
    return IsCatalogueRow(type) ? Class().labels[static_cast<std::size_t>(type)] : kNoLabel;
}

AButtonMapping::AButtonMapping(ConstructionKey, ButtonMappingType type, std::string macroKeys)
    : fMapType(type), fMacroKeys(std::move(macroKeys)) {}

std::shared_ptr<const AButtonMapping> AButtonMapping::initWithType(ButtonMappingType type,
                                                                   std::string macroKeys) {
    PrepareForConstruction();
    const ButtonMappingType row = IsCatalogueRow(type) ? type : kDisabledMappingType;
    return std::make_shared<const AButtonMapping>(ConstructionKey{}, row, std::move(macroKeys));
}

std::shared_ptr<const AButtonMapping> AButtonMapping::initWithMapId(std::int32_t mapId,
                                                                    std::string macroKeys) {
    PrepareForConstruction();
    const auto& idToType = Class().sMappingIdToMappingType;
    const auto entry = idToType.find(mapId);
    const ButtonMappingType type = entry == idToType.end() ? kDisabledMappingType : entry->second;
    return std::make_shared<const AButtonMapping>(ConstructionKey{}, type, std::move(macroKeys));
}

void AButtonMapping::PrepareForConstruction() {
    initialize();
    if (!Class().sInitializedMappingDictionaries) {
        InitializeMappingDictionaries();
    }
}

void AButtonMapping::InitializeMappingDictionaries() {
    auto& state = Class();
    state.sMappingIdToMappingType.clear();
    state.sMappingTypeToMappingId.clear();
    state.sMappingIdToMappingType.reserve(kNumButtonMappingTypes);
    state.sMappingTypeToMappingId.reserve(kNumButtonMappingTypes);
    for (ButtonMappingType type = 0; type < kNumButtonMappingTypes; ++type) {
        const std::int32_t mappingId = kButtonMappingInfo[static_cast<std::size_t>(type)].mappingId;
        state.sMappingIdToMappingType[mappingId] = type;
        state.sMappingTypeToMappingId[type] = mappingId;
    }
    state.sInitializedMappingDictionaries = true;
}

std::int32_t AButtonMapping::GetId() const {
    const auto& typeToId = Class().sMappingTypeToMappingId;
    const auto entry = typeToId.find(fMapType);
    return entry == typeToId.end() ? kUnknownMappingId : entry->second;
}

platform::PropertyList AButtonMapping::MappingAsDict() const {
    return platform::PropertyList::Dictionary{
        {kMappingIdKey, std::to_string(GetId())},
        {kMacroKeysKey, fMacroKeys},
    };
}

bool AButtonMapping::IsPredefinedKeyStroke() const {
    return RowInfo(fMapType).keyCode >= 0;
}

bool AButtonMapping::IsModifierOnly() const {
    const auto& info = RowInfo(fMapType);
    return info.keyCode < 0 && info.modifierFlags != 0;
}

std::uint8_t AButtonMapping::KeyCode() const {
    return static_cast<std::uint8_t>(RowInfo(fMapType).keyCode & 0xff);
}

std::uint32_t AButtonMapping::ModifierFlags() const {
    return RowInfo(fMapType).modifierFlags;
}

void AButtonMapping::ResetClassStateForTesting() {
    Class() = ClassState{};
}
