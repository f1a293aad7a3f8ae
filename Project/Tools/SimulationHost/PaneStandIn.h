#pragma once

#include <filesystem>
#include <memory>

#include "Scenario.h"
#include "SettingsFile.h"

// The preference pane as the scenario plays it: its own settings-file object,
// its two notifications to the agent, and the settings file it writes when
// hidden.
class PaneStandIn {
public:
    // Reads the user's settings file, as the pane does when it is loaded.
    PaneStandIn();

    // "PrefPaneStarted".
    void Announce();
    void Change(const scenario::PaneSet& change);
    // "HalvorinAgent" with the pane's record, or with the record of the
    // settings file at `file` (which becomes the pane's record).
    void Send(const std::filesystem::path& file);
    // Writes the pane's record to the settings file.
    void Hide();

private:
    std::unique_ptr<ASettingsFile> fSettings;
};
