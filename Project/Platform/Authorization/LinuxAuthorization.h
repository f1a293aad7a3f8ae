#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "Authorization.h"

namespace platform {

// Linux: administrator rights through pkexec. Acquiring the right starts
// `pkexec /bin/sh -c <gate>`: the polkit agent asks for credentials, and once
// they are accepted the root shell reports so on its output and waits for the
// command line of the tool on its input. Running the tool sends that command
// line, so one prompt covers both calls and nothing runs if the user dismisses
// the prompt (pkexec exit 126) or is refused (127).
class LinuxAuthorizationBackend final : public AuthorizationBackend {
public:
    // elevationCommand runs its arguments as root; tests substitute a stand-in.
    explicit LinuxAuthorizationBackend(std::vector<std::string> elevationCommand = {
                                           "/usr/bin/pkexec"});

    OSStatus Create(AuthorizationFlags flags, AuthorizationRef* authorization) override;

private:
    std::vector<std::string> fElevationCommand;
};

class LinuxAuthorization final : public Authorization {
public:
    explicit LinuxAuthorization(std::vector<std::string> elevationCommand);
    ~LinuxAuthorization() override;
    LinuxAuthorization(const LinuxAuthorization&) = delete;
    LinuxAuthorization& operator=(const LinuxAuthorization&) = delete;

    // Blocks until the user has answered the prompt, as the window-modal
    // credentials dialog of a desktop does.
    OSStatus CopyRights(const AuthorizationRights& rights, AuthorizationFlags flags) override;
    // The tool's standard output and standard error come back as two streams.
    OSStatus ExecuteWithPrivileges(const std::string& pathToTool, AuthorizationFlags options,
                                   const std::vector<std::string>& arguments,
                                   PrivilegedToolStreams* communicationsPipe) override;

private:
    OSStatus StartGate();
    OSStatus AwaitGrant();
    void CloseDescriptors();

    std::vector<std::string> fElevationCommand;
    pid_t fGate = -1;
    int fInput = -1;
    int fOutput = -1;
    int fError = -1;
    bool fGranted = false;
};

}  // namespace platform
