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
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>

#include "ButtonMappingPaneController.h"
#include "DistributedNotifications.h"
#include "KeyStrokePanel.h"
#include "KeyStrokePanelController.h"
#include "MainPrefController.h"
#include "MappingInfoPanelController.h"
#include "PaneNames.h"
#include "RunLoop.h"
#include "TemporaryHome.h"

namespace {

class Snapshots {
public:
    explicit Snapshots(QDir folder) : fFolder(std::move(folder)) {}

    void Save(QWidget& widget, const char* name) {
        QApplication::processEvents();
        const QString suffix = widget.devicePixelRatioF() > 1.0 ? "@2x.png" : ".png";
        const QString path = fFolder.filePath(QString::fromLatin1(name) + suffix);
        const bool saved = widget.grab().save(path);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
        fAllSaved = fAllSaved && saved;
    }
    bool AllSaved() const { return fAllSaved; }

private:
    QDir fFolder;
    bool fAllSaved = true;
};

void Announce(bool isTarn) {
    const platform::PropertyList userInfo(
        platform::PropertyList::Dictionary{{kIsTarnKey, platform::PropertyList::MakeBoolean(isTarn)}});
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kDeviceAttachedNotification, nullptr,
        &userInfo, false);
    platform::CFRunLoopGetCurrent()->RunUntilIdle();
}

AKeyEvent Key(std::uint16_t code, const char* characters, std::uint32_t flags = 0) {
    return {code, flags, QString::fromLatin1(characters), false};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder for the PNG files>\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    platform::ScopedTemporaryHome home;
    Snapshots snapshots(folder);
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
