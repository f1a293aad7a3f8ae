#include "CommandLine.h"

#include <array>

#include "CtlError.h"

namespace {

struct Help {
    const char* command;
    const char* text;
};

constexpr const char* kClientHelp = R"(Usage: halvorinctl [-v] COMMAND [ARGUMENTS]

The Halvorin mouse settings from the command line. A change takes effect as
it does in the settings window: the agent applies it at once, and the
settings file is written.

Commands:
  status                               the driver host and its mice, the agent,
                                       the settings file, the vendor id
  show [--json]                        the settings
  set pointer|scroll 0-9               a sensitivity
  set reverse on|off                   reverse scrolling
  set button N FUNCTION [--secondary]  a button's function, by label or row
  record N [--secondary] KEY...        a recorded keystroke (Cmd+c Return)
  restore-defaults                     every setting back to its default
  export FILE                          the settings into FILE
  import FILE                          the settings from FILE, checked first
  monitor                              button messages and notifications

Options:
  -h, --help     this help, or a command's (halvorinctl set --help)
  -v, --verbose  say what was done
  --version      the version

Exit status: 0 done, 1 an error, 2 a wrong command line.
)";

constexpr std::array<Help, 9> kCommandHelp = {{
    {"status", R"(Usage: halvorinctl status

Whether the driver host is reachable on the system bus and which mice it
serves (product, model name, driver instance); whether the agent runs in
this session, which takes up to two seconds when it does not answer; the
settings file; the vendor id in force and where it comes from.
)"},
    {"show", R"(Usage: halvorinctl show [--json]

The settings as the settings window shows them: pointer and scroll
sensitivity, reverse scrolling, the function of each button and of the
secondary layer (the buttons while "Secondary Functions" is held), a
recorded keystroke as the recording sheet writes it (Cmd+c  Return).

  --json  one JSON object, in the form the README describes
)"},
    {"set", R"(Usage: halvorinctl set pointer|scroll 0-9
       halvorinctl set reverse on|off
       halvorinctl set button N FUNCTION [--secondary]

Changes one setting. FUNCTION is a label of the button menus, in any
letter case ("Copy", "left click+option", "Secondary Functions"), or its
row number 0 to 41 (halvorinctl help functions lists them). N counts the
buttons from 1; --secondary sets the function button N has while the
"Secondary Functions" button is held.

What the settings window would not offer is refused: a button the
attached model lacks (the Tarn model has five buttons and three secondary
functions), "Secondary Functions" on any but the last button, and
"KeyStroke Recording", which is set with record. The attached model comes
from the agent when the choice depends on it.
)"},
    {"record", R"(Usage: halvorinctl record N [--secondary] KEY...

Gives button N a recorded keystroke. Each KEY is one key with the
modifiers held for it, as the recording sheet names them: modifiers
Shift, Ctrl, Opt, Cmd, Fn; keys a to z, digits and punctuation, Return,
Tab, Space, Delete, Esc, Enter, Home, End, PgUp, PgDown, Left, Right, Up,
Down, F1 to F19, Comma. Example: record 4 Cmd+c Return.

Modifiers alone (Cmd+Opt) join the next key, as in the sheet; a
recording that ends with modifiers alone is refused.
)"},
    {"restore-defaults", R"(Usage: halvorinctl restore-defaults

Every setting back to its default, as the settings window's Restore
Defaults button does: sensitivities 5, scrolling not reversed, buttons
Left Click, Double Click, Right Click, Forward, Back, Secondary Functions,
and the same four first functions on the secondary layer.
)"},
    {"export", R"(Usage: halvorinctl export FILE

Writes the settings into FILE, in the settings file's format.
)"},
    {"import", R"(Usage: halvorinctl import FILE

Takes the settings from FILE, a settings file (as export writes it).
The whole file is checked first; a file that is damaged in any part is
refused, naming the line, and nothing changes.
)"},
    {"monitor", R"(Usage: halvorinctl monitor

Prints, one line each as they happen, the driver's button messages for
the mice the host serves (with the button they name) and the suite's
notifications between the settings window and the agent, until
interrupted (Ctrl+C).
)"},
    {"help", R"(Usage: halvorinctl help [COMMAND | functions]

The help of the client, or of a command; "functions" lists the functions a
button can be given, with their row numbers.
)"},
}};

}  // namespace

CtlCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CtlCommandLine line;
    bool options = true;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            if (argument == "-h" || argument == "--help") {
                line.help = true;
            } else if (argument == "-v" || argument == "--verbose") {
                line.verbose = true;
            } else if (argument == "--version") {
                line.version = true;
            } else if (argument == "--json") {
                line.json = true;
            } else if (argument == "--secondary") {
                line.secondary = true;
            } else {
                UsageError("unknown option '" + argument + "'");
            }
        } else if (line.command.empty()) {
            line.command = argument;
        } else {
            line.words.push_back(argument);
        }
    }
    return line;
}

const char* CommandHelp(const std::string& command) {
    if (command.empty()) {
        return kClientHelp;
    }
    for (const Help& help : kCommandHelp) {
        if (command == help.command) {
            return help.text;
        }
    }
    return nullptr;
}

void ExpectWords(const CtlCommandLine& line, std::size_t least, std::size_t most) {
    if (line.words.size() < least) {
        UsageError(line.command + ": too few arguments (see halvorinctl " + line.command +
                   " --help)");
    }
    if (line.words.size() > most) {
        UsageError(line.command + ": unexpected '" + line.words[most] + "'");
    }
}

void ExpectOptions(const CtlCommandLine& line, bool json, bool secondary) {
    if (line.json && !json) {
        UsageError(line.command + " does not take --json");
    }
    if (line.secondary && !secondary) {
        UsageError(line.command + " does not take --secondary");
    }
}
