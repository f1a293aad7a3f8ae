#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "KeyEventFilter.h"
#include "VirtualKeyCodes.h"

class QLineEdit;

namespace Ui {
class KeyStrokePanel;
}

// A key event as the window system hands it to the sheet: the virtual key
// code, the modifier-flag word, the characters the key types without
// modifiers, and whether it is an auto-repeat.
struct AKeyEvent {
    std::uint16_t keyCode = 0;
    std::uint32_t modifierFlags = 0;
    QString charactersIgnoringModifiers;
    bool isARepeat = false;
};

// Modifier bits of the flag word.
inline constexpr std::uint32_t kShiftKeyMask = platform::kModifierFlagShift;
inline constexpr std::uint32_t kControlKeyMask = platform::kModifierFlagControl;
inline constexpr std::uint32_t kOptionKeyMask = platform::kModifierFlagOption;
inline constexpr std::uint32_t kCommandKeyMask = platform::kModifierFlagCommand;
inline constexpr std::uint32_t kFunctionKeyMask = platform::kModifierFlagFunction;

// The keystroke recording sheet. It shows the recording (T) in its field and
// keeps, per key, the entry "name,key code,flags" that the agent replays (K).
// State: a modifier combination is open (E), modifiers are held (P), keys are
// ignored until all modifiers are released (N), and the modifier-flag word
// collected for the open combination (M).
//
// While the sheet is the active window a session keyboard tap swallows every
// key and hands key presses to keyDown; where no tap can be made, the sheet
// grabs the keyboard so that shortcuts reach it, and translates the window
// system's keys (ToKeyEvent).
class AKeyStrokePanel : public QDialog {
public:
    explicit AKeyStrokePanel(QWidget* parent = nullptr);
    ~AKeyStrokePanel() override;

    void awakeFromNib();
    void windowDidBecomeKey();
    void windowDidResignKey();

    void keyDown(const AKeyEvent& event);
    void flagsChanged(const AKeyEvent& event);
    bool performKeyEquivalent(const AKeyEvent& event);

    void SetKeyCodes(const QString& keyCodes);
    QString KeyCodesString() const;
    bool HasValidRecording() const;
    static QString GetKeyString(const AKeyEvent& event);
    static QString GetModFlagsString(std::uint32_t flags, std::uint32_t currentFlags);
    // The key a name of GetKeyString stands for; the first of equal names.
    static std::optional<std::uint16_t> KeyCodeForName(const QString& name);

    QLineEdit* macroInputField() const { return fMacroInputField; }
    Ui::KeyStrokePanel& ui() const { return *fUi; }
    const QStringList& keyCodes() const { return fKeyCodes; }
    bool hasEventTap() const { return fEventTap != nullptr; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void Record(const QString& name, const AKeyEvent& event);
    // A key the window system delivered (no tap, keyboard grabbed).
    void HandleWindowSystemKey(QKeyEvent* event, bool pressed);
    void ShowText(const QString& text);
    QString Text() const;

    std::unique_ptr<Ui::KeyStrokePanel> fUi;
    QLineEdit* fMacroInputField = nullptr;
    QStringList fKeyCodes;
    bool fUserEnteringKeyCombo = false;
    bool fUserPressingModifierKeys = false;
    bool fNeedsToClearModifierKeys = false;
    std::uint32_t fCurrentModFlags = 0;
    platform::CFMachPortRef fEventTap;
    platform::CFRunLoopSourceRef fRunLoopSource;
    bool fKeyboardGrabbed = false;
};
