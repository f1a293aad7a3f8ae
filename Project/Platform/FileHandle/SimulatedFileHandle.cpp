#include "SimulatedFileHandle.h"

#include <utility>

namespace platform {

void SimulatedFileHandle::ReadInBackgroundAndNotify() {
    ++fReadsStarted;
    fReadPending = true;
    Deliver();
}

void SimulatedFileHandle::Push(QByteArray chunk) {
    fChunks.append(std::move(chunk));
    Deliver();
}

void SimulatedFileHandle::Deliver() {
    if (!fReadPending || fChunks.isEmpty()) return;
    fReadPending = false;
    PostReadCompletion(fChunks.takeFirst());
}

}  // namespace platform
