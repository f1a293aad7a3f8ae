#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The integer value of a decimal text, as stored settings are read: leading
// white space (space, tab, newline, vertical tab, form feed, carriage return)
// skipped, an optional sign, then the digits up to the first non-digit. No
// digits gives 0. A value beyond the 32-bit range saturates at its limit.
std::int32_t IntegerValueOfText(std::string_view text);

// A number written in decimal digits alone, at most nine of them (no sign, no
// blanks); none otherwise. For input that must be exactly a number.
std::optional<std::int32_t> PlainNumberOfText(std::string_view text);
