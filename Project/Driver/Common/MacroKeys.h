#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

// A macro-keys string is a recorded keystroke: one entry per key,
// "name,key code,flags", the entries joined by "|". The recording sheet shows
// entries by their name and flags and the agent performs their key code and
// flags; both read an entry here, so that what the sheet shows is what the
// button does.

// One entry: the key's name as the sheet shows it, its virtual key code
// (16 bits) and the modifier flags held with it.
struct AMacroKeyEntry {
    std::string_view name;
    std::uint16_t keyCode;
    std::uint32_t modifierFlags;

    bool operator==(const AMacroKeyEntry&) const = default;
};

// Reads one entry. The key code and flags are its last two fields, each the
// integer value of its text (so "1048576x" reads 1048576), and the name is
// what stands before them, so that a key named "," still reads right. None
// for an entry with fewer than three fields (a key named "|" leaves such a
// fragment, and so may a hand-edited recording).
std::optional<AMacroKeyEntry> ReadMacroKeyEntry(std::string_view entry);

// Calls `visit` with each entry of the string in order, read or none; an
// empty string has no entries.
void ForEachMacroKeyEntry(std::string_view macroKeys,
                          const std::function<void(std::optional<AMacroKeyEntry>)>& visit);

// One step of a recorded keystroke as the agent performs it.
struct AKeyStrokeStep {
    std::uint32_t keyCode;
    std::uint32_t modifierFlags;

    bool operator==(const AKeyStrokeStep&) const = default;
};

// Calls `perform` for each step of a macro-keys string in order; an entry
// that does not read is skipped.
void ForEachKeyStrokeStep(std::string_view macroKeys,
                          const std::function<void(const AKeyStrokeStep&)>& perform);
