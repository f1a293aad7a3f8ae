#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileHandle.h"

namespace platform {

// Obtaining administrator rights and running a tool with them.

using OSStatus = std::int32_t;

inline constexpr OSStatus errAuthorizationSuccess = 0;
inline constexpr OSStatus errAuthorizationInvalidRef = -60002;
inline constexpr OSStatus errAuthorizationDenied = -60005;
inline constexpr OSStatus errAuthorizationCanceled = -60006;
inline constexpr OSStatus errAuthorizationInteractionNotAllowed = -60007;
inline constexpr OSStatus errAuthorizationInternal = -60008;
inline constexpr OSStatus errAuthorizationToolExecuteFailure = -60031;

using AuthorizationFlags = std::uint32_t;

inline constexpr AuthorizationFlags kAuthorizationFlagDefaults = 0;
inline constexpr AuthorizationFlags kAuthorizationFlagInteractionAllowed = 1U << 0;
inline constexpr AuthorizationFlags kAuthorizationFlagExtendRights = 1U << 1;
inline constexpr AuthorizationFlags kAuthorizationFlagPreAuthorize = 1U << 4;

// The right to run tools as the administrator.
inline constexpr char kAuthorizationRightExecute[] = "system.privilege.admin";

struct AuthorizationItem {
    std::string name;
    std::uint32_t flags = 0;
};
using AuthorizationRights = std::vector<AuthorizationItem>;

// What a privileged tool writes: its output and, where the backend keeps them
// apart, its error stream (null when the backend yields one stream).
struct PrivilegedToolStreams {
    std::unique_ptr<FileHandle> output;
    std::unique_ptr<FileHandle> error;
};

// One authorisation session, made by the installed backend.
class Authorization {
public:
    virtual ~Authorization() = default;
    virtual OSStatus CopyRights(const AuthorizationRights& rights, AuthorizationFlags flags) = 0;
    virtual OSStatus ExecuteWithPrivileges(const std::string& pathToTool,
                                           AuthorizationFlags options,
                                           const std::vector<std::string>& arguments,
                                           PrivilegedToolStreams* communicationsPipe) = 0;
};

using AuthorizationRef = std::unique_ptr<Authorization>;

class AuthorizationBackend {
public:
    virtual ~AuthorizationBackend() = default;
    virtual OSStatus Create(AuthorizationFlags flags, AuthorizationRef* authorization) = 0;
};

// Starts a session that holds no rights yet.
OSStatus AuthorizationCreate(AuthorizationFlags flags, AuthorizationRef* authorization);
// Acquires rights; with interaction allowed the user may be asked for an
// administrator's credentials (a dismissed prompt gives errAuthorizationCanceled).
OSStatus AuthorizationCopyRights(Authorization* authorization, const AuthorizationRights& rights,
                                 AuthorizationFlags flags);
// Runs the tool with the acquired rights and hands back its output stream.
OSStatus AuthorizationExecuteWithPrivileges(Authorization* authorization,
                                            const std::string& pathToTool,
                                            AuthorizationFlags options,
                                            const std::vector<std::string>& arguments,
                                            PrivilegedToolStreams* communicationsPipe);

// Replaces the backend; returns the previous one. The default is the Linux one.
std::unique_ptr<AuthorizationBackend> InstallAuthorizationBackend(
    std::unique_ptr<AuthorizationBackend> backend);

}  // namespace platform
