#include "Session.h"

#include <memory>

namespace platform {
namespace {

std::unique_ptr<WorkspaceNotificationCenter>& Shared() {
    static std::unique_ptr<WorkspaceNotificationCenter> center;
    return center;
}

}  // namespace

WorkspaceNotificationCenter::WorkspaceNotificationCenter() : fSource(CreateRunLoopSource()) {}

void WorkspaceNotificationCenter::addObserver(const void* observer, Selector selector,
                                              std::string_view name) {
    if (selector) {
        fRegistrations.push_back({observer, std::move(selector), std::string(name)});
    }
}

void WorkspaceNotificationCenter::removeObserver(const void* observer, std::string_view name) {
    std::erase_if(fRegistrations, [&](const Registration& r) {
        return r.observer == observer && (name.empty() || r.name == name);
    });
}

void WorkspaceNotificationCenter::postNotification(const NSNotification& notification) {
    for (const Registration& registration : fRegistrations) {
        if (registration.name.empty() || registration.name == notification.name) {
            // An observer removed before delivery is not called.
            fSource->Post([this, observer = registration.observer, selector = registration.selector,
                           notification] {
                if (IsObserving(observer, notification.name)) {
                    selector(notification);
                }
            });
        }
    }
}

bool WorkspaceNotificationCenter::IsObserving(const void* observer, std::string_view name) const {
    for (const Registration& registration : fRegistrations) {
        if (registration.observer == observer &&
            (registration.name.empty() || registration.name == name)) {
            return true;
        }
    }
    return false;
}

WorkspaceNotificationCenter& SharedWorkspaceNotificationCenter() {
    if (!Shared()) {
        Shared() = std::make_unique<WorkspaceNotificationCenter>();
        CFRunLoopAddSource(CFRunLoopGetCurrent(), Shared()->Source(), kCFRunLoopCommonModes);
    }
    return *Shared();
}

void ResetSharedWorkspaceNotificationCenter() {
    if (Shared()) {
        Shared()->Source()->Invalidate();
        Shared().reset();
    }
}

}  // namespace platform
