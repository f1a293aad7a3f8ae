#include "KeyStrokePanel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <array>
#include <utility>

#include "KeyboardLayout.h"
#include "QtKeyTranslation.h"
#include "UserAttention.h"
#include "ui_KeyStrokePanel.h"

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
    {36, "Return"}, {48, "Tab"},     {49, "Space"},   {51, "Delete"},  {53, "Esc"},
    {57, "CapsLock"}, {71, "NumLock"}, {76, "Enter"}, {96, "F5"},      {97, "F6"},
    {98, "F7"},     {99, "F3"},      {100, "F8"},     {101, "F9"},     {103, "F11"},
    {105, "F13"},   {109, "F10"},    {111, "F12"},    {115, "Home"},   {116, "PgUp"},
    {117, "Delete"}, {118, "F4"},    {119, "End"},    {120, "F2"},     {121, "PgDown"},
    {122, "F1"},    {123, "Left"},   {124, "Right"},  {125, "Down"},   {126, "Up"},
}};

// The recording's separators: a key typing one of them gets a name instead,
// so that its entry keeps its three fields.
QString SeparatorSafeName(const QString& characters) {
    if (characters == QLatin1String(",")) {
        return QStringLiteral("Comma");
    }
    if (characters == QLatin1String("|")) {
        return QStringLiteral("Bar");
    }
    return characters;
}

}  // namespace

static platform::CGEventRef myCGEventCallback(platform::CGEventTapProxy proxy,
                                              platform::CGEventType type,
                                              platform::CGEventRef event, void* context);

AKeyStrokePanel::AKeyStrokePanel(QWidget* parent)
    : QDialog(parent), fUi(std::make_unique<Ui::KeyStrokePanel>()) {
    fUi->setupUi(this);
    fMacroInputField = fUi->fMacroInputField;
}

AKeyStrokePanel::~AKeyStrokePanel() {
    windowDidResignKey();
}

void AKeyStrokePanel::awakeFromNib() {
    // The sheet is its own window delegate: activation is seen in event().
    setWindowModality(Qt::WindowModal);
}

bool AKeyStrokePanel::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            windowDidBecomeKey();
            break;
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            windowDidResignKey();
            break;
        case QEvent::ShortcutOverride:
            // Every key is the recording's, shortcuts included.
            event->accept();
            return true;
        default:
            break;
    }
    return QDialog::event(event);
}

void AKeyStrokePanel::windowDidBecomeKey() {
    using namespace platform;
    if (fEventTap || fKeyboardGrabbed) {
        return;
    }
    fEventTap = CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap,
                                 kCGEventTapOptionDefault,
                                 CGEventMaskBit(kCGEventKeyDown) | CGEventMaskBit(kCGEventKeyUp),
                                 myCGEventCallback, this);
    if (fEventTap) {
        fRunLoopSource = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, fEventTap, 0);
        CFRunLoopAddSource(CFRunLoopGetCurrent(), fRunLoopSource, kCFRunLoopCommonModes);
        CGEventTapEnable(fEventTap, true);
    } else {
        grabKeyboard();
        fKeyboardGrabbed = true;
    }
}

void AKeyStrokePanel::windowDidResignKey() {
    using namespace platform;
    if (fRunLoopSource) {
        CFRunLoopRemoveSource(CFRunLoopGetCurrent(), fRunLoopSource, kCFRunLoopCommonModes);
        fRunLoopSource.reset();
    }
    if (fEventTap) {
        CGEventTapEnable(fEventTap, false);
        CFMachPortInvalidate(fEventTap);
        fEventTap.reset();
    }
    if (fKeyboardGrabbed) {
        releaseKeyboard();
        fKeyboardGrabbed = false;
    }
}

void AKeyStrokePanel::keyPressEvent(QKeyEvent* event) {
    HandleWindowSystemKey(event, true);
}

void AKeyStrokePanel::keyReleaseEvent(QKeyEvent* event) {
    HandleWindowSystemKey(event, false);
}

void AKeyStrokePanel::HandleWindowSystemKey(QKeyEvent* event, bool pressed) {
    event->accept();
    const std::optional<AKeyEvent> key = ToKeyEvent(*event, pressed);
    if (!key) {
        return;
    }
    if (IsModifierKey(*event)) {
        flagsChanged(*key);
    } else if (pressed) {
        // As the window system does: a key with Command is a key equivalent.
        if ((key->modifierFlags & kCommandKeyMask) != 0) {
            performKeyEquivalent(*key);
        } else {
            keyDown(*key);
        }
    }
}

void AKeyStrokePanel::flagsChanged(const AKeyEvent& event) {
    const std::uint32_t flags = event.modifierFlags;
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
    const QString names = GetModFlagsString(changed, fCurrentModFlags);
    if (!names.isEmpty()) {
        ShowText(Text() + (fUserEnteringKeyCombo ? QStringLiteral("+") : QString()) + names);
        fCurrentModFlags |= changed;
    }
    fUserEnteringKeyCombo = true;
    fUserPressingModifierKeys = true;
}

