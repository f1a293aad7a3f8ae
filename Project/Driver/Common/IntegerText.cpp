#include "IntegerText.h"

#include <limits>

namespace {

bool IsWhiteSpace(char character) {
    return character == ' ' || (character >= '\t' && character <= '\r');
}

bool IsDigit(char character) {
    return character >= '0' && character <= '9';
}

}  // namespace

std::int32_t IntegerValueOfText(std::string_view text) {
    std::size_t position = 0;
    while (position < text.size() && IsWhiteSpace(text[position])) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    // Accumulate the magnitude in 64 bits and stop once it is past any
    // 32-bit limit, so that long digit runs cannot overflow.
    constexpr std::int64_t kBeyondLimit =
        std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; position < text.size() && IsDigit(text[position]); ++position) {
        if (magnitude < kBeyondLimit) {
            magnitude = magnitude * 10 + (text[position] - '0');
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> PlainNumberOfText(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    for (char character : text) {
        if (!IsDigit(character)) {
            return std::nullopt;
        }
        value = value * 10 + (character - '0');
    }
    return value;
}
