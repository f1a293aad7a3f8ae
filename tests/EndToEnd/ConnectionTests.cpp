#include <gtest/gtest.h>

#include <fstream>

#include "AgentFixture.h"
#include "DeviceManager.h"
#include "OrvandelDriver.h"
#include "SettingsFile.h"

namespace {

using Lines = std::vector<std::string>;

class ConnectionTest : public AgentFixture {
protected:
    void SetUp() override { StartAgent(); }
};

TEST_F(ConnectionTest, PaneIsAnsweredWhetherAMouseIsAttachedAndWhichModel) {
    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"NoDevicesAttached"}));

    const auto first = Plug(401);
    const auto second = Plug(405);
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"DeviceAttached {\"IsTarn\": false}"}));
    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"DeviceAttached {\"IsTarn\": true}"}));

    Unplug(second);
    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"DeviceAttached {\"IsTarn\": false}"}));
    Unplug(first);
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"NoDevicesAttached"}));
}

// The HID device can go before its driver instance is terminated: the count
// follows the removals, not the instances still registered.
TEST_F(ConnectionTest, RemovalsCountWhileTheDriverInstancesLinger) {
    const auto first = Plug(401);
    const auto second = Plug(405);
    TakeAgentNotifications();

    machine.UnplugMouse(second, 1.0);
    Settle();
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 1);
    EXPECT_FALSE(ADeviceManager::HasTarnMouse());
    EXPECT_TRUE(TakeAgentNotifications().empty());

    machine.UnplugMouse(first, 1.0);
    Settle();
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 0);
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"NoDevicesAttached"}));
    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"NoDevicesAttached"}));

    // Once the instances are gone, a new mouse gets its own.
    machine.Loop().RunFor(1.0);
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    const auto third = Plug(402);
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"DeviceAttached {\"IsTarn\": false}"}));
    EXPECT_EQ(machine.DriverOf(third)->GetPrimaryMappingType(0x10), 7u);
}

TEST_F(ConnectionTest, PaneSettingsReachTheAccelerationsAndEveryDriverInstance) {
    // With no mouse the settings still change the accelerations.
    SendSettings([](ADeviceSettings& s) {
        s.setPointerSensitivity(0);
        s.setScrollWheelSensitivity(9);
    });
    EXPECT_EQ(TakeSystemLog(), (Lines{"acceleration HIDMouseAcceleration 0",
                                      "acceleration HIDMouseScrollAcceleration 3"}));

    const auto sixButton = Plug(402);
    const auto tarn = Plug(405);
    TakeSystemLog();
    SendSettings([](ADeviceSettings& s) {
        s.setPointerSensitivity(5);
        s.setScrollWheelSensitivity(12);  // beyond the scale: its end
        s.SetPrimaryButtonMapping(Mapping(7), 3);
        s.SetPrimaryButtonMapping(Mapping(26), 4);
    });
    EXPECT_EQ(TakeSystemLog(), (Lines{"acceleration HIDMouseAcceleration 0.875",
                                      "acceleration HIDMouseScrollAcceleration 3"}));
    EXPECT_EQ(machine.DriverOf(sixButton)->GetPrimaryMappingType(0x10), 7u);
    EXPECT_EQ(machine.DriverOf(tarn)->GetPrimaryMappingType(0x08), 7u);
    EXPECT_EQ(machine.DriverOf(tarn)->GetPrimaryMappingType(0x10), 26u);
}

TEST_F(ConnectionTest, MatchedMouseGetsTheAccelerationsPointerFirst) {
    Plug(401);
    const Lines log = TakeSystemLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "acceleration HIDMouseAcceleration 0.875");
    EXPECT_EQ(log.back(), "acceleration HIDMouseScrollAcceleration 0.875");
}

TEST_F(ConnectionTest, SleepWritesTheSettingsAndWakeReadsWhatThePaneWroteMeanwhile) {
    const auto mouse = Plug(401);
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    machine.SleepSystem();
    Settle();
    {
        ASettingsFile written;
        EXPECT_EQ(written.PrimaryButtonMappingAtIndex(3)->mapType(), 7);
        // The pane, shown while the agent was away, writes its own change.
        written.SetPrimaryButtonMapping(Mapping(8), 3);
        written.SetPointerSensitivityValue(9);
        written.FlushXml();
    }
    TakeSystemLog();
    machine.WakeSystem();
    Settle();
    EXPECT_EQ(machine.DriverOf(mouse)->GetPrimaryMappingType(0x10), 8u);
    const Lines log = TakeSystemLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "acceleration HIDMouseAcceleration 3"), log.end());
}

TEST_F(ConnectionTest, SessionSwitchOutAndBackRebuildsTheConnections) {
    const auto mouse = Plug(405);
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(11), 3); });
    TakeAgentNotifications();
    machine.ResignSession();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"NoDevicesAttached"}));
    // While switched out the agent has no connection to post through.
    TakeSystemLog();
    machine.MoveMouse(mouse, 0, 0, 0x08);
    machine.MoveMouse(mouse, 0, 0, 0);
    Settle();
    EXPECT_EQ(TakeSystemLog(),
              (Lines{"message 0x8", "pointer 0,0 0x0", "message 0xff", "pointer 0,0 0x0"}));
    machine.ActivateSession();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Lines{"DeviceAttached {\"IsTarn\": true}"}));
    TakeSystemLog();
    machine.MoveMouse(mouse, 0, 0, 0x08);
    Settle();
    EXPECT_EQ(TakeSystemLog(),
              (Lines{"message 0x8", "pointer 0,0 0x0", "down 53", "up 53", "flags 0x0"}));
}

}  // namespace
