#include "DescriptorFileHandle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

DescriptorFileHandle::DescriptorFileHandle(int descriptor, QObject* parent)
    : FileHandle(parent), fDescriptor(descriptor), fNotifier(descriptor, QSocketNotifier::Read) {
    fcntl(fDescriptor, F_SETFL, fcntl(fDescriptor, F_GETFL) | O_NONBLOCK);
    fNotifier.setEnabled(false);
    connect(&fNotifier, &QSocketNotifier::activated, this, &DescriptorFileHandle::ReadAvailable);
}

DescriptorFileHandle::~DescriptorFileHandle() {
    fNotifier.setEnabled(false);
    close(fDescriptor);
}

void DescriptorFileHandle::ReadInBackgroundAndNotify() {
    if (fEnded) {
        PostReadCompletion({});
        return;
    }
    fNotifier.setEnabled(true);
}

void DescriptorFileHandle::ReadAvailable() {
    fNotifier.setEnabled(false);
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    ssize_t count;
    do {
        count = read(fDescriptor, chunk.data(), static_cast<size_t>(chunk.size()));
    } while (count < 0 && errno == EINTR);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        fNotifier.setEnabled(true);
        return;
    }
    if (count <= 0) {
        fEnded = true;
        chunk.clear();
    } else {
        chunk.truncate(count);
    }
    emit ReadCompletion({this, chunk});
}

}  // namespace platform
