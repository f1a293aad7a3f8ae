#include "UserSwitchManager.h"

#include "DeviceManager.h"
#include "Logging.h"
#include "Session.h"

std::unique_ptr<AUserSwitchManager> AUserSwitchManager::init(ADeviceManager& manager) {
    std::unique_ptr<AUserSwitchManager> self(new AUserSwitchManager(manager));
    auto& center = platform::SharedWorkspaceNotificationCenter();
    AUserSwitchManager* observer = self.get();
    const auto selector = [observer](const platform::NSNotification& notification) {
        observer->switchHandler(notification.name);
    };
    center.addObserver(observer, selector, platform::NSWorkspaceSessionDidBecomeActiveNotification);
    center.addObserver(observer, selector, platform::NSWorkspaceSessionDidResignActiveNotification);
    return self;
}

AUserSwitchManager::~AUserSwitchManager() {
    platform::SharedWorkspaceNotificationCenter().removeObserver(this);
}

void AUserSwitchManager::switchHandler(std::string_view notificationName) {
    if (notificationName == platform::NSWorkspaceSessionDidResignActiveNotification) {
        platform::SystemLog("PrepareForSleep");
        fManager.SessionResigned();
    } else {
        platform::SystemLog("WakeUp");
        fManager.SessionBecameActive();
    }
}
