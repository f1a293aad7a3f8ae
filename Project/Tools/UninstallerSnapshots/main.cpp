// Renders the uninstaller's window, off screen, in each of its states into PNG
// files so that a person can look at them:
//   UninstallerSnapshots <folder>
// writes Ready.png, Started.png, Finished.png and Asking.png (the restart
// alert). The run is simulated: no password is asked and nothing is removed.

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "Authorization.h"
#include "SimulatedAuthorization.h"
#include "UninstallerController.h"

namespace {

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    QApplication::processEvents();
    QString path = folder.filePath(QString::fromLatin1(name) + ".png");
    bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
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

    auto backend = std::make_unique<platform::SimulatedAuthorizationBackend>();
    platform::SimulatedAuthorizationBackend& authorization = *backend;
    platform::InstallAuthorizationBackend(std::move(backend));

    QTemporaryDir resources;
    QFile script(resources.filePath("uninstall.sh"));
    script.open(QIODevice::WriteOnly);
    script.close();

    UninstallerController window(resources.path());
    window.show();
    bool saved = Save(window, folder, "Ready");

    window.findChild<QPushButton*>("fActionButton")->click();
    authorization.fLastOutput->Push(
        "Uninstalling the Halvorin mouse software from /usr/local\n"
        "Removing /usr/local/bin/HalvorinAgent\nPROGRESS:1/4\n"
        "Removing /usr/local/bin/Uninstaller\nPROGRESS:2/4\n");
    QApplication::processEvents();
    saved = Save(window, folder, "Started") && saved;

    authorization.fLastOutput->Push(
        "Removing /usr/local/share/halvorin/Uninstaller/uninstall.sh\nPROGRESS:3/4\nPROGRESS:4/4\n"
        "The Halvorin mouse software has been removed. Your mouse settings are kept.\n");
    authorization.fLastOutput->Push({});
    QApplication::processEvents();
    QApplication::processEvents();
    saved = Save(window, folder, "Finished") && saved;

    window.findChild<QPushButton*>("fActionButton")->click();
    auto* alert = window.findChild<QMessageBox*>();
    saved = alert != nullptr && Save(*alert, folder, "Asking") && saved;
    return saved ? 0 : 1;
}
