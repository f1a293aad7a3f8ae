#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "Scenario.h"
#include "ScenarioRunner.h"
#include "TemporaryHome.h"

// SimulationHost <scenario file> [--home <folder>]
// Plays the scenario on the simulation backend and prints what the system and
// the pane observe. Without --home the user's home is a temporary folder.
namespace {

constexpr const char* kUsage = "usage: SimulationHost <scenario file> [--home <folder>]\n";

struct Arguments {
    std::string scenario;
    std::optional<std::filesystem::path> home;
};

std::optional<Arguments> ParseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--home" && i + 1 < argc) {
            arguments.home = argv[++i];
        } else if (arguments.scenario.empty() && !argument.starts_with("--")) {
            arguments.scenario = argument;
        } else {
            return std::nullopt;
        }
    }
    if (arguments.scenario.empty()) {
        return std::nullopt;
    }
    return arguments;
}

int Play(const std::vector<scenario::Line>& lines, const std::filesystem::path& scenario) {
    ScenarioRunner runner(std::cout, scenario.parent_path());
    runner.Run(lines);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto arguments = ParseArguments(argc, argv);
    if (!arguments) {
        std::cerr << kUsage;
        return 2;
    }
    std::ifstream file(arguments->scenario);
    if (!file) {
        std::cerr << arguments->scenario << ": cannot be read\n";
        return 2;
    }
    try {
        const auto lines = scenario::Parse(file);
        if (arguments->home) {
            std::filesystem::create_directories(*arguments->home);
            setenv("HOME", arguments->home->c_str(), 1);
            unsetenv("XDG_DATA_HOME");
            return Play(lines, arguments->scenario);
        }
        platform::ScopedTemporaryHome home;
        return Play(lines, arguments->scenario);
    } catch (const std::exception& error) {  // a bad line names its number
        std::cerr << arguments->scenario << ": " << error.what() << '\n';
        return 1;
    }
}
