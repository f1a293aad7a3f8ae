#pragma once

#include <string_view>

// The boolean value of a text, as the settings file reads its flags: after
// leading white space, and an optional sign followed by zeros, true if the
// next character is 'Y', 'y', 'T', 't' or a digit 1 to 9, otherwise false.
bool BooleanValueOfText(std::string_view text);
