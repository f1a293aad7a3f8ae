#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeyEventFilter.h"
#include "SimulatedMachine.h"

namespace platform {
namespace {

std::vector<CGEventType> gCalls;

// Stamps Command onto key-down events, as a held modifier button does.
CGEventRef StampCommand(CGEventTapProxy, CGEventType type, CGEventRef event, void*) {
    gCalls.push_back(type);
    if (type == kCGEventKeyDown) {
        CGEventSetFlags(event, kCGEventFlagMaskCommand);
    }
    return event;
}

CGEventRef Swallow(CGEventTapProxy, CGEventType, CGEventRef, void*) {
    return nullptr;
}

constexpr CGEventMask kKeyEvents = CGEventMaskBit(kCGEventKeyDown) | CGEventMaskBit(kCGEventKeyUp);

class EventStreamTest : public ::testing::Test {
protected:
    EventStreamTest() { gCalls.clear(); }

    CFMachPortRef Tap(CGEventTapCallBack callback, bool addSource = true,
                      CGEventTapPlacement place = kCGTailAppendEventTap) {
        CFMachPortRef tap = CGEventTapCreate(kCGSessionEventTap, place, kCGEventTapOptionDefault,
                                             kKeyEvents, callback, nullptr);
        if (tap && addSource) {
            CFRunLoopAddSource(CFRunLoopGetCurrent(),
                               CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap, 0),
                               kCFRunLoopCommonModes);
        }
        return tap;
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const MachineEvent& event : fMachine.Log()) {
            lines.push_back(FormatMachineEvent(event));
        }
        return lines;
    }

    SimulatedMachine fMachine;
};

TEST_F(EventStreamTest, TapChangesKeyDownsAndHoldsTheStreamBehindThemUntilItRuns) {
    CFMachPortRef tap = Tap(StampCommand);
    ASSERT_TRUE(tap);
    EXPECT_EQ(kKeyEvents, 0xC00u);
    MouseId mouse = fMachine.PlugMouse(401);
    fMachine.ClearLog();
    fMachine.TypeKey(5, kCGEventFlagMaskShift);
    fMachine.MoveMouse(mouse, 1, 1, 0);  // waits behind the key events
    EXPECT_TRUE(fMachine.Log().empty());
    fMachine.Loop().RunUntilIdle();
    EXPECT_EQ(gCalls, (std::vector<CGEventType>{kCGEventKeyDown, kCGEventKeyUp}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "0.000 key-down key=5 flags=0x100000 keyboard",
                           "0.000 key-up key=5 flags=0x20000 keyboard",
                           "0.000 pointer mouse=1 dx=1 dy=1 buttons=0x00",
                       }));

    // Disabled or released, the tap no longer holds anything.
    CGEventTapEnable(tap, false);
    EXPECT_FALSE(CGEventTapIsEnabled(tap));
    fMachine.TypeKey(6);
    CGEventTapEnable(tap, true);
    fMachine.PressKey(7);
    tap.reset();
    EXPECT_EQ(fMachine.Log().size(), 6u);
    EXPECT_EQ(FormatMachineEvent(fMachine.Log().back()), "0.000 key-down key=7 flags=0x0 keyboard");
}

TEST_F(EventStreamTest, TapsRunInPlacementOrderAndMayDropEvents) {
    CFMachPortRef stamp = Tap(StampCommand);
    CFMachPortRef swallow = Tap(Swallow, true, kCGHeadInsertEventTap);
    fMachine.PressKey(1);
    fMachine.Loop().RunUntilIdle();
    EXPECT_TRUE(gCalls.empty());  // the first tap dropped it
    EXPECT_TRUE(fMachine.Log().empty());
    CFMachPortInvalidate(swallow);
    fMachine.PressKey(2);
    fMachine.Loop().RunUntilIdle();
    EXPECT_EQ(Lines(), std::vector<std::string>{"0.000 key-down key=2 flags=0x100000 keyboard"});
}

TEST_F(EventStreamTest, PlatformDisablesATapThatKeepsTheStreamWaiting) {
    CFMachPortRef tap = Tap(StampCommand, false);
    fMachine.PressKey(9);
    fMachine.Loop().RunFor(0.999);
    EXPECT_TRUE(fMachine.Log().empty());
    fMachine.Loop().RunFor(0.001);
    EXPECT_FALSE(CGEventTapIsEnabled(tap));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"1.000 tap-timeout",
                                                 "1.000 key-down key=9 flags=0x0 keyboard"}));
    // The callback hears of it once its source runs.
    CFRunLoopAddSource(CFRunLoopGetCurrent(),
                       CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap, 0),
                       kCFRunLoopCommonModes);
    fMachine.Loop().RunUntilIdle();
    EXPECT_EQ(gCalls, std::vector<CGEventType>{kCGEventTapDisabledByTimeout});
}

TEST_F(EventStreamTest, RefusedTapsAndTheScreenTheClickLocationComesFrom) {
    fMachine.SetEventTapRefused(true);
    EXPECT_FALSE(Tap(StampCommand));

    fMachine.SetMainScreenFrame(CGRect{{0, 0}, {800, 600}});
    fMachine.SetMouseLocation(100.5, 200.25);
    MouseId mouse = fMachine.PlugMouse(402);
    fMachine.MoveMouse(mouse, 10, 20, 0);  // reports count y downwards
    EXPECT_EQ(NSEventMouseLocation().x, 110.5);
    EXPECT_EQ(NSEventMouseLocation().y, 180.25);
    fMachine.MoveMouse(mouse, -1000, -1000, 0);
    EXPECT_EQ(NSEventMouseLocation().x, 0.0);
    EXPECT_EQ(NSEventMouseLocation().y, 600.0);
    EXPECT_EQ(NSScreenMainScreenFrame()->size.height, 600.0);
    fMachine.SetMainScreenFrame(std::nullopt);
    EXPECT_FALSE(NSScreenMainScreenFrame());
}

}  // namespace
}  // namespace platform
