#include "BooleanText.h"

namespace {

bool IsWhiteSpace(char character) {
    return character == ' ' || (character >= '\t' && character <= '\r');
}

}  // namespace

bool BooleanValueOfText(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    while (!text.empty() && text.front() == '0') text.remove_prefix(1);
    if (text.empty()) return false;
    const char next = text.front();
    return next == 'Y' || next == 'y' || next == 'T' || next == 't' || (next >= '1' && next <= '9');
}
