#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct sd_bus;

// A child process that ends with its owner (and with the test program).
class ChildProcess {
public:
    // Starts `arguments` with these environment additions; stdout optionally
    // into a pipe read by ReadLine; as another user when given (the test runs
    // as root: attackers are real unprivileged users).
    ChildProcess(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {}, bool captureOutput = false,
                 const char* user = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return fPid; }
    bool IsRunning();
    // Sends the signal and reaps the process; its wait status.
    int Stop(int signalNumber);
    // Waits (bounded) for the process to end by itself; its exit status, or
    // -1 when it had to be killed.
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // One line of the captured output; empty at its end or after the timeout.
    std::string ReadLine(std::chrono::milliseconds timeout);

private:
    pid_t fPid = -1;
    int fOutput = -1;
    std::string fBuffered;
};

// A private dbus-daemon in a temporary folder: it stands in for the system
// or the session bus of the processes that are given its address.
class PrivateBus {
public:
    enum class Policy {
        // Everything allowed, as on a user's session bus.
        AllowAll,
        // As Debian 12's system bus: method calls and name ownership denied
        // by default, signals from anyone to anyone allowed; with the
        // project's installed bus policy, logind's and polkit's own policy
        // files, and one allowance for the stand-ins: root owns polkit's name
        // (the real polkitd runs as its own user).
        System,
    };
    explicit PrivateBus(Policy policy = Policy::AllowAll);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& Address() const { return fAddress; }
    // Starts python3-dbusmock's template on this bus (as the system bus) and
    // waits until `busName` is owned; null after a bounded wait. The bus
    // keeps it; stopping it early is the caller's choice.
    ChildProcess* StartTemplate(const std::string& templateName, const std::string& busName);
    // A new client connection to this bus; the caller closes it (null on failure).
    sd_bus* Connect() const;
    // Starts a program with this bus as its system bus.
    std::unique_ptr<ChildProcess> StartOnBus(const std::vector<std::string>& arguments,
                                             bool captureOutput = true,
                                             std::vector<std::string> environment = {});
    // The stand-in driver host; waits until its name is owned (none after a
    // bounded wait). Its output lines report each call made on it.
    std::unique_ptr<ChildProcess> StartFakeDriverHost();
    // Waits (bounded) until the name is owned, or no longer owned.
    bool WaitForName(const std::string& busName, bool owned = true);
    // Runs a program as the unprivileged user "nobody" with this bus as its
    // system bus, to its end; its exit status.
    int RunAsNobody(const std::vector<std::string>& arguments);
    // Sends a signal straight to `destination` (a unique name) with busctl:
    // `signal` is busctl emit's arguments (path, interface, member, then
    // signature and values). As nobody, or as another of root's processes.
    // busctl's exit status.
    int Emit(const std::string& destination, const std::vector<std::string>& signal,
             bool asNobody = true);
    // The same, left running, its output optionally captured.
    std::unique_ptr<ChildProcess> StartAsNobody(const std::vector<std::string>& arguments,
                                                bool captureOutput = false);

private:
    std::string fFolder;
    std::string fAddress;
    std::unique_ptr<ChildProcess> fDaemon;
    std::vector<std::unique_ptr<ChildProcess>> fTemplates;
};

// Watches the method calls made to a destination on a private bus, in order
// (as the bus's monitor: root only).
class CallMonitor {
public:
    CallMonitor(const PrivateBus& bus, const std::string& destination);
    ~CallMonitor();
    CallMonitor(const CallMonitor&) = delete;
    CallMonitor& operator=(const CallMonitor&) = delete;

    // The members of the calls seen since the last time, each once per call.
    std::vector<std::string> Take();

private:
    sd_bus* fBus = nullptr;
};

// What a program left that ran to its end: its exit status (-1 when it was
// killed or ran out of time), standard output and standard error.
struct ProgramRun {
    int status = -1;
    std::string output;
    std::string errors;
};

// Runs a program to its end with these environment additions, handing time to
// `meanwhile` while it runs; killed after `timeout`.
ProgramRun RunProgram(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment,
                      const std::function<void()>& meanwhile,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Polls `done` (bounded), handing time to `step` between polls.
bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
