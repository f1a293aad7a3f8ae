#include "LinuxAuthorization.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#include "DescriptorFileHandle.h"

extern char** environ;

namespace platform {
namespace {

// Runs as root once the credentials are accepted: says so, then runs the
// NUL-separated command line it reads from its input (nothing if the input ends
// empty). xargs gives the tool /dev/null as its input; the tool only writes.
constexpr char kGate[] = "printf '%s\\n' granted && exec /usr/bin/xargs -0 -r -x /usr/bin/env --";
constexpr char kGranted[] = "granted";

// pkexec's exit statuses when the tool was never run.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

void CloseDescriptor(int& descriptor) {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}

bool SendAll(int descriptor, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t count = send(descriptor, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

// One line from a blocking descriptor, without reading past its end.
std::string ReadLine(int descriptor) {
    std::string line;
    char c;
    for (;;) {
        ssize_t count = read(descriptor, &c, 1);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0 || c == '\n') return line;
        line.push_back(c);
    }
}

}  // namespace

LinuxAuthorizationBackend::LinuxAuthorizationBackend(std::vector<std::string> elevationCommand)
    : fElevationCommand(std::move(elevationCommand)) {}

OSStatus LinuxAuthorizationBackend::Create(AuthorizationFlags, AuthorizationRef* authorization) {
    *authorization = std::make_unique<LinuxAuthorization>(fElevationCommand);
    return errAuthorizationSuccess;
}

LinuxAuthorization::LinuxAuthorization(std::vector<std::string> elevationCommand)
    : fElevationCommand(std::move(elevationCommand)) {}

LinuxAuthorization::~LinuxAuthorization() {
    // An unused gate reads the end of its input and exits without running
    // anything; a running tool is left to finish on its own.
    CloseDescriptors();
    if (fGate > 0) waitpid(fGate, nullptr, WNOHANG);
}

OSStatus LinuxAuthorization::CopyRights(const AuthorizationRights& rights,
                                        AuthorizationFlags flags) {
    bool onlyAdmin = std::all_of(rights.begin(), rights.end(), [](const AuthorizationItem& item) {
        return item.name == kAuthorizationRightExecute;
    });
    if (!onlyAdmin) return errAuthorizationDenied;
    if (rights.empty() || fGranted) return errAuthorizationSuccess;
    if ((flags & kAuthorizationFlagInteractionAllowed) == 0) {
        return errAuthorizationInteractionNotAllowed;
    }
    if (fGate > 0) return errAuthorizationInternal;
    OSStatus status = StartGate();
    if (status != errAuthorizationSuccess) return status;
    return AwaitGrant();
}

OSStatus LinuxAuthorization::StartGate() {
    // [0] is this process's end, [1] the gate's.
    std::array<int, 2> input{-1, -1};
    std::array<int, 2> output{-1, -1};
    std::array<int, 2> error{-1, -1};
    bool made = socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input.data()) == 0 &&
                pipe2(output.data(), O_CLOEXEC) == 0 && pipe2(error.data(), O_CLOEXEC) == 0;
    fInput = input[0];
    fOutput = output[0];
    fError = error[0];
    if (!made) {
        for (int descriptor : {input[1], output[1], error[1]}) {
            if (descriptor >= 0) close(descriptor);
        }
        CloseDescriptors();
        return errAuthorizationInternal;
    }

    std::vector<std::string> words = fElevationCommand;
    words.insert(words.end(), {"/bin/sh", "-c", kGate});
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, error[1], STDERR_FILENO);
    int spawned = posix_spawn(&fGate, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);

    for (int descriptor : {input[1], output[1], error[1]}) close(descriptor);
    if (spawned != 0) {
        fGate = -1;
        CloseDescriptors();
        return errAuthorizationInternal;
    }
    return errAuthorizationSuccess;
}

OSStatus LinuxAuthorization::AwaitGrant() {
    if (ReadLine(fOutput) == kGranted) {
        fGranted = true;
        return errAuthorizationSuccess;
    }
    int wait = 0;
    CloseDescriptor(fInput);
    pid_t ended;
    do {
        ended = waitpid(fGate, &wait, 0);
    } while (ended < 0 && errno == EINTR);
    fGate = -1;
    CloseDescriptors();
    if (ended > 0 && WIFEXITED(wait)) {
        if (WEXITSTATUS(wait) == kPkexecDismissed) return errAuthorizationCanceled;
        if (WEXITSTATUS(wait) == kPkexecNotAuthorised) return errAuthorizationDenied;
    }
    return errAuthorizationInternal;
}

OSStatus LinuxAuthorization::ExecuteWithPrivileges(const std::string& pathToTool,
                                                   AuthorizationFlags,
                                                   const std::vector<std::string>& arguments,
                                                   PrivilegedToolStreams* communicationsPipe) {
    if (!fGranted) return errAuthorizationDenied;
    if (fInput < 0) return errAuthorizationToolExecuteFailure;  // this session ran its tool

    std::string commandLine;
    std::vector<std::string> words{pathToTool};
    words.insert(words.end(), arguments.begin(), arguments.end());
    for (const std::string& word : words) {
        if (word.find('\0') != std::string::npos) return errAuthorizationToolExecuteFailure;
        commandLine.append(word).push_back('\0');
    }
    bool sent = SendAll(fInput, commandLine);
    CloseDescriptor(fInput);
    if (!sent) return errAuthorizationToolExecuteFailure;

    communicationsPipe->output = std::make_unique<DescriptorFileHandle>(std::exchange(fOutput, -1));
    communicationsPipe->error = std::make_unique<DescriptorFileHandle>(std::exchange(fError, -1));
    return errAuthorizationSuccess;
}

void LinuxAuthorization::CloseDescriptors() {
    CloseDescriptor(fInput);
    CloseDescriptor(fOutput);
    CloseDescriptor(fError);
}

}  // namespace platform
