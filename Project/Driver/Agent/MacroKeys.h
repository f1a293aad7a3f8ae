#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// One step of a recorded keystroke: a virtual key code and the modifier flags
// held with it.
struct AKeyStrokeStep {
    std::uint32_t keyCode;
    std::uint32_t modifierFlags;

    bool operator==(const AKeyStrokeStep&) const = default;
};

// Calls `perform` for each step of a macro-keys string ("name,code,flags"
// entries joined by "|"), in order. The key code and flags are the last two
// fields of an entry, so that a key named "," still reads right; an entry with
// fewer than three fields (a key named "|" splits into such a fragment, or a
// hand-edited recording) is skipped.
void ForEachKeyStrokeStep(std::string_view macroKeys,
                          const std::function<void(const AKeyStrokeStep&)>& perform);
