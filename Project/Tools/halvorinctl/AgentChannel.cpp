#include "AgentChannel.h"

#include "DistributedNotifications.h"
#include "PaneAgentNotifications.h"
#include "RunLoop.h"

namespace {

void Answered(platform::CFNotificationCenterRef, void* observer, const char* name, const char*,
              const platform::PropertyList* userInfo) {
    auto& answer = *static_cast<AgentAnswer*>(observer);
    answer.answered = true;
    answer.deviceAttached = std::string_view(name) == kDeviceAttachedNotification;
    answer.isTarn = answer.deviceAttached && IsTarnInUserInfo(userInfo);
    platform::CFRunLoopStop(platform::CFRunLoopGetCurrent());
}

}  // namespace

void SendSettingsToAgent(const platform::PropertyList& settings) {
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &settings, true);
}

AgentAnswer AskAgent(double timeout) {
    AgentAnswer answer;
    const platform::CFNotificationCenterRef center =
        platform::CFNotificationCenterGetDistributedCenter();
    for (const char* name : {kDeviceAttachedNotification, kNoDevicesAttachedNotification}) {
        platform::CFNotificationCenterAddObserver(
            center, &answer, Answered, name, nullptr,
            platform::CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    platform::CFNotificationCenterPostNotification(center, kPrefPaneStartedNotification,
                                                   kPrefChangeObject, nullptr, true);
    const platform::CFRunLoopTimerRef giveUp = platform::CFRunLoopTimerCreate(
        platform::CFAbsoluteTimeGetCurrent() + timeout, 0, [](const platform::CFRunLoopTimerRef&) {
            platform::CFRunLoopStop(platform::CFRunLoopGetCurrent());
        });
    platform::CFRunLoopAddTimer(platform::CFRunLoopGetCurrent(), giveUp,
                                platform::kCFRunLoopDefaultMode);
    platform::CFRunLoopRun();
    platform::CFRunLoopTimerInvalidate(giveUp);
    platform::CFNotificationCenterRemoveEveryObserver(center, &answer);
    return answer;
}
