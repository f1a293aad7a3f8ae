// Renders the preference pane, off screen, in each of its states into PNG
// files so that a person can look at them:
//   PrefPaneSnapshots <folder>
// writes Searching, NoDevices, Sensitivity, Buttons, ButtonsTarn, Recording,
// HintKeyboard and HintAssistive (.png; "@2x.png" when run with
// QT_SCALE_FACTOR=2). The pane runs on the simulated machine's services in a
// throw-away home: nothing of the user's is read or written.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QTabWidget>

#include "ButtonMappingPaneController.h"
#include "DistributedNotifications.h"
#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "MainPrefController.h"
#include "MappingInfoPanelController.h"
#include "PaneNames.h"
#include "RunLoop.h"
#include "SnapshotFolder.h"
#include "TemporaryHome.h"

namespace {

void Announce(bool isTarn) {
    const platform::PropertyList userInfo(
        platform::PropertyList::Dictionary{{kIsTarnKey, platform::PropertyList::MakeBoolean(isTarn)}});
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kDeviceAttachedNotification, nullptr,
        &userInfo, false);
    platform::CFRunLoopGetCurrent()->RunUntilIdle();
}

AKeyEvent Key(std::uint16_t code, const char* characters, std::uint32_t flags = 0) {
    return {code, flags, characters, false};
}

}  // namespace

int main(int argc, char** argv) {
    if (!SnapshotFolder::Prepare(argc, argv)) {
        return 2;
    }
    QApplication application(argc, argv);
    std::optional<SnapshotFolder> folder = SnapshotFolder::Make(argv[1]);
    if (!folder) {
        return 1;
    }
    SnapshotFolder& snapshots = *folder;
    platform::ScopedTemporaryHome home;
    platform::RunLoop& loop = *platform::CFRunLoopGetCurrent();

    AMainPrefController pane;
    QWidget* view = pane.loadMainView();
    pane.mainViewDidLoad();
    view->show();
    pane.willSelect();
    snapshots.Save(*view, "Searching");

    loop.RunFor(10.0);  // nobody answers
    snapshots.Save(*view, "NoDevices");

    Announce(false);
    snapshots.Save(*view, "Sensitivity");
    pane.fTabView->setCurrentIndex(1);
    snapshots.Save(*view, "Buttons");

    // The recording sheet for button 3: Command+C, then Return.
    QComboBox* menu = pane.fButtonMappingPaneController->fButton3MappingChooser;
    menu->setCurrentIndex(kKeyStrokeRecordingMappingType);
    emit menu->activated(kKeyStrokeRecordingMappingType);
    AKeyStrokePanel& sheet = *pane.fKeyStrokePanelController->fKeyStrokePanel;
    sheet.flagsChanged(Key(55, "", kCommandKeyMask | 0x8));
    sheet.keyDown(Key(8, "c", kCommandKeyMask | 0x8));
    sheet.flagsChanged(Key(55, "", 0));
    sheet.keyDown(Key(36, "\r"));
    snapshots.Save(sheet, "Recording");
    pane.fKeyStrokePanelController->Ok(nullptr);

    AMappingInfoPanelController& hints = *pane.fMappingInfoPanelController;
    hints.ShowMessageWithId(0);
    snapshots.Save(*hints.fPanel, "HintKeyboard");
    hints.Ok(nullptr);
    hints.ShowMessageWithId(1);
    snapshots.Save(*hints.fPanel, "HintAssistive");
    hints.Ok(nullptr);

    Announce(true);
    snapshots.Save(*view, "ButtonsTarn");
    pane.willUnselect();
    return snapshots.AllSaved() ? 0 : 1;
}
