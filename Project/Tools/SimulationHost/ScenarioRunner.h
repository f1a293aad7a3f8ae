#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include "Scenario.h"
#include "ScenarioPane.h"
#include "SettingsFileWatch.h"
#include "SimulatedMachine.h"

// Plays a scenario on a simulated machine that runs the driver instances, the
// agent and the preference pane (off screen), and prints one line per effect the system or
// the pane observes. The user's home must be in place before construction:
// the agent and the pane read the settings file there.
class ScenarioRunner {
public:
    // Settings files named by the scenario are found relative to
    // `scenarioFolder`.
    ScenarioRunner(std::ostream& output, std::filesystem::path scenarioFolder);
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    // Runs the lines in order, letting the agent do what each one sets off.
    // Stops after the agent has ended. Throws scenario::ParseError for a line
    // that cannot be carried out (such as a mouse that is not plugged in).
    void Run(const std::vector<scenario::Line>& lines);

private:
    void Perform(const scenario::Line& line);
    platform::MouseId MouseAt(const scenario::Line& line, int mouse) const;
    void PrintSettingsFileChange();
    // A pane action the user could not take fails the line.
    template <typename Action>
    void AsUser(const scenario::Line& line, Action action);

    std::ostream& fOutput;
    std::filesystem::path fScenarioFolder;
    platform::SimulatedMachine fMachine;
    std::unique_ptr<ScenarioPane> fPane;
    std::unique_ptr<SettingsFileWatch> fSettingsFile;
    std::map<int, platform::MouseId> fMice;
    int fNextMouse = 1;
};
