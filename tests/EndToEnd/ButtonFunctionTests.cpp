#include <gtest/gtest.h>

#include <algorithm>

#include "AgentFixture.h"

namespace {

using Lines = std::vector<std::string>;

// Driver instances and the agent together: reports go in at the mouse, and
// what the system sees comes out.
class ButtonFunctionTest : public AgentFixture {
protected:
    void SetUp() override { StartAgent(); }

    platform::MouseId PlugWith(std::int32_t productId,
                               const std::function<void(ADeviceSettings&)>& change) {
        const auto mouse = Plug(productId);
        SendSettings(change);
        TakeSystemLog();
        return mouse;
    }

    void Report(platform::MouseId mouse, std::uint32_t buttons, std::int32_t dx = 0) {
        machine.MoveMouse(mouse, dx, 0, buttons);
        Settle();
    }
};

TEST_F(ButtonFunctionTest, RoadOfOneButtonPress) {
    const auto mouse =
        PlugWith(401, [](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    Report(mouse, 0x10, 3);
    EXPECT_EQ(TakeSystemLog(), (Lines{"message 0x10", "pointer 3,0 0x0", "flags 0x100000", "down 8",
                                      "up 8", "flags 0x0"}));
    Report(mouse, 0x10);
    EXPECT_EQ(TakeSystemLog(), (Lines{"pointer 0,0 0x0"}));
    Report(mouse, 0);
    EXPECT_EQ(TakeSystemLog(), (Lines{"message 0xff", "pointer 0,0 0x0"}));
}

TEST_F(ButtonFunctionTest, ClicksAndDoubleClickAreServedByTheDriverAlone) {
    const auto mouse = PlugWith(402, [](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(1), 0);
        s.SetPrimaryButtonMapping(Mapping(10), 1);
    });
    Report(mouse, 0x01);
    Report(mouse, 0);
    Report(mouse, 0x04);
    Report(mouse, 0);
    EXPECT_EQ(TakeSystemLog(),
              (Lines{"pointer 0,0 0x1", "message 0xff", "pointer 0,0 0x0", "pointer 0,0 0x1",
                     "pointer 0,0 0x0", "pointer 0,0 0x1", "pointer 0,0 0x0", "pointer 0,0 0x0",
                     "message 0xff", "pointer 0,0 0x0"}));
}

TEST_F(ButtonFunctionTest, HeldCommandKeyStampsKeyDownsUntilRelease) {
    const auto mouse =
        PlugWith(401, [](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(35), 4); });
    Report(mouse, 0x08);
    Type(8);
    Report(mouse, 0x08);  // held: the driver sends code 0
    Type(9);
    Report(mouse, 0);
    Type(8);
    EXPECT_EQ(TakeSystemLog(),
              (Lines{"message 0x8", "pointer 0,0 0x0", "flags 0x100000", "key 8 0x100000",
                     "message 0x0", "pointer 0,0 0x0", "key 9 0x100000", "message 0xff",
                     "pointer 0,0 0x0", "flags 0x0", "key 8 0x0"}));
}

TEST_F(ButtonFunctionTest, SleepWhileAModifierButtonIsHeldLetsGoOfTheModifier) {
    const auto mouse =
        PlugWith(401, [](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(35), 4); });
    Report(mouse, 0x08);
    TakeSystemLog();
    machine.SleepSystem();
    Settle();
    const Lines log = TakeSystemLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "flags 0x0"), log.end());
    machine.WakeSystem();
    Settle();
    Report(mouse, 0);
    Type(8);
    const Lines after = TakeSystemLog();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), "key 8 0x0");
}

TEST_F(ButtonFunctionTest, ClickWithOptionLandsAtThePointer) {
    const auto mouse =
        PlugWith(401, [](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(17), 3); });
    machine.SetMainScreenFrame(platform::CGRect{{0, 0}, {1440, 900}});
    machine.SetMouseLocation(300.5, 100.9);
    Report(mouse, 0x10);
    EXPECT_EQ(TakeSystemLog(), (Lines{"message 0x10", "pointer 0,0 0x0", "flags 0x80000",
                                      "lmousedown 300,799", "lmouseup 300,799", "flags 0x0"}));
}

TEST_F(ButtonFunctionTest, RecordedKeystrokeReplaysItsSteps) {
    const auto mouse = PlugWith(402, [](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(15, "Return,36,0|Tab,48,131072"), 2);
    });
    Report(mouse, 0x02);
    EXPECT_EQ(TakeSystemLog(),
              (Lines{"message 0x2", "pointer 0,0 0x0", "down 36", "up 36", "flags 0x0",
                     "flags 0x20000", "down 48", "up 48", "flags 0x0"}));
}

TEST_F(ButtonFunctionTest, SecondaryLayerOnASixButtonMouse) {
    const auto mouse = PlugWith(401, [](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(26), 5);
        s.SetSecondaryButtonMapping(Mapping(22), 0);  // Paste
        s.SetSecondaryButtonMapping(Mapping(2), 1);   // Right Click
    });
    Report(mouse, 0x20);
    Report(mouse, 0x21);
    Report(mouse, 0x20);
    Report(mouse, 0x24);
    Report(mouse, 0);
    EXPECT_EQ(TakeSystemLog(),
              (Lines{"message 0x20", "pointer 0,0 0x0", "message 0x21", "pointer 0,0 0x0",
                     "flags 0x100000", "down 9", "up 9", "flags 0x0", "pointer 0,0 0x0",
                     "pointer 0,0 0x2", "message 0xff", "pointer 0,0 0x0"}));
}

TEST_F(ButtonFunctionTest, SecondaryLayerOnTheTarnModel) {
    const auto mouse = PlugWith(405, [](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(26), 4);
        s.SetSecondaryButtonMapping(Mapping(21), 1);  // Page Up
        s.SetSecondaryButtonMapping(Mapping(20), 2);  // Page Down
    });
    Report(mouse, 0x10);
    Report(mouse, 0x14);
    Report(mouse, 0x10);
    Report(mouse, 0x12);
    Report(mouse, 0);
    EXPECT_EQ(
        TakeSystemLog(),
        (Lines{"message 0x10", "pointer 0,0 0x0", "message 0x14", "pointer 0,0 0x0", "down 116",
               "up 116", "flags 0x0", "pointer 0,0 0x0", "message 0x12", "pointer 0,0 0x0",
               "down 121", "up 121", "flags 0x0", "message 0xff", "pointer 0,0 0x0"}));
}

TEST_F(ButtonFunctionTest, ReverseScrollIsAppliedByTheDriver) {
    const auto mouse = PlugWith(401, [](ADeviceSettings& s) { s.setReverseScrollDirection(true); });
    machine.ScrollMouse(mouse, 2, 1, 0);
    Settle();
    EXPECT_EQ(TakeSystemLog(), (Lines{"scroll -2,1,0"}));
    SendSettings([](ADeviceSettings& s) { s.setReverseScrollDirection(false); });
    TakeSystemLog();
    machine.ScrollMouse(mouse, 2, 1, 0);
    Settle();
    EXPECT_EQ(TakeSystemLog(), (Lines{"scroll 2,1,0"}));
}

}  // namespace
