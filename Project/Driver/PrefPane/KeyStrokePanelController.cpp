#include "KeyStrokePanelController.h"

#include <QLineEdit>
#include <QPushButton>

#include "KeyStrokePanel.h"
#include "LocalNotifications.h"
#include "PaneNames.h"
#include "UserAttention.h"
#include "ui_KeyStrokePanel.h"

void AKeyStrokePanelController::awakeFromNib() {
    fKeyStrokePanel->awakeFromNib();
    Ui::KeyStrokePanel& ui = fKeyStrokePanel->ui();
    connect(ui.fOkButton, &QPushButton::clicked, this, [this] { Ok(fKeyStrokePanel->ui().fOkButton); });
    connect(ui.fClearButton, &QPushButton::clicked, this,
            [this] { Clear(fKeyStrokePanel->ui().fClearButton); });
    connect(ui.fCancelButton, &QPushButton::clicked, this,
            [this] { Cancel(fKeyStrokePanel->ui().fCancelButton); });
    // Closing the sheet by the window manager is cancelling it.
    connect(fKeyStrokePanel, &QDialog::rejected, this, [this] { Cancel(fKeyStrokePanel); });
}

void AKeyStrokePanelController::ShowWindowForButtonIndex(
    std::uint32_t buttonIndex, bool isPrimary,
    std::shared_ptr<const AButtonMapping> currentMapping) {
    setCurrentMapping(std::move(currentMapping));
    fMacroInputField->setReadOnly(true);
    fMacroInputField->setFocusPolicy(Qt::NoFocus);
    fButtonIndex = buttonIndex;
    fButtonIsPrimary = isPrimary;
    fKeyStrokePanel->SetKeyCodes(
        fCurrentMapping ? QString::fromStdString(fCurrentMapping->macroKeys()) : QString());
    fKeyStrokePanel->open();
}

void AKeyStrokePanelController::Ok(QObject*) {
    if (fKeyStrokePanel->HasValidRecording()) {
        SetKeyStrokeRecordingMacro(fKeyStrokePanel->KeyCodesString());
        EndSheet();
        return;
    }
    platform::NSBeep();
    platform::RunStopAlert({kInvalidRecordingHeader, kInvalidRecordingMessage, "Ok"});
}

void AKeyStrokePanelController::Clear(QObject*) {
    fKeyStrokePanel->SetKeyCodes(QString());
}

void AKeyStrokePanelController::Cancel(QObject*) {
    if (!fCurrentMapping || fCurrentMapping->mapType() != kKeyStrokeRecordingMappingType) {
        // The menu already shows "KeyStroke Recording": the button gets it,
        // with nothing recorded.
        SetKeyStrokeRecordingMacro(QString());
    }
    EndSheet();
}

void AKeyStrokePanelController::SetKeyStrokeRecordingMacro(const QString& keys) {
    const platform::NotificationUserInfo userInfo{
        {kButtonMacroMappingKey,
         AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, keys.toStdString())},
        {kButtonIndexKey, fButtonIndex},
        {kButtonIsPrimaryKey, fButtonIsPrimary}};
    platform::NSNotificationCenter::defaultCenter().PostNotification(kButtonMacroMappingChangeNotif,
                                                                     this, &userInfo);
}

void AKeyStrokePanelController::EndSheet() {
    // Ends the sheet and any modal loop it runs in; "accepted" is not
    // "rejected", so this does not come back as a cancel.
    if (fKeyStrokePanel->isVisible()) {
        fKeyStrokePanel->done(QDialog::Accepted);
    }
}
