#pragma once

#include <QList>

#include "FileHandle.h"

namespace platform {

// Simulation: the chunks a test pushes come out one per read, in order, each
// through the event loop. An empty chunk is the end of the stream.
class SimulatedFileHandle final : public FileHandle {
    Q_OBJECT

public:
    using FileHandle::FileHandle;

    void ReadInBackgroundAndNotify() override;

    void Push(QByteArray chunk);
    // How many reads were started; a read still waiting for a chunk counts.
    int ReadsStarted() const { return fReadsStarted; }
    bool IsReadPending() const { return fReadPending; }

private:
    void Deliver();

    QList<QByteArray> fChunks;
    bool fReadPending = false;
    int fReadsStarted = 0;
};

}  // namespace platform
