// The pane's platform services: the local notification centre and the run
// loop's delayed calls on Qt's event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "LocalNotifications.h"
#include "QtRunLoopBackend.h"
#include "RunLoop.h"

namespace {

using platform::NotificationUserInfo;
using platform::NSNotification;
using platform::NSNotificationCenter;

TEST(LocalNotifications, DeliveredInsideThePostBySenderAndStoppedByRemoval) {
    NSNotificationCenter center;
    int first = 0;
    int second = 0;
    int fromOther = 0;
    const int sender = 0;
    const int other = 0;
    center.AddObserver(&first, [&](const NSNotification&) {
        ++first;
        center.RemoveObserver(&second);  // removed during the post: not called
    }, "Name");
    center.AddObserver(&second, [&](const NSNotification&) { ++second; }, "Name");
    center.AddObserver(&fromOther, [&](const NSNotification&) { ++fromOther; }, "Name", &other);
    center.PostNotification("Name", &sender);
    center.PostNotification("Else", &other);
    EXPECT_EQ(1, first);
    EXPECT_EQ(0, second);
    EXPECT_EQ(0, fromOther);
    center.PostNotification("Name", &other);
    EXPECT_EQ(1, fromOther);
    center.RemoveObserver(&first);
    center.RemoveObserver(&fromOther);
    EXPECT_EQ(0u, center.ObservationCount());
}

TEST(LocalNotifications, TypedReadsTreatOtherTypesAsMissing) {
    const NotificationUserInfo userInfo{
        {"double", 3.7}, {"bool", true}, {"unsigned", 4u}, {"text", std::string("5")},
        {"negative", -1}, {"fraction", 2.5}};
    const NSNotification n{"N", nullptr, &userInfo};
    EXPECT_EQ(3.7, platform::UserInfoDouble(n, "double"));
    EXPECT_EQ(1.0, platform::UserInfoDouble(n, "bool"));
    EXPECT_EQ(0.0, platform::UserInfoDouble(n, "text"));
    EXPECT_TRUE(platform::UserInfoBool(n, "unsigned"));
    EXPECT_FALSE(platform::UserInfoBool(n, "missing"));
    EXPECT_EQ(4u, platform::UserInfoUnsigned(n, "unsigned"));
    EXPECT_FALSE(platform::UserInfoUnsigned(n, "negative"));
    EXPECT_FALSE(platform::UserInfoUnsigned(n, "fraction"));
    EXPECT_FALSE(platform::UserInfoUnsigned(n, "text"));
}

TEST(QtRunLoop, DelayedCallsAndQtEventsAreServedTogether) {
    int argc = 1;
    char name[] = "QtRunLoop";
    char* argv[] = {name, nullptr};
    QCoreApplication* application = QCoreApplication::instance();
    std::unique_ptr<QCoreApplication> own;
    if (application == nullptr) {
        own = std::make_unique<QCoreApplication>(argc, argv);
    }
    auto previous = platform::InstallRunLoopBackend(std::make_unique<platform::QtRunLoopBackend>());
    bool qtTimerFired = false;
    QTimer::singleShot(5, [&] { qtTimerFired = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    platform::PerformAfterDelay(0.03, [] { platform::CFRunLoopStop(platform::CFRunLoopGetMain()); });
    platform::CFRunLoopRun();
    EXPECT_TRUE(qtTimerFired);
    EXPECT_GE(elapsed.elapsed(), 25);
    platform::InstallRunLoopBackend(std::move(previous));
}

}  // namespace
