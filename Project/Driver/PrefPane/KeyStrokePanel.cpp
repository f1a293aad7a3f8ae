#include "KeyStrokePanel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "KeyboardLayout.h"
#include "QtKeyTranslation.h"
#include "UserAttention.h"
#include "ui_KeyStrokePanel.h"

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
    fRecording.flagsChanged(event.modifierFlags);
    Show();
}

void AKeyStrokePanel::keyDown(const AKeyEvent& event) {
    Show(fRecording.keyDown(event));
}

bool AKeyStrokePanel::performKeyEquivalent(const AKeyEvent& event) {
    Show(fRecording.performKeyEquivalent(event));
    return true;
}

void AKeyStrokePanel::SetKeyCodes(const QString& keyCodes) {
    fRecording.SetKeyCodes(keyCodes.toStdString());
    Show();
}

QString AKeyStrokePanel::KeyCodesString() const {
    return QString::fromStdString(fRecording.KeyCodesString());
}

void AKeyStrokePanel::Show(AKeyStrokeRecording::KeyResult result) {
    if (result == AKeyStrokeRecording::KeyResult::Refused) {
        platform::NSBeep();
    }
    fMacroInputField->setText(QString::fromStdString(fRecording.Text()));
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
