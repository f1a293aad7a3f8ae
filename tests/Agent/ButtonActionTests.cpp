#include <gtest/gtest.h>

#include "AgentFixture.h"
#include "AgentState.h"
#include "ButtonActions.h"
#include "DeviceManager.h"
#include "EventTap.h"
#include "KeyEventFilter.h"

namespace {

using Events = std::vector<std::string>;

// The agent's reaction to driver messages, sent straight to its handler from
// a listed six-button mouse or Tarn model.
class ButtonActionTest : public AgentFixture {
protected:
    void SetUp() override {
        StartAgent();
        sixButton = Plug(401);
        tarn = Plug(405);
        TakePostedEvents();
    }

    void Message(std::uint32_t value, bool fromTarn = false) {
        HandleDriverNotification(
            nullptr, ADeviceManager::GetOrvandelObjectAtIndex(fromTarn ? 1 : 0), value, nullptr);
        Settle();
    }

    platform::MouseId sixButton = 0;
    platform::MouseId tarn = 0;
};

TEST_F(ButtonActionTest, PredefinedKeystrokeWrapsTheKeyInItsModifiers) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    TakePostedEvents();
    Message(0x10);
    EXPECT_EQ(TakePostedEvents(), (Events{"flags 0x100000", "down 8", "up 8", "flags 0x0"}));

    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(9), 3); });
    TakePostedEvents();
    Message(0x10);
    EXPECT_EQ(TakePostedEvents(), (Events{"down 51", "up 51", "flags 0x0"}));
}

TEST_F(ButtonActionTest, NothingMessagesAndFunctionsTheDriverServesPostNothing) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(10), 3);
        s.SetPrimaryButtonMapping(Mapping(26), 5);
        s.SetPrimaryButtonMapping(Mapping(0), 4);
    });
    TakePostedEvents();
    for (std::uint32_t value : {0x00u, 0xFFu, 0x10u, 0x20u, 0x08u, 0x03u, 0x40u, 0xE0000010u}) {
        Message(value);
    }
    EXPECT_TRUE(TakePostedEvents().empty());
}

TEST_F(ButtonActionTest, SecondaryLayerDependsOnTheLastButtonsFunction) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(26), 5);
        s.SetSecondaryButtonMapping(Mapping(22), 0);  // Paste, key 9
        s.SetSecondaryButtonMapping(Mapping(11), 3);  // Escape, key 53
    });
    TakePostedEvents();
    Message(0x21);
    Message(0x30);
    EXPECT_EQ(TakePostedEvents(), (Events{"flags 0x100000", "down 9", "up 9", "flags 0x0",
                                          "down 53", "up 53", "flags 0x0"}));

    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(11), 5); });
    TakePostedEvents();
    Message(0x20);
    Message(0x21);
    EXPECT_EQ(TakePostedEvents(), (Events{"down 53", "up 53", "flags 0x0"}));
}

TEST_F(ButtonActionTest, TarnModelDecodesWithItsOwnTable) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(11), 4);    // Escape on the last button
        s.SetPrimaryButtonMapping(Mapping(31), 3);    // Tab on button 3
        s.SetSecondaryButtonMapping(Mapping(9), 0);   // Delete
        s.SetSecondaryButtonMapping(Mapping(24), 1);  // Return
        s.SetSecondaryButtonMapping(Mapping(30), 3);  // Spacebar: no such button on the Tarn
    });
    TakePostedEvents();
    Message(0x10, true);
    EXPECT_EQ(TakePostedEvents(), (Events{"down 53", "up 53", "flags 0x0"}));

    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(26), 4);
        s.SetPrimaryButtonMapping(Mapping(31), 3);
        s.SetSecondaryButtonMapping(Mapping(9), 0);
        s.SetSecondaryButtonMapping(Mapping(24), 1);
        s.SetSecondaryButtonMapping(Mapping(30), 3);
    });
    TakePostedEvents();
    Message(0x11, true);
    Message(0x14, true);
    // Button 3 with the shift held: the driver resolved its primary function.
    Message(0x18, true);
    EXPECT_EQ(TakePostedEvents(), (Events{"down 51", "up 51", "flags 0x0", "down 36", "up 36",
                                          "flags 0x0", "down 48", "up 48", "flags 0x0"}));
}

TEST_F(ButtonActionTest, MessageFromAnUnlistedServiceDecodesWithTheSixButtonTable) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(11), 3); });
    TakePostedEvents();
    HandleDriverNotification(nullptr, 0x7777, 0x10, nullptr);
    EXPECT_EQ(TakePostedEvents(), (Events{"down 53", "up 53", "flags 0x0"}));
}

