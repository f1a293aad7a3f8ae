#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DeviceSettings.h"
#include "SimulatedMachine.h"
#include "TemporaryHome.h"

// A simulated machine in a temporary home, with the agent started on it.
// Events are described compactly for comparisons:
//   posted:   "flags 0x100000", "down 8", "up 8", "lmousedown 100,699", "lmouseup 100,699"
//   keyboard: "key 8 0x100000" (a key-down typed on the keyboard, flags as delivered)
class AgentFixture : public testing::Test {
protected:
    AgentFixture();
    ~AgentFixture() override;

    // Runs the agent's start-up and lets the run loop settle.
    void StartAgent();
    void Settle();

    platform::MouseId Plug(std::int32_t productId, double driverDelay = 0.0);
    void Unplug(platform::MouseId mouse);
    // A relative report with no motion.
    void Press(platform::MouseId mouse, std::uint32_t buttons);
    void Type(std::uint16_t keyCode);

    // Sends the settings as the pane does ("HalvorinAgent").
    void SendSettings(const ADeviceSettings& settings);
    // The default settings changed by `change`, sent as the pane does.
    void SendSettings(const std::function<void(ADeviceSettings&)>& change);
    // "PrefPaneStarted" as the pane posts it.
    void AnnouncePane();

    // Posted events since the last call, described.
    std::vector<std::string> TakePostedEvents();
    // Key-downs typed on the keyboard since the last call, described.
    std::vector<std::string> TakeTypedKeyDowns();
    // Driver messages since the last call.
    std::vector<std::uint32_t> TakeDriverMessages();
    // Notifications the agent posted since the last call: name, then the
    // user info when there is one.
    std::vector<std::string> TakeAgentNotifications();
    // What the system saw since the last call, in order: driver messages
    // ("message 0x10"), pointer and scroll events ("pointer 3,0 0x1",
    // "scroll -2,0,0"), posted and typed events (as above) and accelerations
    // ("acceleration HIDMouseAcceleration 0.875").
    std::vector<std::string> TakeSystemLog();

    // Every line written to the system log so far.
    std::vector<std::string> SystemLogLines() const;

    std::filesystem::path SettingsFilePath() const;

    platform::ScopedTemporaryHome home;
    platform::SimulatedMachine machine;

private:
    std::size_t fPostedSeen = 0;
    std::size_t fDeliveredSeen = 0;
    std::size_t fLogSeen = 0;
    std::size_t fNotificationsSeen = 0;
    std::size_t fSystemLogSeen = 0;
};

// The mapping of a catalogue row, without macro keys.
std::shared_ptr<const AButtonMapping> Mapping(ButtonMappingType type, std::string macroKeys = {});
