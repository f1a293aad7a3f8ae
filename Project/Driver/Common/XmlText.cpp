#include "XmlText.h"

#include <cstdint>

namespace {

bool IsXmlCharacter(char32_t c) {
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// The length of the UTF-8 sequence at the start of `text` and its character;
// 0 when the bytes there are no well-formed sequence (a stray continuation
// byte, a cut sequence, an overlong form).
std::size_t DecodeUtf8(std::string_view text, char32_t& c) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    std::size_t length = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    return c < smallest ? 0 : length;
}

}  // namespace

std::string XmlText(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    while (!text.empty()) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(text, c);
        if (length == 0) {
            text.remove_prefix(1);
            continue;
        }
        if (IsXmlCharacter(c)) kept.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return kept;
}
