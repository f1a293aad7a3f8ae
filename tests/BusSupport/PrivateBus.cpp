#include "PrivateBus.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(15);

constexpr const char* kHeader =
    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n";

// The default context of Debian 12's /usr/share/dbus-1/system.conf.
constexpr const char* kSystemDefaults = R"(
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Properties"/>
    <deny send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"
          send_member="UpdateActivationEnvironment"/>
    <deny send_destination="org.freedesktop.DBus"
          send_interface="org.freedesktop.DBus.Debug.Stats"/>
    <deny send_destination="org.freedesktop.DBus"
          send_interface="org.freedesktop.systemd1.Activator"/>
  </policy>
  <policy user="root">
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Monitoring"/>
  </policy>
  <policy user="root">
    <allow own="org.freedesktop.PolicyKit1"/>
  </policy>
  <include>/usr/share/dbus-1/system.d/org.freedesktop.login1.conf</include>
  <include>/usr/share/dbus-1/system.d/org.freedesktop.PolicyKit1.conf</include>
  <include>)" HALVORIN_DRIVER_BUS_POLICY R"(</include>
)";

constexpr const char* kAllowAll =
    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
    "<allow eavesdrop=\"true\"/><allow own=\"*\"/><allow user=\"*\"/></policy>";

std::string ConfigText(const std::string& folder, PrivateBus::Policy policy) {
    return std::string(kHeader) + "<busconfig><type>custom</type><listen>unix:path=" + folder +
           "/bus</listen><auth>EXTERNAL</auth>" +
           (policy == PrivateBus::Policy::System ? kSystemDefaults : kAllowAll) + "</busconfig>\n";
}

// In a forked child: ends with the parent, takes the environment additions
// and becomes the program.
[[noreturn]] void BecomeProgram(pid_t parent, const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
    for (const std::string& entry : environment) {
        putenv(const_cast<char*>(entry.c_str()));
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, bool captureOutput,
                           const char* user) {
    int pipeEnds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    // Looked up before the fork: the child may only make system calls.
    const passwd* account = user != nullptr ? getpwnam(user) : nullptr;
    if (user != nullptr && account == nullptr) {
        throw std::runtime_error(std::string("no user ") + user);
    }
    const uid_t uid = account != nullptr ? account->pw_uid : 0;
    const gid_t gid = account != nullptr ? account->pw_gid : 0;
    const pid_t parent = getpid();
    fPid = fork();
    if (fPid == 0) {
        if (captureOutput) {
            dup2(pipeEnds[1], STDOUT_FILENO);
        }
        // Before the parent-death signal is set: a change of user clears it.
        if (user != nullptr &&
            (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            _exit(126);
        }
        BecomeProgram(parent, arguments, environment);
    }
    if (captureOutput) {
        close(pipeEnds[1]);
        fOutput = pipeEnds[0];
    }
}

ChildProcess::~ChildProcess() {
    if (fPid > 0) {
        Stop(SIGTERM);
    }
    if (fOutput >= 0) {
        close(fOutput);
    }
}

bool ChildProcess::IsRunning() {
    return fPid > 0 && waitpid(fPid, nullptr, WNOHANG) == 0;
}

int ChildProcess::Stop(int signalNumber) {
    int status = 0;
    if (fPid > 0) {
        kill(fPid, signalNumber);
        // A child that ignores the signal is killed after a bounded wait.
        for (int i = 0; i < 500 && waitpid(fPid, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (i == 499) {
                kill(fPid, SIGKILL);
                waitpid(fPid, &status, 0);
            }
        }
        fPid = -1;
    }
    return status;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    int status = 0;
    const bool ended =
        WaitUntil([&] { return waitpid(fPid, &status, WNOHANG) == fPid; },
                  [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }, timeout);
    if (!ended) {
        Stop(SIGKILL);
        return -1;
    }
    fPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fBuffered.find('\n') == std::string::npos && fOutput >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd descriptor{fOutput, POLLIN, 0};
        if (left.count() <= 0 || poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        char chunk[512];
        const ssize_t count = read(fOutput, chunk, sizeof chunk);
        if (count <= 0) {
            return {};
        }
        fBuffered.append(chunk, static_cast<std::size_t>(count));
    }
    const std::size_t end = fBuffered.find('\n');
    if (end == std::string::npos) {
        return {};
    }
    std::string line = fBuffered.substr(0, end);
    fBuffered.erase(0, end + 1);
    return line;
}

PrivateBus::PrivateBus(Policy policy) {
    char folder[] = "/tmp/halvorin-bus-XXXXXX";
    // Open to other users, so that they can reach the socket inside.
    if (mkdtemp(folder) == nullptr || chmod(folder, 0755) != 0) {
        throw std::runtime_error("mkdtemp");
    }
    fFolder = folder;
    std::ofstream(fFolder + "/bus.conf") << ConfigText(fFolder, policy);
    fDaemon = std::make_unique<ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--nofork", "--nopidfile",
                                 "--config-file=" + fFolder + "/bus.conf", "--print-address=1"},
        std::vector<std::string>{}, true);
    fAddress = fDaemon->ReadLine(kStartTimeout);
    if (fAddress.empty()) {
        throw std::runtime_error("dbus-daemon did not start");
    }
}

PrivateBus::~PrivateBus() {
    fTemplates.clear();
    fDaemon.reset();
    std::error_code ignored;
    std::filesystem::remove_all(fFolder, ignored);
}

ChildProcess* PrivateBus::StartTemplate(const std::string& templateName,
                                        const std::string& busName) {
    // Their log of calls goes to the bus's folder, out of the test output.
    fTemplates.push_back(
        StartOnBus({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", templateName,
                    "--logfile", fFolder + "/" + templateName + ".log"},
                   false));
    return WaitForName(busName) ? fTemplates.back().get() : nullptr;
}

sd_bus* PrivateBus::Connect() const {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) {
        return nullptr;
    }
    sd_bus_set_address(bus, fAddress.c_str());
    sd_bus_set_bus_client(bus, 1);
    if (sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

std::unique_ptr<ChildProcess> PrivateBus::StartOnBus(const std::vector<std::string>& arguments,
                                                     bool captureOutput,
                                                     std::vector<std::string> environment) {
    environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + fAddress);
    return std::make_unique<ChildProcess>(arguments, environment, captureOutput);
}

std::unique_ptr<ChildProcess> PrivateBus::StartFakeDriverHost() {
    auto host = StartOnBus({"/usr/bin/python3", HALVORIN_FAKE_DRIVER_HOST});
    if (host->ReadLine(kStartTimeout) != "ready" || !WaitForName("org.halvorin.Driver1")) {
        return nullptr;
    }
    return host;
}

bool PrivateBus::WaitForName(const std::string& busName, bool owned) {
    sd_bus* bus = Connect();
    if (bus == nullptr) {
        return false;
    }
    const bool found = WaitUntil(
        [&] {
            sd_bus_message* reply = nullptr;
            int has = 0;
            if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                   busName.c_str()) >= 0) {
                sd_bus_message_read(reply, "b", &has);
                sd_bus_message_unref(reply);
            }
            return (has != 0) == owned;
        },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }, kStartTimeout);
    sd_bus_flush_close_unref(bus);
    return found;
}

