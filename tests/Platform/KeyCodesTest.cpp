#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cstdint>
#include <map>
#include <vector>

#include "KeyCodes.h"

namespace platform {
namespace {

// Independent facts: the "Linux Keycode" and "OS-X Keycode" columns of every
// row with both, from data/keymaps.csv of the public keycodemapdb project
// (qemu/keycodemapdb), except three rows: KEY_KATAKANA (not in our table), and
// KEY_KPCOMMA and KEY_COMPOSE, which that file itself marks doubtful or gives
// keys of another position (see the decisions below).
constexpr std::uint16_t kKeymapsExcerpt[][2] = {
    {1, 0x35},   {2, 0x12},   {3, 0x13},   {4, 0x14},   {5, 0x15},   {6, 0x17},   {7, 0x16},
    {8, 0x1a},   {9, 0x1c},   {10, 0x19},  {11, 0x1d},  {12, 0x1b},  {13, 0x18},  {14, 0x33},
    {15, 0x30},  {16, 0xc},   {17, 0xd},   {18, 0xe},   {19, 0xf},   {20, 0x11},  {21, 0x10},
    {22, 0x20},  {23, 0x22},  {24, 0x1f},  {25, 0x23},  {26, 0x21},  {27, 0x1e},  {28, 0x24},
    {29, 0x3b},  {30, 0x0},   {31, 0x1},   {32, 0x2},   {33, 0x3},   {34, 0x5},   {35, 0x4},
    {36, 0x26},  {37, 0x28},  {38, 0x25},  {39, 0x29},  {40, 0x27},  {41, 0x32},  {42, 0x38},
    {43, 0x2a},  {44, 0x6},   {45, 0x7},   {46, 0x8},   {47, 0x9},   {48, 0xb},   {49, 0x2d},
    {50, 0x2e},  {51, 0x2b},  {52, 0x2f},  {53, 0x2c},  {54, 0x3c},  {55, 0x43},  {56, 0x3a},
    {57, 0x31},  {58, 0x39},  {59, 0x7a},  {60, 0x78},  {61, 0x63},  {62, 0x76},  {63, 0x60},
    {64, 0x61},  {65, 0x62},  {66, 0x64},  {67, 0x65},  {68, 0x6d},  {71, 0x59},  {72, 0x5b},
    {73, 0x5c},  {74, 0x4e},  {75, 0x56},  {76, 0x57},  {77, 0x58},  {78, 0x45},  {79, 0x53},
    {80, 0x54},  {81, 0x55},  {82, 0x52},  {83, 0x41},  {87, 0x67},  {88, 0x6f},  {95, 0x5f},
    {96, 0x4c},  {97, 0x3e},  {98, 0x4b},  {100, 0x3d}, {102, 0x73}, {103, 0x7e}, {104, 0x74},
    {105, 0x7b}, {106, 0x7c}, {107, 0x77}, {108, 0x7d}, {109, 0x79}, {111, 0x75}, {113, 0x4a},
    {114, 0x49}, {115, 0x48}, {117, 0x51}, {124, 0x5d}, {125, 0x37}, {183, 0x69}, {184, 0x6b},
    {185, 0x71}, {186, 0x6a}, {187, 0x40}, {188, 0x4f}, {189, 0x50}, {190, 0x5a},
};

// Our own choices where that file has no or a doubtful row: the keys at the
// same position on a PC keyboard.
const std::map<std::uint16_t, std::uint16_t> kDecisions = {
    {kVK_RightCommand, KEY_RIGHTMETA},
    {kVK_Function, KEY_FN},
    {kVK_ANSI_KeypadClear, KEY_NUMLOCK},
    {kVK_Help, KEY_INSERT},
    {kVK_PrintScreen, KEY_SYSRQ},
};

TEST(KeyCodesTest, EveryMappingAgreesWithTheIndependentTableOrIsADecision) {
    std::map<std::uint16_t, std::uint16_t> expected = kDecisions;
    for (const auto& row : kKeymapsExcerpt) {
        expected.emplace(row[1], row[0]);
        EXPECT_EQ(VirtualKeyForEvdevCode(row[0]), row[1]) << "evdev " << row[0];
    }
    for (std::uint16_t key = 0; key < 0x100; ++key) {
        auto found = expected.find(key);
        if (found == expected.end()) {
            EXPECT_EQ(EvdevCodeForVirtualKey(key), std::nullopt) << "virtual " << key;
        } else {
            EXPECT_EQ(EvdevCodeForVirtualKey(key), found->second) << "virtual " << key;
        }
    }
}

TEST(KeyCodesTest, TranslationsRoundTripAndReadBackAliases) {
    for (std::uint16_t key = 0; key < 0x80; ++key) {
        if (auto evdev = EvdevCodeForVirtualKey(key)) {
            EXPECT_EQ(VirtualKeyForEvdevCode(*evdev), key) << "virtual " << key;
        }
    }
    for (std::uint16_t code = 0; code <= KEY_MAX; ++code) {
        auto key = VirtualKeyForEvdevCode(code);
        if (key && code != KEY_HELP) {
            EXPECT_EQ(EvdevCodeForVirtualKey(*key), code) << code;
        }
    }
    EXPECT_EQ(VirtualKeyForEvdevCode(KEY_HELP), kVK_Help);
    EXPECT_EQ(VirtualKeyForEvdevCode(KEY_RESERVED), std::nullopt);
    EXPECT_EQ(VirtualKeyForEvdevCode(0xFFFF), std::nullopt);
}

TEST(KeyCodesTest, FlagsPressLeftKeysAndEitherHandReadsBack) {
    struct Case {
        std::uint32_t flags;
        std::vector<std::uint16_t> keys;
    };
    const Case cases[] = {
        {0, {}},
        {0x100000 | 0x2 | 0x100, {KEY_LEFTMETA}},  // device bits are ignored
        {0x20000 | 0x80000, {KEY_LEFTSHIFT, KEY_LEFTALT}},
        {0x10000 | 0x20000 | 0x40000 | 0x80000 | 0x100000 | 0x800000,
         {KEY_CAPSLOCK, KEY_LEFTSHIFT, KEY_LEFTCTRL, KEY_LEFTALT, KEY_LEFTMETA, KEY_FN}},
    };
    for (const Case& c : cases) {
        ModifierKeys keys = ModifierEvdevKeysForFlags(c.flags);
        EXPECT_EQ(std::vector<std::uint16_t>(keys.begin(), keys.end()), c.keys) << c.flags;
        for (std::uint16_t key : keys) EXPECT_NE(FlagForEvdevModifier(key) & c.flags, 0u);
    }
    const std::pair<std::uint16_t, std::uint32_t> sides[] = {
        {KEY_RIGHTSHIFT, 0x20000},
        {KEY_RIGHTCTRL, 0x40000},
        {KEY_RIGHTALT, 0x80000},
        {KEY_RIGHTMETA, 0x100000},
        {KEY_A, 0},
        {KEY_RESERVED, 0},
    };
    for (const auto& [key, flag] : sides) EXPECT_EQ(FlagForEvdevModifier(key), flag) << key;
}

}  // namespace
}  // namespace platform
