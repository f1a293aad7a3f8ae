#pragma once

#include <memory>

namespace platform {

class BusConnection;
class DriverHostHIDSystem;
class DriverHostRegistry;
class LinuxHIDDevices;
class LinuxSession;

// A user-side program on a real desktop: installs the Linux backend of every
// facility (restoring the previous ones when destroyed), as the simulated
// machine installs the simulation's. The run loop waits in epoll; signals
// come through a signalfd; the driver host is reached on the system bus,
// logind too; the other processes of the user's session on the session bus;
// mice are found with udev. Only one may exist at a time.
class LinuxBackends {
public:
    LinuxBackends();
    ~LinuxBackends();
    LinuxBackends(const LinuxBackends&) = delete;
    LinuxBackends& operator=(const LinuxBackends&) = delete;

    // False when the run loop or a bus could not be set up; the program
    // cannot work then. The driver host need not be there yet.
    bool IsReady() const { return fReady; }

private:
    struct Previous;
    std::unique_ptr<Previous> fPrevious;
    std::unique_ptr<BusConnection> fSystemBus;
    std::unique_ptr<BusConnection> fSessionBus;
    std::unique_ptr<LinuxSession> fSession;
    LinuxHIDDevices* fDevices = nullptr;
    bool fReady = false;
};

}  // namespace platform
