// Renders the uninstaller's window, off screen, in each of its states into PNG
// files so that a person can look at them:
//   UninstallerSnapshots <folder>
// writes Ready.png, Started.png, Finished.png and Asking.png (the restart
// alert). The run is simulated: no password is asked and nothing is removed.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include "Authorization.h"
#include "SimulatedAuthorization.h"
#include "SnapshotFolder.h"
#include "UninstallerController.h"


int main(int argc, char** argv) {
    if (!SnapshotFolder::Prepare(argc, argv)) {
        return 2;
    }
    QApplication application(argc, argv);
    std::optional<SnapshotFolder> folder = SnapshotFolder::Make(argv[1]);
    if (!folder) {
        return 1;
    }

    auto backend = std::make_unique<platform::SimulatedAuthorizationBackend>();
    platform::SimulatedAuthorizationBackend& authorization = *backend;
    platform::InstallAuthorizationBackend(std::move(backend));

    QTemporaryDir resources;
    QFile script(resources.filePath("uninstall.sh"));
    script.open(QIODevice::WriteOnly);
    script.close();

    UninstallerController window(resources.path());
    window.show();
    bool saved = folder->Save(window, "Ready");

    window.findChild<QPushButton*>("fActionButton")->click();
    authorization.fLastOutput->Push(
        "Uninstalling the Halvorin mouse software from /usr/local\n"
        "Removing /usr/local/bin/HalvorinAgent\nPROGRESS:1/4\n"
        "Removing /usr/local/bin/Uninstaller\nPROGRESS:2/4\n");
    QApplication::processEvents();
    saved = folder->Save(window, "Started") && saved;

    authorization.fLastOutput->Push(
        "Removing /usr/local/share/halvorin/Uninstaller/uninstall.sh\nPROGRESS:3/4\nPROGRESS:4/4\n"
        "The Halvorin mouse software has been removed. Your mouse settings are kept.\n");
    authorization.fLastOutput->Push({});
    QApplication::processEvents();
    QApplication::processEvents();
    saved = folder->Save(window, "Finished") && saved;

    window.findChild<QPushButton*>("fActionButton")->click();
    auto* alert = window.findChild<QMessageBox*>();
    saved = alert != nullptr && folder->Save(*alert, "Asking") && saved;
    return saved ? 0 : 1;
}
