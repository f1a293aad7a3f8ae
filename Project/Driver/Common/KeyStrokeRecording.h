#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "VirtualKeyCodes.h"

// A key event as the recording takes it: the virtual key code, the
// modifier-flag word, the characters the key types without modifiers, and
// whether it is an auto-repeat.
struct AKeyEvent {
    std::uint16_t keyCode = 0;
    std::uint32_t modifierFlags = 0;
    std::string charactersIgnoringModifiers;
    bool isARepeat = false;
};

// Modifier bits of the flag word.
inline constexpr std::uint32_t kShiftKeyMask = platform::kModifierFlagShift;
inline constexpr std::uint32_t kControlKeyMask = platform::kModifierFlagControl;
inline constexpr std::uint32_t kOptionKeyMask = platform::kModifierFlagOption;
inline constexpr std::uint32_t kCommandKeyMask = platform::kModifierFlagCommand;
inline constexpr std::uint32_t kFunctionKeyMask = platform::kModifierFlagFunction;

// What the recording sheet says when OK meets a combination that no key
// completed.
inline constexpr const char* kInvalidRecordingHeader = "Invalid KeyStroke Recording";
inline constexpr const char* kInvalidRecordingMessage =
    "You cannot enter a key sequence consisting of only modifier keys.";

// A keystroke recording as the recording sheet makes it, from modifier
// changes and key presses: its text (T, what the sheet shows) and, per key,
// the entry "name,key code,flags" that the agent replays (K). State: a
// modifier combination is open (E), modifiers are held (P), keys are ignored
// until all modifiers are released (N), and the modifier-flag word collected
// for the open combination (M).
class AKeyStrokeRecording {
public:
    enum class KeyResult {
        Taken,    // shown, and recorded or deliberately ignored
        Ignored,  // an auto-repeat
        Refused,  // the key has no name: the sheet beeps
    };

    void flagsChanged(std::uint32_t flags);
    KeyResult keyDown(const AKeyEvent& event);
    KeyResult performKeyEquivalent(const AKeyEvent& event);

    // Starts over from a stored macro-keys string; a malformed one (an entry
    // with fewer than three fields) loads as none.
    void SetKeyCodes(std::string_view keyCodes);
    std::string KeyCodesString() const;
    // False while a modifier combination waits for its key.
    bool HasValidRecording() const { return !fUserEnteringKeyCombo; }
    const std::string& Text() const { return fText; }

    static std::string GetKeyString(const AKeyEvent& event);
    static std::string GetModFlagsString(std::uint32_t flags, std::uint32_t currentFlags);
    // The key a name of GetKeyString stands for; the first of equal names.
    static std::optional<std::uint16_t> KeyCodeForName(std::string_view name);
    // How a stored recording shows, one piece per key ("Cmd+c", "Return");
    // none for a malformed one.
    static std::optional<std::vector<std::string>> RecordingPieces(std::string_view keyCodes);

private:
    void Record(const std::string& name, const AKeyEvent& event);

    std::string fText;
    std::vector<std::string> fKeyCodes;
    bool fUserEnteringKeyCombo = false;
    bool fUserPressingModifierKeys = false;
    bool fNeedsToClearModifierKeys = false;
    std::uint32_t fCurrentModFlags = 0;
};

// One key as people write it: modifier names and a key name joined by "+"
// ("Cmd+c", "Shift+Opt+Tab", "Return", "F5"), or modifiers alone ("Cmd+Opt").
// Modifiers are Shift, Ctrl, Opt, Cmd and Fn; keys are the recording's names.
struct AKeyStrokeWord {
    std::vector<std::uint32_t> modifiers;  // in the order they are pressed
    std::optional<std::uint16_t> keyCode;  // none: modifiers alone
};

// None for a word with an unknown modifier or key; `error` then names it.
std::optional<AKeyStrokeWord> ParseKeyStrokeWord(std::string_view word, std::string& error);

// Types the word as a person would: each modifier pressed in turn
// (`flagsChanged` with the flags held so far), the key pressed with them
// (`keyDown`), then every modifier released (`flagsChanged` with 0).
void TypeKeyStrokeWord(
    const AKeyStrokeWord& word, const std::function<void(std::uint32_t flags)>& flagsChanged,
    const std::function<void(std::uint16_t keyCode, std::uint32_t flags)>& keyDown);
