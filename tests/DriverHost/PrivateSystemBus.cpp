#include "PrivateSystemBus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace bustest {

namespace {

constexpr auto kStartupLimit = std::chrono::seconds(20);

}  // namespace

PrivateSystemBus::PrivateSystemBus(const std::string& policyFile) {
    char pattern[] = "/tmp/driverhost-bus-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return;
    }
    fDirectory = pattern;
    const std::string config = fDirectory + "/bus.conf";
    const std::string socket = fDirectory + "/bus";
    std::ofstream(config)
        << R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=)"
        << socket << R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
  <include>)"
        << policyFile << R"(</include>
</busconfig>
)";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    if (Spawn({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config}) <= 0) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartupLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (sd_bus* bus = Connect()) {
            sd_bus_flush_close_unref(bus);
            fUp = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

PrivateSystemBus::~PrivateSystemBus() {
    // Mocks first, the bus last.
    for (auto it = fChildren.rbegin(); it != fChildren.rend(); ++it) {
        kill(*it, SIGTERM);
        waitpid(*it, nullptr, 0);
    }
    if (!fDirectory.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(fDirectory, ignored);
    }
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

pid_t PrivateSystemBus::Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // Their chatter goes to a log in the folder, kept out of the test output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = fDirectory + "/daemons.log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    const int status = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) {
        return -1;
    }
    fChildren.push_back(child);
    return child;
}

sd_bus* PrivateSystemBus::Connect() {
    sd_bus* bus = nullptr;
    return sd_bus_open_system(&bus) < 0 ? nullptr : bus;
}

bool PrivateSystemBus::WaitForName(sd_bus* bus, const std::string& name, bool present) {
    const auto deadline = std::chrono::steady_clock::now() + kStartupLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        sd_bus_message* reply = nullptr;
        int has = 0;
        if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                               name.c_str()) >= 0) {
            sd_bus_message_read(reply, "b", &has);
        }
        sd_bus_message_unref(reply);
        if ((has != 0) == present) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

pid_t PrivateSystemBus::StartMock(const std::string& templateName, const std::string& busName) {
    const pid_t mock =
        Spawn({"/usr/bin/python3", "-m", "dbusmock", "--template", templateName, "--system"});
    sd_bus* bus = Connect();
    const bool up = mock > 0 && bus != nullptr && WaitForName(bus, busName, true);
    sd_bus_flush_close_unref(bus);
    return up ? mock : -1;
}

void PrivateSystemBus::StopMock(pid_t mock) {
    kill(mock, SIGTERM);
    waitpid(mock, nullptr, 0);
    std::erase(fChildren, mock);
}

}  // namespace bustest
