#pragma once

#include <functional>
#include <memory>

namespace platform {
class BusConnection;
class DriverHostRegistry;
class DistributedNotificationBackend;
class RunLoopBackend;
class SignalBackend;
class RegistryBackend;
}  // namespace platform

// The client's platform, chosen once at its start: the epoll run loop,
// signals through a signalfd, the suite's notifications on the session bus
// (to and from the agent, as the pane has them) and the driver host's
// registry on the system bus. Each bus only when the command needs it; either
// may be out of reach (no session bus over a plain SSH login), and the
// command then says what it could not do.
class CtlBackends {
public:
    struct Needs {
        bool sessionBus = false;
        bool systemBus = false;
    };
    explicit CtlBackends(Needs needs);
    ~CtlBackends();
    CtlBackends(const CtlBackends&) = delete;
    CtlBackends& operator=(const CtlBackends&) = delete;

    bool HasSessionBus() const { return fSessionBus != nullptr; }
    // The driver host's registry; null without the system bus.
    platform::DriverHostRegistry* Registry() const { return fRegistry; }
    // Told when the host goes away and when it serves (again).
    void OnHostChanged(std::function<void(bool serving)> changed) {
        fHostChanged = std::move(changed);
    }

private:
    std::unique_ptr<platform::RunLoopBackend> fPreviousRunLoop;
    std::unique_ptr<platform::SignalBackend> fPreviousSignals;
    std::unique_ptr<platform::BusConnection> fSessionBus;
    std::unique_ptr<platform::BusConnection> fSystemBus;
    std::unique_ptr<platform::DistributedNotificationBackend> fPreviousNotifications;
    std::unique_ptr<platform::RegistryBackend> fPreviousRegistry;
    platform::DriverHostRegistry* fRegistry = nullptr;
    std::function<void(bool)> fHostChanged;
};
