#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunLoop.h"
#include "SimulatedClock.h"

namespace platform {
namespace {

class RunLoopTest : public ::testing::Test {
protected:
    RunLoopTest() {
        auto clock = std::make_unique<SimulatedClock>();
        fClock = clock.get();
        fPrevious = InstallRunLoopBackend(std::move(clock));
    }
    ~RunLoopTest() override { InstallRunLoopBackend(std::move(fPrevious)); }

    RunLoop& Loop() { return *CFRunLoopGetCurrent(); }

    SimulatedClock* fClock;
    std::unique_ptr<RunLoopBackend> fPrevious;
    std::vector<std::string> fSeen;
};

TEST_F(RunLoopTest, WorkOfAllSourcesRunsInPostingOrderOnlyWhileAdded) {
    CFRunLoopSourceRef a = CreateRunLoopSource();
    CFRunLoopSourceRef b = CreateRunLoopSource();
    CFRunLoopAddSource(&Loop(), a, kCFRunLoopDefaultMode);
    a->Post([&] { fSeen.push_back("a1"); });
    b->Post([&] { fSeen.push_back("b1"); });
    a->Post([&] { fSeen.push_back("a2"); });
    Loop().RunUntilIdle();
    EXPECT_EQ(fSeen, (std::vector<std::string>{"a1", "a2"}));

    // Work posted before the source was added waits and keeps its place.
    CFRunLoopAddSource(&Loop(), b, kCFRunLoopCommonModes);
    a->Post([&] { fSeen.push_back("a3"); });
    Loop().RunUntilIdle();
    EXPECT_EQ(fSeen, (std::vector<std::string>{"a1", "a2", "b1", "a3"}));

    CFRunLoopRemoveSource(&Loop(), b, kCFRunLoopCommonModes);
    b->Post([&] { fSeen.push_back("b2"); });
    b->Invalidate();
    CFRunLoopAddSource(&Loop(), b, kCFRunLoopCommonModes);
    Loop().RunUntilIdle();
    EXPECT_EQ(fSeen.size(), 4u);
    EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 0.0);
}

TEST_F(RunLoopTest, TimersFireByDateAndRunForAdvancesTheClockExactly) {
    auto once = CFRunLoopTimerCreate(1.5, 0, [&](const CFRunLoopTimerRef&) {
        fSeen.push_back("once@" + std::to_string(CFAbsoluteTimeGetCurrent()));
    });
    int ticks = 0;
    auto repeating = CFRunLoopTimerCreate(1.0, 1.0, [&](const CFRunLoopTimerRef&) { ++ticks; });
    CFRunLoopAddTimer(&Loop(), once, kCFRunLoopDefaultMode);
    CFRunLoopAddTimer(&Loop(), repeating, kCFRunLoopDefaultMode);
    Loop().RunFor(3.0);
    EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 3.0);
    EXPECT_EQ(ticks, 3);  // 1, 2 and 3: a timer due at the end still fires
    EXPECT_EQ(fSeen, std::vector<std::string>{"once@1.500000"});
    CFRunLoopTimerInvalidate(repeating);
    Loop().RunFor(5.0);
    EXPECT_EQ(ticks, 3);
}

TEST_F(RunLoopTest, BlockingSleepLetsTheWorldGoOnButServesNothing) {
    CFRunLoopSourceRef source = CreateRunLoopSource();
    CFRunLoopAddSource(&Loop(), source, kCFRunLoopDefaultMode);
    bool registered = false;
    fClock->Schedule(0.5, [&] {
        registered = true;
        source->Post([&] { fSeen.push_back("message"); });
    });
    source->Post([&] {
        // A search that polls every 0.2 seconds, as the agent's discovery does.
        int attempts = 0;
        while (!registered && attempts < 10) {
            ++attempts;
            NSThreadSleepForTimeInterval(0.2);
        }
        fSeen.push_back("found after " + std::to_string(attempts));
        EXPECT_TRUE(fSeen.size() == 1);  // the message waited
    });
    Loop().Run();
    EXPECT_EQ(fSeen, (std::vector<std::string>{"found after 3", "message"}));
    EXPECT_NEAR(CFAbsoluteTimeGetCurrent(), 0.6, 1e-9);
}

TEST_F(RunLoopTest, RunReturnsOnStopOrWhenNothingCanHappen) {
    CFRunLoopSourceRef source = CreateRunLoopSource();
    CFRunLoopAddSource(&Loop(), source, kCFRunLoopDefaultMode);
    fClock->Schedule(10.0, [&] { source->Post([&] { CFRunLoopStop(&Loop()); }); });
    fClock->Schedule(20.0, [&] { fSeen.push_back("late"); });
    CFRunLoopRun();
    EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 10.0);
    EXPECT_TRUE(fSeen.empty());
    CFRunLoopRun();  // idle after the last world event
    EXPECT_EQ(fSeen, std::vector<std::string>{"late"});
    EXPECT_FALSE(Loop().IsRunning());
}

}  // namespace
}  // namespace platform
