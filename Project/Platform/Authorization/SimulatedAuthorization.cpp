#include "SimulatedAuthorization.h"

#include <cstdio>

namespace platform {
namespace {

std::string FlagsText(const char* label, AuthorizationFlags flags) {
    char text[32];
    std::snprintf(text, sizeof text, " %s=0x%x", label, flags);
    return text;
}

class SimulatedAuthorization final : public Authorization {
public:
    explicit SimulatedAuthorization(SimulatedAuthorizationBackend& backend) : fBackend(backend) {}

    OSStatus CopyRights(const AuthorizationRights& rights, AuthorizationFlags flags) override {
        std::string line = "AuthorizationCopyRights";
        for (const AuthorizationItem& item : rights) line += " " + item.name;
        fBackend.fCalls.push_back(line + FlagsText("flags", flags));
        return fBackend.fScript.copyRights;
    }

    OSStatus ExecuteWithPrivileges(const std::string& pathToTool, AuthorizationFlags options,
                                   const std::vector<std::string>& arguments,
                                   PrivilegedToolStreams* communicationsPipe) override {
        std::string line = "AuthorizationExecuteWithPrivileges " + pathToTool;
        for (const std::string& word : arguments) line += " " + word;
        fBackend.fCalls.push_back(line + FlagsText("options", options));
        if (fBackend.fScript.execute != errAuthorizationSuccess) return fBackend.fScript.execute;

        auto output = std::make_unique<SimulatedFileHandle>();
        fBackend.fLastOutput = output.get();
        communicationsPipe->output = std::move(output);
        if (fBackend.fScript.separateErrorStream) {
            auto error = std::make_unique<SimulatedFileHandle>();
            fBackend.fLastError = error.get();
            communicationsPipe->error = std::move(error);
        }
        return errAuthorizationSuccess;
    }

private:
    SimulatedAuthorizationBackend& fBackend;
};

}  // namespace

OSStatus SimulatedAuthorizationBackend::Create(AuthorizationFlags flags,
                                               AuthorizationRef* authorization) {
    fCalls.push_back("AuthorizationCreate" + FlagsText("flags", flags));
    if (fScript.create != errAuthorizationSuccess) return fScript.create;
    *authorization = std::make_unique<SimulatedAuthorization>(*this);
    return errAuthorizationSuccess;
}

}  // namespace platform
