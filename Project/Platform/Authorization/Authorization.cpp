#include "Authorization.h"

#include <utility>

#include "LinuxAuthorization.h"

namespace platform {
namespace {

std::unique_ptr<AuthorizationBackend>& Current() {
    static std::unique_ptr<AuthorizationBackend> backend =
        std::make_unique<LinuxAuthorizationBackend>();
    return backend;
}

}  // namespace

OSStatus AuthorizationCreate(AuthorizationFlags flags, AuthorizationRef* authorization) {
    if (authorization == nullptr) return errAuthorizationInvalidRef;
    return Current()->Create(flags, authorization);
}

OSStatus AuthorizationCopyRights(Authorization* authorization, const AuthorizationRights& rights,
                                 AuthorizationFlags flags) {
    if (authorization == nullptr) return errAuthorizationInvalidRef;
    return authorization->CopyRights(rights, flags);
}

OSStatus AuthorizationExecuteWithPrivileges(Authorization* authorization,
                                            const std::string& pathToTool,
                                            AuthorizationFlags options,
                                            const std::vector<std::string>& arguments,
                                            PrivilegedToolStreams* communicationsPipe) {
    if (authorization == nullptr || communicationsPipe == nullptr) {
        return errAuthorizationInvalidRef;
    }
    return authorization->ExecuteWithPrivileges(pathToTool, options, arguments, communicationsPipe);
}

std::unique_ptr<AuthorizationBackend> InstallAuthorizationBackend(
    std::unique_ptr<AuthorizationBackend> backend) {
    return std::exchange(Current(), std::move(backend));
}

}  // namespace platform
