// Preferences [--quit-after-first-paint]
// Loads the Halvorin mouse pane and shows it in a window. With the option the
// window closes as soon as it has been painted once (for start-up timing).
// SIGTERM, SIGINT and SIGHUP close it as well, writing the settings.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPluginLoader>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "PreferencePane.h"
#include "PreferencesWindow.h"
#include "TerminationSignals.h"

namespace {

constexpr const char* kPaneFileName = "OrvandelPane.so";

// Installed next to the program's tree; in the build tree where it was built.
QString PanePath() {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath())
            .absoluteFilePath(QStringLiteral(HALVORIN_PANES_FROM_PROGRAM_DIR "/") +
                              QLatin1String(kPaneFileName));
    return QFileInfo::exists(installed) ? installed : QStringLiteral(HALVORIN_BUILD_PANE);
}

}  // namespace

int main(int argc, char** argv) {
    BlockTerminationSignals();
    const bool quitAfterFirstPaint =
        argc > 1 && std::strcmp(argv[1], "--quit-after-first-paint") == 0;
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("halvorin-preferences"));
    if (!CloseWindowsOnTerminationSignals()) {
        std::fprintf(stderr, "Preferences: a termination signal will not save the settings\n");
    }

    QPluginLoader loader(PanePath());
    auto* bundle = qobject_cast<PreferencePaneBundle*>(loader.instance());
    if (bundle == nullptr) {
        std::fprintf(stderr, "Preferences: cannot load the pane: %s\n",
                     qPrintable(loader.errorString()));
        return 1;
    }
    bundle->StartPlatform();
    std::unique_ptr<APreferencePane> pane(bundle->instantiatePrincipalClass());
    try {
        QWidget* mainView = pane->loadMainView();
        pane->mainViewDidLoad();
        PreferencesWindow window(*pane, mainView, quitAfterFirstPaint);
        window.show();
        return application.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Halvorin Mouse"),
                              QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
