#pragma once

#include <QByteArray>
#include <QObject>

namespace platform {

class FileHandle;

// What a finished background read hands to its observer: the handle that read
// and the bytes it got. Empty data means the stream has ended.
struct ReadCompletionNotification {
    FileHandle* object;
    QByteArray data;
};

// A stream read one chunk at a time without blocking the main thread. Each call
// of ReadInBackgroundAndNotify starts exactly one read; its result arrives later,
// on the handle's thread and never inside the call, through ReadCompletion.
class FileHandle : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void ReadInBackgroundAndNotify() = 0;

signals:
    void ReadCompletion(const platform::ReadCompletionNotification& notification);

protected:
    // Delivers data through ReadCompletion from the event loop; dropped if the
    // handle is destroyed first.
    void PostReadCompletion(QByteArray data);
};

}  // namespace platform
