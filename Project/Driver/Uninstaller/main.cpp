#include <QApplication>

#include "MainBundle.h"
#include "UninstallerController.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    UninstallerController controller(MainBundleResourcePath());
    QObject::connect(&controller, &UninstallerController::TerminateApplication, &application,
                     &QApplication::quit, Qt::QueuedConnection);
    controller.show();
    return application.exec();
}
