#pragma once

#include <stdexcept>
#include <string>

// Exit statuses: done, an error, a wrong command line.
inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

// What ends a command early: its exit status, and the one line that names
// what was wrong (without the program's name, which main puts before it).
struct CtlError : std::runtime_error {
    CtlError(int exitStatus, const std::string& message)
        : std::runtime_error(message), status(exitStatus) {}
    int status;
};

// A value the settings do not take: nothing is changed.
[[noreturn]] inline void Refuse(const std::string& message) {
    throw CtlError(kExitError, message);
}

// A command line of the wrong shape.
[[noreturn]] inline void UsageError(const std::string& message) {
    throw CtlError(kExitUsage, message);
}
