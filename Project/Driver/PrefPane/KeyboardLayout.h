#pragma once

#include <QString>
#include <cstdint>

// What a key types on the U.S. layout without modifiers, by virtual key code:
// letters, digits, punctuation and the keypad's characters. Empty for keys
// that type nothing (function, arrow, editing keys, modifiers).
QString CharactersIgnoringModifiers(std::uint16_t keyCode);