void AKeyStrokePanel::keyDown(const AKeyEvent& event) {
    if (event.isARepeat) {
        return;
    }
    const QString name = GetKeyString(event);
    if (name.isEmpty()) {
        platform::NSBeep();
        fUserEnteringKeyCombo = false;
        fCurrentModFlags = 0;
        return;
    }
    QString text = Text();
    if (fUserEnteringKeyCombo) {
        text += QStringLiteral("+%1 ").arg(name);
        fNeedsToClearModifierKeys = fUserPressingModifierKeys;
        Record(name, event);
    } else if (!fNeedsToClearModifierKeys) {
        if (!text.isEmpty()) {
            text += QLatin1Char(' ');
        }
        text += QStringLiteral("%1 ").arg(name);
        Record(name, event);
    }
    ShowText(text);
    fUserEnteringKeyCombo = false;
    fCurrentModFlags = 0;
}

bool AKeyStrokePanel::performKeyEquivalent(const AKeyEvent& event) {
    const QString name = GetKeyString(event);
    if (name.isEmpty()) {
        platform::NSBeep();
        return true;
    }
    if (fUserEnteringKeyCombo) {
        ShowText(Text() + QStringLiteral("+%1 ").arg(name));
        fNeedsToClearModifierKeys = true;
        Record(name, event);
    }
    fUserEnteringKeyCombo = false;
    fCurrentModFlags = 0;
    return true;
}

void AKeyStrokePanel::Record(const QString& name, const AKeyEvent& event) {
    fKeyCodes.append(QStringLiteral("%1,%2,%3").arg(name).arg(event.keyCode).arg(fCurrentModFlags));
}

void AKeyStrokePanel::SetKeyCodes(const QString& keyCodes) {
    fUserPressingModifierKeys = false;
    fNeedsToClearModifierKeys = false;
    fUserEnteringKeyCombo = false;
    fCurrentModFlags = 0;
    if (keyCodes.isEmpty()) {
        fKeyCodes.clear();
        ShowText(QString());
        return;
    }
    const QStringList entries = keyCodes.split(QLatin1Char('|'));
    QStringList pieces;
    for (const QString& entry : entries) {
        const QStringList fields = entry.split(QLatin1Char(','));
        if (fields.size() < 3) {
            SetKeyCodes(QString());  // a malformed recording loads as none
            return;
        }
        const auto flags = static_cast<std::uint32_t>(fields[2].trimmed().toLongLong());
        pieces.append(flags != 0 ? GetModFlagsString(flags, 0) + QLatin1Char('+') + fields[0]
                                 : fields[0]);
    }
    fKeyCodes = entries;
    ShowText(QStringLiteral("%1 ").arg(pieces.join(QLatin1Char(' '))));
}

QString AKeyStrokePanel::KeyCodesString() const {
    return fKeyCodes.join(QLatin1Char('|'));
}

bool AKeyStrokePanel::HasValidRecording() const {
    return !fUserEnteringKeyCombo;
}

QString AKeyStrokePanel::GetKeyString(const AKeyEvent& event) {
    for (const KeyName& key : kKeyNames) {
        if (key.keyCode == event.keyCode) {
            return QString::fromLatin1(key.name);
        }
    }
    return SeparatorSafeName(event.charactersIgnoringModifiers);
}

std::optional<std::uint16_t> AKeyStrokePanel::KeyCodeForName(const QString& name) {
    for (const KeyName& key : kKeyNames) {
        if (name == QLatin1String(key.name)) {
            return key.keyCode;
        }
    }
    return KeyCodeForCharacters(name);
}

QString AKeyStrokePanel::GetModFlagsString(std::uint32_t flags, std::uint32_t currentFlags) {
    QString names;
    names.reserve(25);
    for (const ModifierName& modifier : kModifierNames) {
        if ((flags & modifier.mask) != 0 && (currentFlags & modifier.mask) == 0) {
            if (!names.isEmpty()) {
                names += QLatin1Char('+');
            }
            names += QLatin1String(modifier.name);
        }
    }
    return names;
}

void AKeyStrokePanel::ShowText(const QString& text) {
    fMacroInputField->setText(text);
}

QString AKeyStrokePanel::Text() const {
    return fMacroInputField->text();
}

// The tap's callback: a key down goes to the sheet (the context) as a
// window-system key event; every key event is consumed. File-local: the agent,
// which shares the simulated machine's process, has a callback of that name.
static platform::CGEventRef myCGEventCallback(platform::CGEventTapProxy, platform::CGEventType type,
                                              platform::CGEventRef event, void* context) {
    if (type == platform::kCGEventKeyDown && event != nullptr) {
        AKeyEvent key;
        key.keyCode = static_cast<std::uint16_t>(
            platform::CGEventGetIntegerValueField(event, platform::kCGKeyboardEventKeycode));
        key.modifierFlags = static_cast<std::uint32_t>(platform::CGEventGetFlags(event));
        key.charactersIgnoringModifiers = CharactersIgnoringModifiers(key.keyCode);
        static_cast<AKeyStrokePanel*>(context)->keyDown(key);
    }
    return nullptr;
}
