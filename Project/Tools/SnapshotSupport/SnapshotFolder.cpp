#include "SnapshotFolder.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

bool SnapshotFolder::Prepare(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder for the PNG files>\n", argv[0]);
        return false;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

std::optional<SnapshotFolder> SnapshotFolder::Make(const char* path) {
    QDir folder(QString::fromLocal8Bit(path));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "cannot make %s\n", path);
        return std::nullopt;
    }
    return SnapshotFolder(folder);
}

bool SnapshotFolder::Save(QWidget& widget, const char* name) {
    QApplication::processEvents();
    const QString suffix = widget.devicePixelRatioF() > 1.0 ? "@2x.png" : ".png";
    const QString path = fFolder.filePath(QString::fromLatin1(name) + suffix);
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    fAllSaved = fAllSaved && saved;
    return saved;
}
