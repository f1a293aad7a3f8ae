#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <thread>
#include <vector>

#include "EpollRunLoopBackend.h"
#include "LinuxSignals.h"
#include "SimulatedClock.h"

namespace platform {
namespace {

class EpollRunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe(fPipe), 0); }
    void TearDown() override {
        close(fPipe[0]);
        close(fPipe[1]);
    }
    void Put(int bytes) {
        for (int i = 0; i < bytes; ++i) ASSERT_EQ(write(fPipe[1], "x", 1), 1);
    }
    bool TakeOne() {
        char byte;
        return read(fPipe[0], &byte, 1) == 1;
    }

    EpollRunLoopBackend fBackend;
    RunLoop fLoop{fBackend};
    int fPipe[2] = {-1, -1};
};

TEST_F(EpollRunLoopTest, ReadinessRunsTheCallbackAtEachWaitUntilUnwatched) {
    ASSERT_TRUE(fBackend.IsUsable());
    int calls = 0;
    WatchId watch = fLoop.WatchDescriptor(fPipe[0], kDescriptorReadable, [&] {
        ++calls;
        TakeOne();
    });
    ASSERT_NE(watch, 0u);
    EXPECT_EQ(fLoop.WatchDescriptor(fPipe[0], kDescriptorReadable, [] {}), 0u) << "one per fd";
    fLoop.RunUntilIdle();
    EXPECT_EQ(calls, 0);
    Put(3);
    fLoop.RunUntilIdle();
    EXPECT_EQ(calls, 3) << "level-triggered: once per byte taken";

    // Blocks without a timer until another thread makes the descriptor ready.
    std::thread writer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Put(1);
    });
    fLoop.Unwatch(watch);
    watch = fLoop.WatchDescriptor(fPipe[0], kDescriptorReadable, [&] {
        ++calls;
        TakeOne();
        fLoop.Unwatch(watch);  // from inside its own callback
    });
    fLoop.Run();  // returns once the last watch is gone: nothing can arrive
    writer.join();
    EXPECT_EQ(calls, 4);

    Put(1);
    fLoop.RunUntilIdle();
    EXPECT_EQ(calls, 4);
}

TEST_F(EpollRunLoopTest, TimersFireInDateOrderNeverEarlyAndIdleEndsTheRun) {
    const CFAbsoluteTime start = fLoop.Now();
    std::vector<int> order;
    for (int i : {3, 1, 2}) {
        fLoop.AddTimer(CFRunLoopTimerCreate(start + 0.01 * i, 0,
                                            [&, i](const CFRunLoopTimerRef& timer) {
                                                EXPECT_GE(fLoop.Now(), timer->FireDate());
                                                order.push_back(i);
                                            }),
                       kCFRunLoopDefaultMode);
    }
    fLoop.Run();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_LT(fLoop.Now() - start, 5.0);

    EXPECT_EQ(fBackend.Wait(std::nullopt), RunLoopBackend::WaitResult::Idle);
    const CFAbsoluteTime deadline = fLoop.Now() + 0.01;
    EXPECT_EQ(fBackend.Wait(deadline), RunLoopBackend::WaitResult::TimedOut);
    EXPECT_GE(fLoop.Now(), deadline);
    fBackend.SleepUntil(deadline + 0.01);
    EXPECT_GE(fLoop.Now(), deadline + 0.01);

    SimulatedClock simulation;
    EXPECT_EQ(simulation.WatchDescriptor(fPipe[0], kDescriptorReadable, [] {}), 0u);
}

int gSignalsSeen = 0;

TEST_F(EpollRunLoopTest, SignalBecomesWorkOfTheCurrentRunLoop) {
    std::unique_ptr<RunLoopBackend> previous =
        InstallRunLoopBackend(std::make_unique<EpollRunLoopBackend>());
    {
        LinuxSignals signals;
        EXPECT_FALSE(signals.Watch(SIGKILL, [](int) {}));
        ASSERT_TRUE(signals.Watch(SIGUSR1, [](int number) {
            EXPECT_EQ(number, SIGUSR1);
            ++gSignalsSeen;
        }));
        ASSERT_EQ(raise(SIGUSR1), 0);  // blocked now, so it waits for the loop
        EXPECT_EQ(gSignalsSeen, 0);
        CFRunLoopGetCurrent()->RunUntilIdle();
        EXPECT_EQ(gSignalsSeen, 1);
    }
    InstallRunLoopBackend(std::move(previous));
}

}  // namespace
}  // namespace platform
