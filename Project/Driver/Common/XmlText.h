#pragma once

#include <string>
#include <string_view>

// The text with only what an XML 1.0 document may hold: tab, line feed,
// carriage return and the characters from U+0020 on, without the surrogates
// and U+FFFE/U+FFFF, as valid UTF-8. Everything else (other control
// characters, bytes that are no UTF-8 character) is left out; a character
// reference cannot carry them either, so stored text never holds them.
std::string XmlText(std::string_view text);
