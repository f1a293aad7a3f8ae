#pragma once

#include <QDir>
#include <optional>

class QWidget;

// The folder a snapshot program writes its PNG files to, named by its one
// argument. Rendering is off screen unless QT_QPA_PLATFORM says otherwise;
// call Prepare before the QApplication is made.
class SnapshotFolder {
public:
    // Checks the arguments and chooses the off-screen platform; false (with
    // the usage told) when they are wrong.
    static bool Prepare(int argc, char** argv);
    // Makes the folder; nothing (with the reason told) when it cannot.
    static std::optional<SnapshotFolder> Make(const char* path);

    // Writes <name>.png, or <name>@2x.png at scale 2, and says so.
    bool Save(QWidget& widget, const char* name);
    bool AllSaved() const { return fAllSaved; }

private:
    explicit SnapshotFolder(QDir folder) : fFolder(std::move(folder)) {}

    QDir fFolder;
    bool fAllSaved = true;
};
