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
    // into a pipe read by ReadLine.
    ChildProcess(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {}, bool captureOutput = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return fPid; }
    bool IsRunning();
    // Sends the signal and reaps the process; its wait status.
    int Stop(int signalNumber);
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
    // `policyFile`, when given, is included in the daemon's configuration
    // after its allow-all policy, as the system bus includes it.
    explicit PrivateBus(const std::string& policyFile = {});
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

private:
    std::string fFolder;
    std::string fAddress;
    std::unique_ptr<ChildProcess> fDaemon;
    std::vector<std::unique_ptr<ChildProcess>> fTemplates;
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
