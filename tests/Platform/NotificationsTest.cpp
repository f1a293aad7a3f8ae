#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DistributedNotifications.h"
#include "Session.h"
#include "SimulatedClock.h"

namespace platform {
namespace {

struct Delivery {
    std::string observer;
    std::string name;
    std::string object;
    std::string userInfo;
    bool operator==(const Delivery&) const = default;
};
std::vector<Delivery> gDeliveries;

void Record(CFNotificationCenterRef, void* observer, const char* name, const char* object,
            const PropertyList* userInfo) {
    gDeliveries.push_back({static_cast<const char*>(observer), name, object ? object : "-",
                           userInfo ? userInfo->Describe() : "-"});
}

class NotificationsTest : public ::testing::Test {
protected:
    NotificationsTest() {
        fPreviousLoop = InstallRunLoopBackend(std::make_unique<SimulatedClock>());
        fPrevious = InstallDistributedNotificationBackend(
            std::make_unique<LoopbackDistributedNotifications>());
        ResetSharedWorkspaceNotificationCenter();
        gDeliveries.clear();
    }
    ~NotificationsTest() override {
        ResetSharedWorkspaceNotificationCenter();
        InstallDistributedNotificationBackend(std::move(fPrevious));
        InstallRunLoopBackend(std::move(fPreviousLoop));
    }
    std::unique_ptr<RunLoopBackend> fPreviousLoop;
    std::unique_ptr<DistributedNotificationBackend> fPrevious;
    char fAgent[6] = "agent";
    char fPane[5] = "pane";
};

TEST_F(NotificationsTest, ObserversMatchByNameAndObjectWithNullForAny) {
    CFNotificationCenterRef center = CFNotificationCenterGetDistributedCenter();
    CFNotificationCenterAddObserver(center, fAgent, Record, "HalvorinAgent", "PrefChange",
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(center, fPane, Record, "DeviceAttached", nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    PropertyList isTarn(PropertyList::Dictionary{{"IsTarn", PropertyList::MakeBoolean(true)}});

    struct Post {
        const char* name;
        const char* object;
        bool delivered;
    } posts[] = {
        {"HalvorinAgent", "PrefChange", true},
        {"HalvorinAgent", nullptr, false},  // the agent wants the object too
        {"HalvorinAgent", "Other", false},
        {"DeviceAttached", nullptr, true},  // the pane takes any object
        {"NoDevicesAttached", nullptr, false},
        {"DeviceAttached", "Whatever", true},
    };
    for (const Post& post : posts) {
        gDeliveries.clear();
        CFNotificationCenterPostNotification(center, post.name, post.object, &isTarn, false);
        EXPECT_TRUE(gDeliveries.empty());  // only from the run loop
        CFRunLoopGetCurrent()->RunUntilIdle();
        EXPECT_EQ(gDeliveries.size(), post.delivered ? 1u : 0u) << post.name;
    }
    ASSERT_EQ(gDeliveries.size(), 1u);
    EXPECT_EQ(gDeliveries.back(),
              (Delivery{"pane", "DeviceAttached", "Whatever", "{\"IsTarn\": true}"}));
}

TEST_F(NotificationsTest, RemovedObserversGetNothingEvenIfAlreadyQueued) {
    CFNotificationCenterRef center = CFNotificationCenterGetDistributedCenter();
    CFNotificationCenterAddObserver(center, fAgent, Record, "PrefPaneStarted", "PrefChange",
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(center, fAgent, Record, "HalvorinAgent", "PrefChange",
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(center, fPane, Record, nullptr, nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterPostNotification(center, "PrefPaneStarted", "PrefChange", nullptr, true);
    CFNotificationCenterRemoveObserver(center, fAgent, "PrefPaneStarted", "PrefChange");
    CFNotificationCenterPostNotification(center, "HalvorinAgent", "PrefChange", nullptr, true);
    CFRunLoopGetCurrent()->RunUntilIdle();
    EXPECT_EQ(gDeliveries, (std::vector<Delivery>{{"pane", "PrefPaneStarted", "PrefChange", "-"},
                                                  {"agent", "HalvorinAgent", "PrefChange", "-"},
                                                  {"pane", "HalvorinAgent", "PrefChange", "-"}}));
    CFNotificationCenterRemoveEveryObserver(center, fPane);
    CFNotificationCenterRemoveObserver(center, fAgent, nullptr, nullptr);
    CFNotificationCenterPostNotification(center, "HalvorinAgent", "PrefChange", nullptr, true);
    CFRunLoopGetCurrent()->RunUntilIdle();
    EXPECT_EQ(gDeliveries.size(), 3u);
}

TEST_F(NotificationsTest, SessionSwitchesReachObserversFromTheRunLoop) {
    WorkspaceNotificationCenter& center = SharedWorkspaceNotificationCenter();
    std::vector<std::string> seen;
    center.addObserver(
        fAgent, [&](const NSNotification& n) { seen.push_back(n.name); },
        NSWorkspaceSessionDidBecomeActiveNotification);
    center.addObserver(
        fAgent, [&](const NSNotification& n) { seen.push_back(n.name); },
        NSWorkspaceSessionDidResignActiveNotification);
    center.postNotification({std::string(NSWorkspaceSessionDidResignActiveNotification)});
    center.postNotification({std::string(NSWorkspaceSessionDidBecomeActiveNotification)});
    EXPECT_TRUE(seen.empty());
    CFRunLoopGetCurrent()->RunUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::string>{
                        std::string(NSWorkspaceSessionDidResignActiveNotification),
                        std::string(NSWorkspaceSessionDidBecomeActiveNotification)}));
    center.postNotification({std::string(NSWorkspaceSessionDidResignActiveNotification)});
    center.removeObserver(fAgent);
    CFRunLoopGetCurrent()->RunUntilIdle();
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
}  // namespace platform
