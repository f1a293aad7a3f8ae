#include "FileHandle.h"

#include <utility>

namespace platform {

void FileHandle::PostReadCompletion(QByteArray data) {
    QMetaObject::invokeMethod(
        this,
        [this, data = std::move(data)] {
            emit ReadCompletion({this, data});
        },
        Qt::QueuedConnection);
}

}  // namespace platform