TEST_F(ButtonActionTest, RecordedKeystrokeReplaysEachStepFromItsCodeAndFlags) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(15, "A,0,256|B,11,1048576"), 3);
    });
    TakePostedEvents();
    Message(0x10);
    EXPECT_EQ(TakePostedEvents(), (Events{"flags 0x0", "down 0", "up 0", "flags 0x0",
                                          "flags 0x100000", "down 11", "up 11", "flags 0x0"}));
}

TEST_F(ButtonActionTest, MalformedRecordingSkipsBadStepsAndKeepsTheAgentRunning) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(15, "broken|Tab,48|,,43,0||"), 3);
    });
    TakePostedEvents();
    Message(0x10);
    EXPECT_EQ(TakePostedEvents(), (Events{"down 43", "up 43", "flags 0x0"}));
}

TEST_F(ButtonActionTest, ModifiedClickLandsAtThePointerCountedFromTheTop) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(17), 3);
        s.SetPrimaryButtonMapping(Mapping(16), 4);
        s.SetPrimaryButtonMapping(Mapping(18), 1);
    });
    machine.SetMainScreenFrame(platform::CGRect{{0, 0}, {1440, 900}});
    machine.SetMouseLocation(100.7, 200.2);
    TakePostedEvents();
    Message(0x10);
    EXPECT_EQ(TakePostedEvents(),
              (Events{"flags 0x80000", "lmousedown 100,699", "lmouseup 100,699", "flags 0x0"}));
    Message(0x08);
    Message(0x04);
    const Events both = TakePostedEvents();
    ASSERT_EQ(both.size(), 8u);
    EXPECT_EQ(both[0], "flags 0x100000");
    EXPECT_EQ(both[4], "flags 0x20000");
}

TEST_F(ButtonActionTest, ModifiedClickOffAnyScreenStaysWithinTheCoordinateRange) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(17), 3); });
    machine.SetMainScreenFrame(std::nullopt);
    machine.SetMouseLocation(1e9, -1e9);
    TakePostedEvents();
    Message(0x10);
    EXPECT_EQ(TakePostedEvents(), (Events{"flags 0x80000", "lmousedown 32767,32767",
                                          "lmouseup 32767,32767", "flags 0x0"}));
}

TEST_F(ButtonActionTest, HeldModifiersStampKeyDownsUntilAllButtonsAreUp) {
    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(32), 3);  // Shift Key
        s.SetPrimaryButtonMapping(Mapping(35), 4);  // Command Key
    });
    TakePostedEvents();
    Message(0x10);
    Message(0x08);
    EXPECT_EQ(TakePostedEvents(), (Events{"flags 0x20000", "flags 0x100000"}));
    Type(8);
    EXPECT_EQ(TakeTypedKeyDowns(), (Events{"key 8 0x120000"}));

    Message(0xFF);
    EXPECT_EQ(TakePostedEvents(), (Events{"flags 0x0"}));
    EXPECT_EQ(sEventFlags, 0u);
    EXPECT_FALSE(sEventTap);
    Type(8);
    EXPECT_EQ(TakeTypedKeyDowns(), (Events{"key 8 0x0"}));
    Message(0xFF);
    EXPECT_TRUE(TakePostedEvents().empty());
}

TEST_F(ButtonActionTest, RefusedFilterKeepsTheFlagsAndIsTriedAgainOnTheNextPress) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(34), 3); });
    machine.SetEventTapRefused(true);
    Message(0x10);
    EXPECT_FALSE(sEventTap);
    EXPECT_EQ(sEventFlags, 0x80000u);

    machine.SetEventTapRefused(false);
    Message(0x10);
    EXPECT_TRUE(sEventTap);
    Type(1);
    EXPECT_EQ(TakeTypedKeyDowns(), (Events{"key 1 0x80000"}));
}

TEST_F(ButtonActionTest, FilterSwitchedOffByThePlatformIsSwitchedOnWhileAModifierIsHeld) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(33), 3); });
    Message(0x10);
    ASSERT_TRUE(sEventTap);
    platform::CGEventTapEnable(sEventTap, false);
    myCGEventCallback(nullptr, platform::kCGEventTapDisabledByTimeout, nullptr, nullptr);
    EXPECT_TRUE(platform::CGEventTapIsEnabled(sEventTap));
    Type(2);
    EXPECT_EQ(TakeTypedKeyDowns(), (Events{"key 2 0x40000"}));
}

}  // namespace
