#include "KeyStrokeRecording.h"

#include <array>

#include "KeyboardLayout.h"
#include "MacroKeys.h"

namespace {

constexpr std::uint32_t kAnyModifierMask = 0x1E0000 | kFunctionKeyMask;

struct ModifierName {
    std::uint32_t mask;
    const char* name;
};
// In the order the names are written.
constexpr std::array<ModifierName, 5> kModifierNames = {{{kShiftKeyMask, "Shift"},
                                                         {kFunctionKeyMask, "Fn"},
                                                         {kControlKeyMask, "Ctrl"},
                                                         {kOptionKeyMask, "Opt"},
                                                         {kCommandKeyMask, "Cmd"}}};

struct KeyName {
    std::uint16_t keyCode;
    const char* name;
};
constexpr std::array<KeyName, 30> kKeyNames = {{
    {36, "Return"},   {48, "Tab"},     {49, "Space"},  {51, "Delete"}, {53, "Esc"},
    {57, "CapsLock"}, {71, "NumLock"}, {76, "Enter"},  {96, "F5"},     {97, "F6"},
    {98, "F7"},       {99, "F3"},      {100, "F8"},    {101, "F9"},    {103, "F11"},
    {105, "F13"},     {109, "F10"},    {111, "F12"},   {115, "Home"},  {116, "PgUp"},
    {117, "Delete"},  {118, "F4"},     {119, "End"},   {120, "F2"},    {121, "PgDown"},
    {122, "F1"},      {123, "Left"},   {124, "Right"}, {125, "Down"},  {126, "Up"},
}};

// The recording's separators: a key typing one of them gets a name instead,
// so that its entry keeps its three fields.
struct SeparatorName {
    const char* characters;
    const char* name;
};
constexpr std::array<SeparatorName, 2> kSeparatorNames = {{{",", "Comma"}, {"|", "Bar"}}};

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) {
            joined += separator;
        }
        joined += parts[i];
    }
    return joined;
}

std::optional<std::uint32_t> ModifierNamed(std::string_view name) {
    for (const ModifierName& modifier : kModifierNames) {
        if (name == modifier.name) {
            return modifier.mask;
        }
    }
    return std::nullopt;
}

}  // namespace

void AKeyStrokeRecording::flagsChanged(std::uint32_t flags) {
    if ((flags & kAnyModifierMask) == 0) {
        fUserPressingModifierKeys = false;
        fNeedsToClearModifierKeys = false;
        return;
    }
    if (flags == fCurrentModFlags || fNeedsToClearModifierKeys) {
        fUserPressingModifierKeys = true;
        return;
    }
    const std::uint32_t changed = flags ^ fCurrentModFlags;
    const std::string names = GetModFlagsString(changed, fCurrentModFlags);
    if (!names.empty()) {
        fText += (fUserEnteringKeyCombo ? "+" : "") + names;
        fCurrentModFlags |= changed;
    }
    fUserEnteringKeyCombo = true;
    fUserPressingModifierKeys = true;
}

AKeyStrokeRecording::KeyResult AKeyStrokeRecording::keyDown(const AKeyEvent& event) {
    if (event.isARepeat) {
        return KeyResult::Ignored;
    }
    const std::string name = GetKeyString(event);
    if (name.empty()) {
        fUserEnteringKeyCombo = false;
        fCurrentModFlags = 0;
        return KeyResult::Refused;
    }
    if (fUserEnteringKeyCombo) {
        fText += "+" + name + " ";
        fNeedsToClearModifierKeys = fUserPressingModifierKeys;
        Record(name, event);
    } else if (!fNeedsToClearModifierKeys) {
        if (!fText.empty()) {
            fText += ' ';
        }
        fText += name + " ";
        Record(name, event);
    }
    fUserEnteringKeyCombo = false;
    fCurrentModFlags = 0;
    return KeyResult::Taken;
}

AKeyStrokeRecording::KeyResult AKeyStrokeRecording::performKeyEquivalent(const AKeyEvent& event) {
    const std::string name = GetKeyString(event);
    if (name.empty()) {
        return KeyResult::Refused;
    }
    if (fUserEnteringKeyCombo) {
        fText += "+" + name + " ";
        fNeedsToClearModifierKeys = true;
        Record(name, event);
    }
    fUserEnteringKeyCombo = false;
    fCurrentModFlags = 0;
    return KeyResult::Taken;
}

void AKeyStrokeRecording::Record(const std::string& name, const AKeyEvent& event) {
    fKeyCodes.push_back(name + "," + std::to_string(event.keyCode) + "," +
                        std::to_string(fCurrentModFlags));
}

