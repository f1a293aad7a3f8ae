#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "PrivateBus.h"
#include "TemporaryHome.h"

struct sd_bus;

// The real Preferences host on the display server of the environment
// ($DISPLAY or $WAYLAND_DISPLAY, chosen by QT_QPA_PLATFORM), in a throw-away
// home, with a private session bus on which this object plays the agent, and
// with the probe plugin loaded to answer questions about its widgets.
class PaneOnDisplay {
public:
    PaneOnDisplay();
    ~PaneOnDisplay();
    PaneOnDisplay(const PaneOnDisplay&) = delete;
    PaneOnDisplay& operator=(const PaneOnDisplay&) = delete;

    // One question to the probe (see PaneProbe.cpp), its one-line answer.
    std::string Ask(const std::string& question);
    // Asks until the answer is `expected` (bounded); whether it came.
    bool WaitFor(const std::string& question, const std::string& expected,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // As the agent: waits for the pane's "PrefPaneStarted", answers
    // "DeviceAttached" and waits until the settings tabs show.
    bool AnswerAsAgent(bool isTarn = false);
    bool WaitForPaneStarted();
    // Posts the agent's "DeviceAttached" (with "IsTarn") or "NoDevicesAttached".
    bool PostAsAgent(const char* name, bool isTarn = false);
    // Whether the host ended within the time.
    bool Ended(std::chrono::milliseconds timeout);

    std::filesystem::path SettingsFile() const;
    std::filesystem::path HintChoicesFile() const;

private:
    platform::ScopedTemporaryHome fHome;
    PrivateBus fSessionBus;
    sd_bus* fAgent = nullptr;
    std::unique_ptr<ChildProcess> fHost;
    int fProbe = -1;
    std::string fBuffered;
};
