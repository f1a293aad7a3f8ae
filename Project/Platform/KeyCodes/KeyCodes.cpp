#include "KeyCodes.h"

#include <linux/input-event-codes.h>

namespace platform {
namespace {

struct KeyPair {
    std::uint16_t virtualKey;
    std::uint16_t evdev;
};

// Each virtual key and the evdev key at its position, grouped by kind.
// clang-format off
constexpr KeyPair kKeys[] = {
    {kVK_ANSI_A, KEY_A}, {kVK_ANSI_B, KEY_B}, {kVK_ANSI_C, KEY_C}, {kVK_ANSI_D, KEY_D},
    {kVK_ANSI_E, KEY_E}, {kVK_ANSI_F, KEY_F}, {kVK_ANSI_G, KEY_G}, {kVK_ANSI_H, KEY_H},
    {kVK_ANSI_I, KEY_I}, {kVK_ANSI_J, KEY_J}, {kVK_ANSI_K, KEY_K}, {kVK_ANSI_L, KEY_L},
    {kVK_ANSI_M, KEY_M}, {kVK_ANSI_N, KEY_N}, {kVK_ANSI_O, KEY_O}, {kVK_ANSI_P, KEY_P},
    {kVK_ANSI_Q, KEY_Q}, {kVK_ANSI_R, KEY_R}, {kVK_ANSI_S, KEY_S}, {kVK_ANSI_T, KEY_T},
    {kVK_ANSI_U, KEY_U}, {kVK_ANSI_V, KEY_V}, {kVK_ANSI_W, KEY_W}, {kVK_ANSI_X, KEY_X},
    {kVK_ANSI_Y, KEY_Y}, {kVK_ANSI_Z, KEY_Z},
    {kVK_ANSI_0, KEY_0}, {kVK_ANSI_1, KEY_1}, {kVK_ANSI_2, KEY_2}, {kVK_ANSI_3, KEY_3},
    {kVK_ANSI_4, KEY_4}, {kVK_ANSI_5, KEY_5}, {kVK_ANSI_6, KEY_6}, {kVK_ANSI_7, KEY_7},
    {kVK_ANSI_8, KEY_8}, {kVK_ANSI_9, KEY_9},
    {kVK_ANSI_Minus, KEY_MINUS}, {kVK_ANSI_Equal, KEY_EQUAL},
    {kVK_ANSI_LeftBracket, KEY_LEFTBRACE}, {kVK_ANSI_RightBracket, KEY_RIGHTBRACE},
    {kVK_ANSI_Semicolon, KEY_SEMICOLON}, {kVK_ANSI_Quote, KEY_APOSTROPHE},
    {kVK_ANSI_Grave, KEY_GRAVE}, {kVK_ANSI_Backslash, KEY_BACKSLASH},
    {kVK_ANSI_Comma, KEY_COMMA}, {kVK_ANSI_Period, KEY_DOT}, {kVK_ANSI_Slash, KEY_SLASH},
    {kVK_F1, KEY_F1}, {kVK_F2, KEY_F2}, {kVK_F3, KEY_F3}, {kVK_F4, KEY_F4},
    {kVK_F5, KEY_F5}, {kVK_F6, KEY_F6}, {kVK_F7, KEY_F7}, {kVK_F8, KEY_F8},
    {kVK_F9, KEY_F9}, {kVK_F10, KEY_F10}, {kVK_F11, KEY_F11}, {kVK_F12, KEY_F12},
    {kVK_F13, KEY_F13}, {kVK_F14, KEY_F14}, {kVK_F15, KEY_F15}, {kVK_F16, KEY_F16},
    {kVK_F17, KEY_F17}, {kVK_F18, KEY_F18}, {kVK_F19, KEY_F19}, {kVK_F20, KEY_F20},
    {kVK_LeftArrow, KEY_LEFT}, {kVK_RightArrow, KEY_RIGHT},
    {kVK_DownArrow, KEY_DOWN}, {kVK_UpArrow, KEY_UP},
    {kVK_Return, KEY_ENTER}, {kVK_Tab, KEY_TAB}, {kVK_Space, KEY_SPACE},
    {kVK_Delete, KEY_BACKSPACE}, {kVK_ForwardDelete, KEY_DELETE}, {kVK_Escape, KEY_ESC},
    {kVK_Home, KEY_HOME}, {kVK_End, KEY_END}, {kVK_PageUp, KEY_PAGEUP},
    {kVK_PageDown, KEY_PAGEDOWN}, {kVK_Help, KEY_INSERT},
    {kVK_ANSI_Keypad0, KEY_KP0}, {kVK_ANSI_Keypad1, KEY_KP1}, {kVK_ANSI_Keypad2, KEY_KP2},
    {kVK_ANSI_Keypad3, KEY_KP3}, {kVK_ANSI_Keypad4, KEY_KP4}, {kVK_ANSI_Keypad5, KEY_KP5},
    {kVK_ANSI_Keypad6, KEY_KP6}, {kVK_ANSI_Keypad7, KEY_KP7}, {kVK_ANSI_Keypad8, KEY_KP8},
    {kVK_ANSI_Keypad9, KEY_KP9},
    {kVK_ANSI_KeypadDecimal, KEY_KPDOT}, {kVK_ANSI_KeypadMultiply, KEY_KPASTERISK},
    {kVK_ANSI_KeypadPlus, KEY_KPPLUS}, {kVK_ANSI_KeypadMinus, KEY_KPMINUS},
    {kVK_ANSI_KeypadDivide, KEY_KPSLASH}, {kVK_ANSI_KeypadEquals, KEY_KPEQUAL},
    {kVK_ANSI_KeypadEnter, KEY_KPENTER}, {kVK_ANSI_KeypadClear, KEY_NUMLOCK},
    {kVK_JIS_Yen, KEY_YEN}, {kVK_JIS_KeypadComma, KEY_KPJPCOMMA},
    {kVK_Shift, KEY_LEFTSHIFT}, {kVK_RightShift, KEY_RIGHTSHIFT},
    {kVK_Control, KEY_LEFTCTRL}, {kVK_RightControl, KEY_RIGHTCTRL},
    {kVK_Option, KEY_LEFTALT}, {kVK_RightOption, KEY_RIGHTALT},
    {kVK_Command, KEY_LEFTMETA}, {kVK_RightCommand, KEY_RIGHTMETA},
    {kVK_CapsLock, KEY_CAPSLOCK}, {kVK_Function, KEY_FN},
    {kVK_PrintScreen, KEY_SYSRQ},
    {kVK_VolumeUp, KEY_VOLUMEUP}, {kVK_VolumeDown, KEY_VOLUMEDOWN}, {kVK_Mute, KEY_MUTE},
};
// clang-format on

// Evdev keys that share a position with a key above, read back only.
constexpr KeyPair kAliases[] = {{kVK_Help, KEY_HELP}};

constexpr std::uint8_t kNone = 0xFF;  // virtual codes are below 0x80
constexpr std::size_t kVirtualCount = 0x80;
constexpr std::size_t kEvdevCount = KEY_FN + 1;  // the highest code in the table

constexpr auto kEvdevByVirtual = [] {
    std::array<std::uint16_t, kVirtualCount> table{};
    for (const KeyPair& pair : kKeys) table[pair.virtualKey] = pair.evdev;
    return table;
}();

constexpr auto kVirtualByEvdev = [] {
    std::array<std::uint8_t, kEvdevCount> table{};
    table.fill(kNone);
    for (const KeyPair& pair : kKeys) {
        table[pair.evdev] = static_cast<std::uint8_t>(pair.virtualKey);
    }
    for (const KeyPair& pair : kAliases) {
        table[pair.evdev] = static_cast<std::uint8_t>(pair.virtualKey);
    }
    return table;
}();

struct Modifier {
    std::uint32_t flag;
    std::uint16_t left;
    std::uint16_t right;  // 0: one key only
};

// In the order the keys go down.
constexpr Modifier kModifiers[] = {
    {kModifierFlagCapsLock, KEY_CAPSLOCK, 0},
    {kModifierFlagShift, KEY_LEFTSHIFT, KEY_RIGHTSHIFT},
    {kModifierFlagControl, KEY_LEFTCTRL, KEY_RIGHTCTRL},
    {kModifierFlagOption, KEY_LEFTALT, KEY_RIGHTALT},
    {kModifierFlagCommand, KEY_LEFTMETA, KEY_RIGHTMETA},
    {kModifierFlagFunction, KEY_FN, 0},
};
static_assert(std::size(kModifiers) == std::tuple_size_v<decltype(ModifierKeys::codes)>);

}  // namespace

std::optional<std::uint16_t> EvdevCodeForVirtualKey(std::uint16_t virtualKey) {
    // KEY_RESERVED (0) marks a virtual code without a key.
    if (virtualKey >= kVirtualCount || kEvdevByVirtual[virtualKey] == 0) return std::nullopt;
    return kEvdevByVirtual[virtualKey];
}

std::optional<std::uint16_t> VirtualKeyForEvdevCode(std::uint16_t evdevCode) {
    if (evdevCode >= kEvdevCount || kVirtualByEvdev[evdevCode] == kNone) return std::nullopt;
    return kVirtualByEvdev[evdevCode];
}

ModifierKeys ModifierEvdevKeysForFlags(std::uint32_t flags) {
    ModifierKeys keys;
    for (const Modifier& modifier : kModifiers) {
        if (flags & modifier.flag) keys.codes[keys.count++] = modifier.left;
    }
    return keys;
}

std::uint32_t FlagForEvdevModifier(std::uint16_t evdevCode) {
    for (const Modifier& modifier : kModifiers) {
        if (evdevCode == modifier.left || (modifier.right != 0 && evdevCode == modifier.right)) {
            return modifier.flag;
        }
    }
    return 0;
}

}  // namespace platform
