#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

// A file-system failure of the settings file: the error named
// "PrefController" with a reason text, raised to the caller of the settings
// file's construction or of FlushXml. what() is the reason text; cause() is
// the system's account of what failed, for logs.
class PrefControllerError : public std::runtime_error {
public:
    PrefControllerError(const std::string& reason, std::error_code cause)
        : std::runtime_error(reason), fCause(cause) {}

    static constexpr const char* kName = "PrefController";

    std::string name() const { return kName; }
    std::string reason() const { return what(); }
    std::error_code cause() const { return fCause; }

private:
    std::error_code fCause;
};

inline constexpr const char* kCouldNotLocateConfigFileReason = "Could not locate config file";
inline constexpr const char* kErrorSavingPreferencesReason = "Error saving preferences";
