#include <gtest/gtest.h>

#include <fstream>

#include "AgentFixture.h"
#include "AgentMain.h"
#include "AgentState.h"
#include "DeviceManager.h"
#include "OrvandelDriver.h"
#include "Power.h"
#include "SimulatedPower.h"

namespace {

using Strings = std::vector<std::string>;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream stream(path);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

class AgentLifecycleTest : public AgentFixture {};

TEST_F(AgentLifecycleTest, SleepDetachesAndWritesTheFileAndWakeReadsItAndRematches) {
    StartAgent();
    Plug(401);
    SendSettings([](ADeviceSettings& s) { s.setPointerSensitivity(8); });
    TakeAgentNotifications();
    ASSERT_FALSE(std::filesystem::exists(SettingsFilePath()));

    machine.SleepSystem();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"NoDevicesAttached"}));
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 0);
    EXPECT_EQ(sHidConnection, 0u);
    EXPECT_NE(ReadFile(SettingsFilePath()).find("<pointerSensitivity>8</pointerSensitivity>"),
              std::string::npos);

    // While asleep the pane is not heard.
    AnnouncePane();
    EXPECT_TRUE(TakeAgentNotifications().empty());

    machine.WakeSystem();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}"}));
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 1);
    EXPECT_EQ(sDeviceSettings->PointerSensitivityValue(), 8);
    EXPECT_EQ(machine.HIDSystem().Acceleration("HIDMouseAcceleration"), 2.0);
    EXPECT_TRUE(machine.Power().AllAcknowledged());
}

TEST_F(AgentLifecycleTest, SessionSwitchesActLikeSleepAndWakeAndAreLogged) {
    StartAgent();
    Plug(405);
    TakeAgentNotifications();
    machine.ResignSession();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"NoDevicesAttached"}));
    EXPECT_TRUE(std::filesystem::exists(SettingsFilePath()));
    machine.ActivateSession();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": true}"}));
    EXPECT_EQ(SystemLogLines(), (Strings{"PrepareForSleep", "WakeUp"}));
}

TEST_F(AgentLifecycleTest, EveryPowerMessageIsAcknowledged) {
    StartAgent();
    machine.Power().Send(platform::kIOMessageCanSystemSleep);
    machine.Power().Send(platform::kIOMessageSystemWillNotSleep);
    machine.SleepSystem();
    machine.WakeSystem();
    Settle();
    EXPECT_EQ(machine.Power().Messages().size(), 5u);
    EXPECT_TRUE(machine.Power().AllAcknowledged());
}

TEST_F(AgentLifecycleTest, WakeWhileConnectedDoesNotDoubleObserversOrMice) {
    StartAgent();
    Plug(401);
    TakeAgentNotifications();
    // A wake while the session is switched out, then the session's return.
    machine.WakeSystem();
    Settle();
    machine.ActivateSession();
    Settle();
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 1);
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}",
                                                 "DeviceAttached {\"IsTarn\": false}"}));
    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}"}));
}

TEST_F(AgentLifecycleTest, ASleepOverlappingASessionSwitchSetsUpOnceWhenBothEnd) {
    using Step = void (platform::SimulatedMachine::*)();
    using M = platform::SimulatedMachine;
    // A text console is switched away during a sleep; logind may tell the
    // wake and the return in either order.
    const std::vector<Step> orders[] = {
        {&M::SleepSystem, &M::ResignSession, &M::ActivateSession, &M::WakeSystem},
        {&M::SleepSystem, &M::ResignSession, &M::WakeSystem, &M::ActivateSession},
    };
    StartAgent();
    Plug(401);
    TakeAgentNotifications();
    for (const auto& order : orders) {
        Strings seen;
        for (const Step step : order) {
            (machine.*step)();
            Settle();
            for (const std::string& notification : TakeAgentNotifications()) {
                seen.push_back(notification);
            }
        }
        EXPECT_EQ(seen, (Strings{"NoDevicesAttached", "NoDevicesAttached",
                                 "DeviceAttached {\"IsTarn\": false}"}));
        EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 1);
    }
}

TEST_F(AgentLifecycleTest, WithoutTheParameterConnectionOnlyPowerAndSessionsAreHandled) {
    machine.SetHIDSystemOpenRefused(true);
    StartAgent();
    Plug(401);
    AnnouncePane();
    EXPECT_TRUE(TakeAgentNotifications().empty());
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 0);

    machine.SleepSystem();
    Settle();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"NoDevicesAttached"}));
    EXPECT_TRUE(machine.Power().AllAcknowledged());
}

TEST_F(AgentLifecycleTest, MissingParameterServiceStillLeavesTheMiceServed) {
    machine.SetHIDSystemPresent(false);
    StartAgent();
    // No HID system service: the agent still serves the mice.
    Plug(401);
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 1);
    EXPECT_EQ(sHidConnection, 0u);
}

TEST_F(AgentLifecycleTest, InterruptEndsWithStatusZeroAndLeavesTheFileAsItWas) {
    StartAgent();
    Plug(401);
    SendSettings([](ADeviceSettings& s) { s.setPointerSensitivity(2); });
    machine.Interrupt();
    Settle();
    EXPECT_EQ(machine.ExitStatus(), 0);
    EXPECT_EQ(gDeviceManager, nullptr);
    EXPECT_FALSE(std::filesystem::exists(SettingsFilePath()));
}

TEST_F(AgentLifecycleTest, RunLoopEndsAfterTheInterruptAndMainReturnsZero) {
    machine.At(machine.Now() + 5.0, [this] { machine.Interrupt(); });
    EXPECT_EQ(HalvorinAgentMain(), 0);
    EXPECT_EQ(machine.ExitStatus(), 0);
}

TEST_F(AgentLifecycleTest, UninstallableInterruptHandlerEndsStartUpWithMinusOne) {
    machine.SetSignalHandlerRefused(true);
    EXPECT_EQ(HalvorinAgentMain(), -1);
    EXPECT_EQ(gDeviceManager, nullptr);
    EXPECT_EQ(SystemLogLines(),
              (Strings{"Halvorin Device Controller: Could not create signal handler."}));
}

TEST_F(AgentLifecycleTest, SettingsFolderThatCannotBeMadeLeavesTheAgentOnDefaults) {
    const auto folder = SettingsFilePath().parent_path();
    std::filesystem::create_directories(folder.parent_path());
    std::ofstream(folder) << "not a folder";
    StartAgent();
    EXPECT_EQ(sDeviceSettings, nullptr);
    const auto mouse = Plug(401);
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    EXPECT_EQ(machine.DriverOf(mouse)->GetPrimaryMappingType(0x10), 7u);
    machine.SleepSystem();
    machine.WakeSystem();
    Settle();
    EXPECT_EQ(machine.DriverOf(mouse)->GetPrimaryMappingType(0x10), 7u);
    EXPECT_EQ(SystemLogLines().front(), "PrefController: Could not locate config file");
}

TEST_F(AgentLifecycleTest, FailedWriteBeforeSleepLosesOnlyTheWrite) {
    StartAgent();
    const auto mouse = Plug(401);
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    // The settings folder is replaced by a file: the write cannot succeed.
    const auto folder = SettingsFilePath().parent_path();
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "in the way";
    machine.SleepSystem();
    Settle();
    EXPECT_EQ(SystemLogLines().back(), "PrefController: Error saving preferences");
    machine.WakeSystem();
    Settle();
    // The new settings object cannot be made either: the old record stays.
    EXPECT_EQ(machine.DriverOf(mouse)->GetPrimaryMappingType(0x10), 7u);
}

}  // namespace
