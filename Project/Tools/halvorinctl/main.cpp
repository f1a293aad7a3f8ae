#include <cstdio>
#include <string>
#include <vector>

#include "ButtonMenus.h"
#include "CommandLine.h"
#include "Commands.h"
#include "CtlError.h"
#include "PrefControllerError.h"

// halvorinctl: the suite's settings and state from the command line, over the
// same paths as the settings window (the settings file, the agent's
// notifications) and the agent (the driver host's registry).

namespace {

struct Command {
    const char* name;
    int (*run)(const CtlCommandLine&);
};

constexpr Command kCommands[] = {
    {"status", StatusCommand},
    {"show", ShowCommand},
    {"set", SetCommand},
    {"record", RecordCommand},
    {"restore-defaults", RestoreDefaultsCommand},
    {"export", ExportCommand},
    {"import", ImportCommand},
    {"monitor", MonitorCommand},
};

// The functions the button menus offer, with their rows.
int PrintFunctions() {
    for (const ButtonMappingType type : MenuMappingTypes(true)) {
        std::printf("%2d  %s\n", type,
                    AButtonMapping::buttonMappingChoiceLabelOfType(type).c_str());
    }
    return kExitDone;
}

int PrintHelp(const std::string& command) {
    const char* help = CommandHelp(command);
    if (help == nullptr) {
        UsageError("no command is called '" + command + "' (see halvorinctl --help)");
    }
    std::fputs(help, stdout);
    return kExitDone;
}

int Run(const CtlCommandLine& line) {
    if (line.version) {
        std::printf("halvorinctl %s\n", HALVORIN_VERSION);
        return kExitDone;
    }
    if (line.command == "help") {
        ExpectWords(line, 0, 1);
        if (!line.words.empty() && line.words[0] == "functions") {
            return PrintFunctions();
        }
        return PrintHelp(line.words.empty() ? std::string() : line.words[0]);
    }
    if (line.help || line.command.empty()) {
        if (!line.help) {
            UsageError("a command is needed (see halvorinctl --help)");
        }
        return PrintHelp(line.command);
    }
    for (const Command& command : kCommands) {
        if (line.command == command.name) {
            return command.run(line);
        }
    }
    UsageError("no command is called '" + line.command + "' (see halvorinctl --help)");
}

}  // namespace

int main(int argc, char** argv) {
    int status = kExitDone;
    try {
        status = Run(ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const CtlError& error) {
        std::fprintf(stderr, "halvorinctl: %s\n", error.what());
        status = error.status;
    } catch (const PrefControllerError& error) {
        std::fprintf(stderr, "halvorinctl: %s: %s\n", error.reason().c_str(),
                     error.cause().message().c_str());
        status = kExitError;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "halvorinctl: %s\n", error.what());
        status = kExitError;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "halvorinctl: cannot write to standard output\n");
        return kExitError;
    }
    return status;
}
