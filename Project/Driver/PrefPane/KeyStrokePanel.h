#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "KeyEventFilter.h"
#include "KeyStrokeRecording.h"

class QLineEdit;

namespace Ui {
class KeyStrokePanel;
}

// The keystroke recording sheet: shows its recording (AKeyStrokeRecording,
// the settings model's) in its field, and beeps for a key without a name.
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
    bool HasValidRecording() const { return fRecording.HasValidRecording(); }

    QLineEdit* macroInputField() const { return fMacroInputField; }
    Ui::KeyStrokePanel& ui() const { return *fUi; }
    bool hasEventTap() const { return fEventTap != nullptr; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // A key the window system delivered (no tap, keyboard grabbed).
    void HandleWindowSystemKey(QKeyEvent* event, bool pressed);
    // Shows the recording's text; beeps for a refused key.
    void Show(AKeyStrokeRecording::KeyResult result = AKeyStrokeRecording::KeyResult::Taken);

    std::unique_ptr<Ui::KeyStrokePanel> fUi;
    QLineEdit* fMacroInputField = nullptr;
    AKeyStrokeRecording fRecording;
    platform::CFMachPortRef fEventTap;
    platform::CFRunLoopSourceRef fRunLoopSource;
    bool fKeyboardGrabbed = false;
};
