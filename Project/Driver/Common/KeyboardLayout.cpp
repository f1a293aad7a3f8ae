#include "KeyboardLayout.h"

#include <array>

namespace {

struct KeyCharacter {
    std::uint16_t keyCode;
    char character;
};

constexpr std::array<KeyCharacter, 63> kUsLayout = {{
    {0, 'a'},   {1, 's'},   {2, 'd'},   {3, 'f'},   {4, 'h'},   {5, 'g'},   {6, 'z'},
    {7, 'x'},   {8, 'c'},   {9, 'v'},   {11, 'b'},  {12, 'q'},  {13, 'w'},
    {14, 'e'},  {15, 'r'},  {16, 'y'},  {17, 't'},  {18, '1'},  {19, '2'},  {20, '3'},
    {21, '4'},  {22, '6'},  {23, '5'},  {24, '='},  {25, '9'},  {26, '7'},  {27, '-'},
    {28, '8'},  {29, '0'},  {30, ']'},  {31, 'o'},  {32, 'u'},  {33, '['},  {34, 'i'},
    {35, 'p'},  {37, 'l'},  {38, 'j'},  {39, '\''}, {40, 'k'},  {41, ';'},  {42, '\\'},
    {43, ','},  {44, '/'},  {45, 'n'},  {46, 'm'},  {47, '.'},  {50, '`'},  {65, '.'},
    {67, '*'},  {69, '+'},  {75, '/'},  {78, '-'},  {81, '='},  {82, '0'},  {83, '1'},
    {84, '2'},  {85, '3'},  {86, '4'},  {87, '5'},  {88, '6'},  {89, '7'},  {91, '8'},
    {92, '9'},
}};

}  // namespace

// Keys that type no character on this system but a private-use function-key
// character on the Mac's: their names stand in, so that they can be recorded.
struct KeyText {
    std::uint16_t keyCode;
    const char* text;
};
constexpr std::array<KeyText, 7> kFunctionKeyTexts = {{{107, "F14"},
                                                       {113, "F15"},
                                                       {106, "F16"},
                                                       {64, "F17"},
                                                       {79, "F18"},
                                                       {80, "F19"},
                                                       {114, "Help"}}};

std::string CharactersIgnoringModifiers(std::uint16_t keyCode) {
    for (const KeyCharacter& key : kUsLayout) {
        if (key.keyCode == keyCode) {
            return std::string(1, key.character);
        }
    }
    for (const KeyText& key : kFunctionKeyTexts) {
        if (key.keyCode == keyCode) {
            return key.text;
        }
    }
    return {};
}

std::optional<std::uint16_t> KeyCodeForCharacters(std::string_view characters) {
    for (const KeyCharacter& key : kUsLayout) {
        if (characters == std::string_view(&key.character, 1)) {
            return key.keyCode;
        }
    }
    for (const KeyText& key : kFunctionKeyTexts) {
        if (characters == key.text) {
            return key.keyCode;
        }
    }
    return std::nullopt;
}
