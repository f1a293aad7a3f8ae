#include "DistributedNotifications.h"

#include <utility>

namespace platform {
namespace {

struct Shared {
    std::unique_ptr<DistributedNotificationBackend> backend =
        std::make_unique<LoopbackDistributedNotifications>();
    std::unique_ptr<DistributedNotificationCenter> center;
};

Shared& TheShared() {
    static Shared shared;
    return shared;
}

std::optional<std::string> Text(const char* text) {
    return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

// Null on the registration's side matches anything; otherwise equal text.
bool Accepts(const std::optional<std::string>& wanted, const std::optional<std::string>& actual) {
    return !wanted || wanted == actual;
}

}  // namespace

DistributedNotificationCenter::DistributedNotificationCenter() : fSource(CreateRunLoopSource()) {}

void DistributedNotificationCenter::AddObserver(void* observer, CFNotificationCallback callback,
                                                const char* name, const char* object,
                                                CFNotificationSuspensionBehavior) {
    if (callback != nullptr) {
        fRegistrations.push_back({fNextId++, observer, callback, Text(name), Text(object)});
    }
}

void DistributedNotificationCenter::RemoveObserver(void* observer, const char* name,
                                                   const char* object) {
    std::optional<std::string> wantedName = Text(name);
    std::optional<std::string> wantedObject = Text(object);
    std::erase_if(fRegistrations, [&](const Registration& r) {
        return r.observer == observer && Accepts(wantedName, r.name) &&
               Accepts(wantedObject, r.object);
    });
}

void DistributedNotificationCenter::RemoveEveryObserver(void* observer) {
    std::erase_if(fRegistrations, [&](const Registration& r) { return r.observer == observer; });
}

void DistributedNotificationCenter::Post(const char* name, const char* object,
                                         const PropertyList* userInfo, bool deliverImmediately) {
    if (name == nullptr) {
        return;
    }
    DistributedNotification notification{name, Text(object), std::nullopt, deliverImmediately};
    if (userInfo != nullptr) {
        notification.userInfo = *userInfo;
    }
    TheShared().backend->Broadcast(notification, *this);
}

void DistributedNotificationCenter::Deliver(const DistributedNotification& notification) {
    auto shared = std::make_shared<const DistributedNotification>(notification);
    for (const Registration& registration : fRegistrations) {
        if (!Accepts(registration.name, notification.name) ||
            !Accepts(registration.object, notification.object)) {
            continue;
        }
        // Removed before delivery: not called.
        fSource->Post([this, id = registration.id, observer = registration.observer,
                       callback = registration.callback, shared] {
            if (IsRegistered(id)) {
                callback(this, observer, shared->name.c_str(),
                         shared->object ? shared->object->c_str() : nullptr,
                         shared->userInfo ? &*shared->userInfo : nullptr);
            }
        });
    }
}

bool DistributedNotificationCenter::IsRegistered(std::uint64_t id) const {
    for (const Registration& registration : fRegistrations) {
        if (registration.id == id) {
            return true;
        }
    }
    return false;
}

CFNotificationCenterRef CFNotificationCenterGetDistributedCenter() {
    Shared& shared = TheShared();
    if (!shared.center) {
        shared.center = std::make_unique<DistributedNotificationCenter>();
        CFRunLoopAddSource(CFRunLoopGetCurrent(), shared.center->Source(), kCFRunLoopDefaultMode);
    }
    return shared.center.get();
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, void* observer,
                                     CFNotificationCallback callBack, const char* name,
                                     const char* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior) {
    if (center != nullptr) {
        center->AddObserver(observer, callBack, name, object, suspensionBehavior);
    }
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, void* observer,
                                        const char* name, const char* object) {
    if (center != nullptr) {
        center->RemoveObserver(observer, name, object);
    }
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, void* observer) {
    if (center != nullptr) {
        center->RemoveEveryObserver(observer);
    }
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, const char* name,
                                          const char* object, const PropertyList* userInfo,
                                          bool deliverImmediately) {
    if (center != nullptr) {
        center->Post(name, object, userInfo, deliverImmediately);
    }
}

std::unique_ptr<DistributedNotificationBackend> InstallDistributedNotificationBackend(
    std::unique_ptr<DistributedNotificationBackend> backend) {
    Shared& shared = TheShared();
    if (shared.center) {
        shared.center->Source()->Invalidate();
        shared.center.reset();
    }
    return std::exchange(shared.backend, std::move(backend));
}

void LoopbackDistributedNotifications::Broadcast(const DistributedNotification& notification,
                                                 DistributedNotificationCenter& center) {
    fPosted.push_back(notification);
    if (fObserver) {
        fObserver(notification);
    }
    center.Deliver(notification);
}

}  // namespace platform