void AKeyStrokeRecording::SetKeyCodes(std::string_view keyCodes) {
    fUserPressingModifierKeys = false;
    fNeedsToClearModifierKeys = false;
    fUserEnteringKeyCombo = false;
    fCurrentModFlags = 0;
    fKeyCodes.clear();
    fText.clear();
    const std::optional<std::vector<std::string>> pieces = RecordingPieces(keyCodes);
    if (keyCodes.empty() || !pieces) {
        return;
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = keyCodes.find('|', start);
        fKeyCodes.emplace_back(keyCodes.substr(start, end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    fText = Joined(*pieces, " ") + " ";
}

std::optional<std::vector<std::string>> AKeyStrokeRecording::RecordingPieces(
    std::string_view keyCodes) {
    std::vector<std::string> pieces;
    bool malformed = false;
    ForEachMacroKeyEntry(keyCodes, [&](std::optional<AMacroKeyEntry> entry) {
        if (!entry) {
            malformed = true;
            return;
        }
        std::string piece(entry->name);
        if (entry->modifierFlags != 0) {
            piece = GetModFlagsString(entry->modifierFlags, 0) + "+" + piece;
        }
        pieces.push_back(std::move(piece));
    });
    if (malformed) {
        return std::nullopt;
    }
    return pieces;
}

std::string AKeyStrokeRecording::KeyCodesString() const {
    return Joined(fKeyCodes, "|");
}

std::string AKeyStrokeRecording::GetKeyString(const AKeyEvent& event) {
    for (const KeyName& key : kKeyNames) {
        if (key.keyCode == event.keyCode) {
            return key.name;
        }
    }
    for (const SeparatorName& separator : kSeparatorNames) {
        if (event.charactersIgnoringModifiers == separator.characters) {
            return separator.name;
        }
    }
    return event.charactersIgnoringModifiers;
}

std::optional<std::uint16_t> AKeyStrokeRecording::KeyCodeForName(std::string_view name) {
    for (const KeyName& key : kKeyNames) {
        if (name == key.name) {
            return key.keyCode;
        }
    }
    for (const SeparatorName& separator : kSeparatorNames) {
        if (name == separator.name) {
            return KeyCodeForCharacters(separator.characters);
        }
    }
    return KeyCodeForCharacters(name);
}

std::string AKeyStrokeRecording::GetModFlagsString(std::uint32_t flags,
                                                   std::uint32_t currentFlags) {
    std::string names;
    names.reserve(25);
    for (const ModifierName& modifier : kModifierNames) {
        if ((flags & modifier.mask) != 0 && (currentFlags & modifier.mask) == 0) {
            if (!names.empty()) {
                names += '+';
            }
            names += modifier.name;
        }
    }
    return names;
}

std::optional<AKeyStrokeWord> ParseKeyStrokeWord(std::string_view word, std::string& error) {
    // The key "+" itself stands last: "+" alone, or after a "+" ("Shift++").
    std::string_view keyPart;
    std::string_view modifierPart;
    if (word == "+" || (word.size() > 2 && word.ends_with("++"))) {
        keyPart = "+";
        modifierPart = word.substr(0, word.size() > 1 ? word.size() - 2 : 0);
    } else {
        const std::size_t last = word.rfind('+');
        keyPart = last == std::string_view::npos ? word : word.substr(last + 1);
        modifierPart = last == std::string_view::npos ? std::string_view{} : word.substr(0, last);
    }
    AKeyStrokeWord parsed;
    while (!modifierPart.empty()) {
        const std::size_t end = modifierPart.find('+');
        const std::string_view name = modifierPart.substr(0, end);
        const std::optional<std::uint32_t> mask = ModifierNamed(name);
        if (!mask) {
            error = "unknown modifier '" + std::string(name) + "'";
            return std::nullopt;
        }
        parsed.modifiers.push_back(*mask);
        modifierPart =
            end == std::string_view::npos ? std::string_view{} : modifierPart.substr(end + 1);
    }
    if (const std::optional<std::uint32_t> mask = ModifierNamed(keyPart)) {
        parsed.modifiers.push_back(*mask);
        return parsed;
    }
    parsed.keyCode = AKeyStrokeRecording::KeyCodeForName(keyPart);
    if (!parsed.keyCode) {
        error = "unknown key '" + std::string(keyPart) + "'";
        return std::nullopt;
    }
    return parsed;
}

void TypeKeyStrokeWord(
    const AKeyStrokeWord& word, const std::function<void(std::uint32_t flags)>& flagsChanged,
    const std::function<void(std::uint16_t keyCode, std::uint32_t flags)>& keyDown) {
    std::uint32_t flags = 0;
    for (const std::uint32_t modifier : word.modifiers) {
        flags |= modifier;
        flagsChanged(flags);
    }
    if (word.keyCode) {
        keyDown(*word.keyCode, flags);
    }
    if (flags != 0) {
        flagsChanged(0);
    }
}
