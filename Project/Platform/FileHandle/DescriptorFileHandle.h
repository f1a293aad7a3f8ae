#pragma once

#include <QSocketNotifier>

#include "FileHandle.h"

namespace platform {

// Linux: reads a pipe or socket descriptor, which it owns and closes. The read
// waits on the event loop (no thread) and takes whatever the descriptor holds,
// up to kChunkSize bytes. A read error ends the stream like end of file does.
class DescriptorFileHandle final : public FileHandle {
    Q_OBJECT

public:
    static constexpr qsizetype kChunkSize = 64 * 1024;

    explicit DescriptorFileHandle(int descriptor, QObject* parent = nullptr);
    ~DescriptorFileHandle() override;

    void ReadInBackgroundAndNotify() override;

private:
    void ReadAvailable();

    int fDescriptor;
    bool fEnded = false;
    QSocketNotifier fNotifier;
};

}  // namespace platform
