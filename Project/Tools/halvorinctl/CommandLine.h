#pragma once

#include <string>
#include <vector>

// A command line taken apart: the command, its words, and the options, which
// may stand anywhere after the program's name ("--" ends them, and a lone
// "-" is a word: the minus key).
struct CtlCommandLine {
    std::string command;  // empty when none is given
    std::vector<std::string> words;
    bool help = false;
    bool version = false;
    bool verbose = false;
    bool json = false;
    bool secondary = false;
};

// Raises a usage error for an option the client does not know.
CtlCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The help of one command, or of the client as a whole for an empty name;
// none for a command the client does not have.
const char* CommandHelp(const std::string& command);

// Raises a usage error unless the command has from `least` to `most` words,
// or takes the options given.
void ExpectWords(const CtlCommandLine& line, std::size_t least, std::size_t most);
void ExpectOptions(const CtlCommandLine& line, bool json, bool secondary);
