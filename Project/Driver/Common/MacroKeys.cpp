#include "MacroKeys.h"

#include "IntegerText.h"

namespace {

constexpr char kEntrySeparator = '|';
constexpr char kFieldSeparator = ',';

}  // namespace

std::optional<AMacroKeyEntry> ReadMacroKeyEntry(std::string_view entry) {
    const std::size_t flagsAt = entry.rfind(kFieldSeparator);
    if (flagsAt == std::string_view::npos || flagsAt == 0) {
        return std::nullopt;
    }
    const std::size_t keyCodeAt = entry.rfind(kFieldSeparator, flagsAt - 1);
    if (keyCodeAt == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view keyCode = entry.substr(keyCodeAt + 1, flagsAt - keyCodeAt - 1);
    return AMacroKeyEntry{
        entry.substr(0, keyCodeAt),
        static_cast<std::uint16_t>(IntegerValueOfText(keyCode) & 0xFFFF),
        static_cast<std::uint32_t>(IntegerValueOfText(entry.substr(flagsAt + 1))),
    };
}

void ForEachMacroKeyEntry(std::string_view macroKeys,
                          const std::function<void(std::optional<AMacroKeyEntry>)>& visit) {
    if (macroKeys.empty()) {
        return;
    }
    for (bool more = true; more;) {
        const std::size_t end = macroKeys.find(kEntrySeparator);
        more = end != std::string_view::npos;
        visit(ReadMacroKeyEntry(macroKeys.substr(0, end)));
        macroKeys = more ? macroKeys.substr(end + 1) : std::string_view{};
    }
}

void ForEachKeyStrokeStep(std::string_view macroKeys,
                          const std::function<void(const AKeyStrokeStep&)>& perform) {
    ForEachMacroKeyEntry(macroKeys, [&](std::optional<AMacroKeyEntry> entry) {
        if (entry) {
            perform({entry->keyCode, entry->modifierFlags});
        }
    });
}
