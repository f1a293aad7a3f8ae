#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PropertyList.h"
#include "RunLoop.h"

namespace platform {

class DistributedNotificationCenter;
using CFNotificationCenterRef = DistributedNotificationCenter*;

// Observer callback: `object` and `userInfo` are null when the poster gave none.
using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer,
                                        const char* name, const char* object,
                                        const PropertyList* userInfo);

enum CFNotificationSuspensionBehavior {
    CFNotificationSuspensionBehaviorDrop = 1,
    CFNotificationSuspensionBehaviorCoalesce = 2,
    CFNotificationSuspensionBehaviorHold = 3,
    CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

// One notification as posted.
struct DistributedNotification {
    std::string name;
    std::optional<std::string> object;
    std::optional<PropertyList> userInfo;
    bool deliverImmediately = false;
};

// The per-user broadcast channel between processes (the pane and the agent).
// Observers are matched by name and object; a null name or object matches
// any. Each delivery is one work item on the run loop, in posting order and,
// within one post, in registration order. No process is ever suspended here,
// so the suspension behaviour and immediate delivery change nothing.
class DistributedNotificationCenter {
public:
    DistributedNotificationCenter();
    DistributedNotificationCenter(const DistributedNotificationCenter&) = delete;
    DistributedNotificationCenter& operator=(const DistributedNotificationCenter&) = delete;

    void AddObserver(void* observer, CFNotificationCallback callback, const char* name,
                     const char* object, CFNotificationSuspensionBehavior behavior);
    // Removes the observer's registrations whose name and object equal these
    // (null: any).
    void RemoveObserver(void* observer, const char* name, const char* object);
    void RemoveEveryObserver(void* observer);
    // Hands the notification to the backend, which broadcasts it (back to
    // this process's observers too).
    void Post(const char* name, const char* object, const PropertyList* userInfo,
              bool deliverImmediately);
    // Delivers a notification that arrived from the channel to the matching
    // observers of this process (called by backends).
    void Deliver(const DistributedNotification& notification);

    const CFRunLoopSourceRef& Source() const { return fSource; }

private:
    struct Registration {
        std::uint64_t id;
        void* observer;
        CFNotificationCallback callback;
        std::optional<std::string> name;
        std::optional<std::string> object;
    };
    bool IsRegistered(std::uint64_t id) const;

    std::vector<Registration> fRegistrations;
    std::uint64_t fNextId = 1;
    CFRunLoopSourceRef fSource;
};

// The program's center, its source added to the current run loop.
CFNotificationCenterRef CFNotificationCenterGetDistributedCenter();
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, void* observer,
                                     CFNotificationCallback callBack, const char* name,
                                     const char* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, void* observer,
                                        const char* name, const char* object);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, void* observer);
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, const char* name,
                                          const char* object, const PropertyList* userInfo,
                                          bool deliverImmediately);

// The channel: the simulation loops posts back in process; on Linux it is the
// session bus.
class DistributedNotificationBackend {
public:
    virtual ~DistributedNotificationBackend() = default;
    virtual void Broadcast(const DistributedNotification& notification,
                           DistributedNotificationCenter& center) = 0;
};

// Installs the backend and gives the program a fresh center (made on first
// use, its source added to the current run loop); returns the previous
// backend. Until one is installed the in-process loopback is used.
std::unique_ptr<DistributedNotificationBackend> InstallDistributedNotificationBackend(
    std::unique_ptr<DistributedNotificationBackend> backend);

// In-process channel: every post comes back to this process's observers and
// to the observer callback (the simulated machine logs it).
class LoopbackDistributedNotifications final : public DistributedNotificationBackend {
public:
    void Broadcast(const DistributedNotification& notification,
                   DistributedNotificationCenter& center) override;
    const std::vector<DistributedNotification>& Posted() const { return fPosted; }
    void ClearPosted() { fPosted.clear(); }
    void SetObserver(std::function<void(const DistributedNotification&)> observer) {
        fObserver = std::move(observer);
    }

private:
    std::vector<DistributedNotification> fPosted;
    std::function<void(const DistributedNotification&)> fObserver;
};

}  // namespace platform
