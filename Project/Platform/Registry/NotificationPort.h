#pragma once

#include <functional>
#include <memory>

#include "Registry.h"
#include "RunLoop.h"

namespace platform {

// The run loop source behind a notification port. Facilities that deliver
// through ports (interest messages, power messages) post onto it.
class IONotificationPort {
public:
    IONotificationPort() : fSource(CreateRunLoopSource()) {}
    ~IONotificationPort() { fSource->Invalidate(); }
    IONotificationPort(const IONotificationPort&) = delete;
    IONotificationPort& operator=(const IONotificationPort&) = delete;

    const CFRunLoopSourceRef& Source() const { return fSource; }
    void Deliver(std::function<void()> message) { fSource->Post(std::move(message)); }

private:
    CFRunLoopSourceRef fSource;
};

// The live port behind a reference; expired once destroyed (or never made).
std::weak_ptr<IONotificationPort> FindNotificationPort(IONotificationPortRef notify);

}  // namespace platform
