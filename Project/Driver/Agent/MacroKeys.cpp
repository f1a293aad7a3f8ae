#include "MacroKeys.h"

#include "IntegerText.h"

namespace {

constexpr char kStepSeparator = '|';
constexpr char kFieldSeparator = ',';
constexpr int kFieldsPerStep = 3;

// Splits off the part of `text` before `separator`; `text` keeps the rest.
std::string_view TakeUntil(std::string_view& text, char separator, bool& more) {
    const auto at = text.find(separator);
    more = at != std::string_view::npos;
    const std::string_view head = text.substr(0, at);
    text = more ? text.substr(at + 1) : std::string_view{};
    return head;
}

void PerformEntry(std::string_view entry,
                  const std::function<void(const AKeyStrokeStep&)>& perform) {
    std::string_view last;
    std::string_view beforeLast;
    int fields = 0;
    bool more = true;
    while (more) {
        beforeLast = last;
        last = TakeUntil(entry, kFieldSeparator, more);
        ++fields;
    }
    if (fields < kFieldsPerStep) {
        return;
    }
    perform({static_cast<std::uint32_t>(IntegerValueOfText(beforeLast)) & 0xFFFF,
             static_cast<std::uint32_t>(IntegerValueOfText(last))});
}

}  // namespace

void ForEachKeyStrokeStep(std::string_view macroKeys,
                          const std::function<void(const AKeyStrokeStep&)>& perform) {
    if (macroKeys.empty()) {
        return;
    }
    bool more = true;
    while (more) {
        PerformEntry(TakeUntil(macroKeys, kStepSeparator, more), perform);
    }
}
