#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "RunLoop.h"

namespace platform {

inline constexpr std::string_view NSWorkspaceSessionDidBecomeActiveNotification =
    "NSWorkspaceSessionDidBecomeActiveNotification";
inline constexpr std::string_view NSWorkspaceSessionDidResignActiveNotification =
    "NSWorkspaceSessionDidResignActiveNotification";

struct NSNotification {
    std::string name;
};

// The workspace's notification center: session switches of the user's login
// session, delivered from the run loop.
class WorkspaceNotificationCenter {
public:
    using Selector = std::function<void(const NSNotification&)>;

    WorkspaceNotificationCenter();
    WorkspaceNotificationCenter(const WorkspaceNotificationCenter&) = delete;
    WorkspaceNotificationCenter& operator=(const WorkspaceNotificationCenter&) = delete;

    // `name` empty: every name. The observer pointer is only an identity.
    void addObserver(const void* observer, Selector selector, std::string_view name);
    // Removes the observer's registrations for the name (empty: all names).
    void removeObserver(const void* observer, std::string_view name = {});

    // Queues the notification to each observer registered now; each delivery
    // is one run loop work item, in registration order. An observer removed
    // before its delivery is not called.
    void postNotification(const NSNotification& notification);

    // The source to add to the run loop (the shared center adds it itself).
    const CFRunLoopSourceRef& Source() const { return fSource; }

private:
    bool IsObserving(const void* observer, std::string_view name) const;

    struct Registration {
        const void* observer;
        Selector selector;
        std::string name;
    };
    std::vector<Registration> fRegistrations;
    CFRunLoopSourceRef fSource;
};

// [[NSWorkspace sharedWorkspace] notificationCenter]: one per program, made
// on first use with its source added to the current run loop (common modes).
// The simulation posts the session changes into it; a Linux backend will
// post them from logind.
WorkspaceNotificationCenter& SharedWorkspaceNotificationCenter();
// A fresh center (a new program); tests and backends swapping use it.
void ResetSharedWorkspaceNotificationCenter();

}  // namespace platform
