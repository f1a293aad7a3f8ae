#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a key types on the U.S. layout without modifiers, by virtual key code:
// letters, digits, punctuation and the keypad's characters; the names of F14
// to F19 and Help, which type private-use characters on the Mac. Empty for
// keys that type nothing (other function, arrow and editing keys, modifiers).
std::string CharactersIgnoringModifiers(std::uint16_t keyCode);
// The key that types these characters (the main block before the keypad).
std::optional<std::uint16_t> KeyCodeForCharacters(std::string_view characters);
