#pragma once

#include <string>
#include <vector>

#include "Authorization.h"
#include "SimulatedFileHandle.h"

namespace platform {

// Simulation: answers each call with a status the test chooses, records every
// call in order, and hands the tool's output out as a SimulatedFileHandle the
// test feeds. No prompt is shown and nothing is run.
class SimulatedAuthorizationBackend final : public AuthorizationBackend {
public:
    struct Script {
        OSStatus create = errAuthorizationSuccess;
        OSStatus copyRights = errAuthorizationSuccess;
        OSStatus execute = errAuthorizationSuccess;
        bool separateErrorStream = false;
    };

    OSStatus Create(AuthorizationFlags flags, AuthorizationRef* authorization) override;

    Script fScript;
    // One line per call, e.g. "AuthorizationCopyRights system.privilege.admin flags=0x13".
    std::vector<std::string> fCalls;
    // The streams of the last tool run; owned by whoever received them.
    SimulatedFileHandle* fLastOutput = nullptr;
    SimulatedFileHandle* fLastError = nullptr;
};

}  // namespace platform
