// The pane's platform services: the local notification centre and the run
// loop's delayed calls on Qt's event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <string>
#include <unistd.h>

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

class QtRunLoop : public ::testing::Test {
protected:
    QtRunLoop() {
        if (QCoreApplication::instance() == nullptr) {
            fApplication = std::make_unique<QCoreApplication>(fArgc, fArgv);
        }
    }

private:
    int fArgc = 1;
    char fName[10] = "QtRunLoop";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QCoreApplication> fApplication;
};

TEST_F(QtRunLoop, DelayedCallsAndQtEventsAreServedTogether) {
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

TEST_F(QtRunLoop, AWatchedDescriptorIsServedWhileTheLoopWaitsAndMayEndItsOwnWatch) {
    auto previous = platform::InstallRunLoopBackend(std::make_unique<platform::QtRunLoopBackend>());
    int pipe[2];
    ASSERT_EQ(0, ::pipe(pipe));
    platform::CFRunLoopRef loop = platform::CFRunLoopGetMain();
    std::string received;
    platform::WatchId watch = 0;
    watch = platform::CFRunLoopWatchDescriptor(loop, pipe[0], platform::kDescriptorReadable, [&] {
        char byte = 0;
        ASSERT_EQ(1, ::read(pipe[0], &byte, 1));
        received += byte;
        platform::CFRunLoopUnwatchDescriptor(loop, watch);
        platform::CFRunLoopStop(loop);
    });
    ASSERT_NE(0u, watch);
    EXPECT_EQ(0u, platform::CFRunLoopWatchDescriptor(loop, pipe[0], platform::kDescriptorReadable,
                                                     [] {}));
    platform::PerformAfterDelay(0.005, [&] { ASSERT_EQ(2, ::write(pipe[1], "ab", 2)); });
    platform::PerformAfterDelay(5.0, [loop] { platform::CFRunLoopStop(loop); });
    platform::CFRunLoopRun();
    EXPECT_EQ("a", received);  // the watch ended with the first byte
    ::close(pipe[0]);
    ::close(pipe[1]);
    platform::InstallRunLoopBackend(std::move(previous));
}