int PrivateBus::RunAsNobody(const std::vector<std::string>& arguments) {
    return StartAsNobody(arguments)->Wait();
}

int PrivateBus::Emit(const std::string& destination, const std::vector<std::string>& signal,
                     bool asNobody) {
    std::vector<std::string> command = {"busctl", "--system", "--destination=" + destination,
                                        "emit"};
    command.insert(command.end(), signal.begin(), signal.end());
    return asNobody ? RunAsNobody(command) : StartOnBus(command, false)->Wait();
}

std::unique_ptr<ChildProcess> PrivateBus::StartAsNobody(const std::vector<std::string>& arguments,
                                                        bool captureOutput) {
    return std::make_unique<ChildProcess>(
        arguments, std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + fAddress}, captureOutput,
        "nobody");
}

CallMonitor::CallMonitor(const PrivateBus& bus, const std::string& destination)
    : fBus(bus.Connect()) {
    const std::string rule = "type='method_call',destination='" + destination + "'";
    if (fBus == nullptr || sd_bus_call_method(fBus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus.Monitoring", "BecomeMonitor",
                                              nullptr, nullptr, "asu", 1, rule.c_str(), 0U) < 0) {
        throw std::runtime_error("cannot monitor the bus");
    }
}

CallMonitor::~CallMonitor() {
    sd_bus_close_unref(fBus);
}

std::vector<std::string> CallMonitor::Take() {
    std::vector<std::string> members;
    sd_bus_message* m = nullptr;
    while (sd_bus_process(fBus, &m) > 0) {
        if (m != nullptr && sd_bus_message_is_method_call(m, nullptr, nullptr) > 0) {
            members.emplace_back(sd_bus_message_get_member(m));
        }
        m = sd_bus_message_unref(m);
    }
    return members;
}

bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        step();
    }
    return true;
}

ProgramRun RunProgram(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment,
                      const std::function<void()>& meanwhile, std::chrono::milliseconds timeout) {
    int output[2] = {-1, -1};
    int errors[2] = {-1, -1};
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(errors[1], STDERR_FILENO);
        BecomeProgram(parent, arguments, environment);
    }
    close(output[1]);
    close(errors[1]);
    ProgramRun run;
    std::string* texts[] = {&run.output, &run.errors};
    pollfd streams[] = {{output[0], POLLIN, 0}, {errors[0], POLLIN, 0}};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int wait = 0;
    bool exited = false;
    while (!exited || streams[0].fd >= 0 || streams[1].fd >= 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
        }
        poll(streams, 2, 5);
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd >= 0 && (streams[i].revents & (POLLIN | POLLHUP)) != 0) {
                char chunk[4096];
                const ssize_t count = read(streams[i].fd, chunk, sizeof chunk);
                if (count > 0) {
                    texts[i]->append(chunk, static_cast<std::size_t>(count));
                } else {
                    close(streams[i].fd);
                    streams[i].fd = -1;
                }
            }
        }
        if (meanwhile) {
            meanwhile();
        }
        exited = exited || waitpid(pid, &wait, WNOHANG) == pid;
    }
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return run;
}
