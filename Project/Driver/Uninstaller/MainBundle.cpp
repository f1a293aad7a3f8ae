#include "MainBundle.h"

#include <QCoreApplication>
#include <QDir>

QString MainBundleResourcePath() {
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral(HALVORIN_UNINSTALLER_RESOURCES_FROM_PROGRAM_DIR));
}
