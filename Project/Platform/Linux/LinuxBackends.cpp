#include "LinuxBackends.h"

#include "BusConnection.h"
#include "DistributedNotifications.h"
#include "DriverHostHIDSystem.h"
#include "DriverHostRegistry.h"
#include "EpollRunLoopBackend.h"
#include "HIDManager.h"
#include "HIDSystem.h"
#include "LinuxHIDDevices.h"
#include "LinuxKeyEventFilter.h"
#include "LinuxPower.h"
#include "LinuxSession.h"
#include "LinuxSignals.h"
#include "Power.h"
#include "RunningDesktop.h"
#include "Session.h"
#include "SessionBusNotifications.h"
#include "Signals.h"

namespace platform {
namespace {

// The program is about to end: the posts still paced out go first, so that
// no key is left down on the host's virtual keyboard.
class FlushingSignals final : public SignalBackend {
public:
    FlushingSignals(std::unique_ptr<SignalBackend> signals, DriverHostHIDSystem& hidSystem)
        : fSignals(std::move(signals)), fHIDSystem(hidSystem) {}
    bool Watch(int signalNumber, SignalHandlerFunction arrived) override {
        return fSignals->Watch(signalNumber, arrived);
    }
    void Exit(int status) override {
        fHIDSystem.Flush();
        fSignals->Exit(status);
    }

private:
    std::unique_ptr<SignalBackend> fSignals;
    DriverHostHIDSystem& fHIDSystem;
};

}  // namespace

struct LinuxBackends::Previous {
    std::unique_ptr<RunLoopBackend> runLoop;
    std::unique_ptr<SignalBackend> signals;
    std::unique_ptr<HIDDeviceBackend> devices;
    std::unique_ptr<RegistryBackend> registry;
    std::unique_ptr<HIDSystemBackend> hidSystem;
    std::unique_ptr<PowerBackend> power;
    std::unique_ptr<DistributedNotificationBackend> notifications;
    std::unique_ptr<KeyEventFilterBackend> keyEventFilter;
    std::unique_ptr<DesktopSource> desktop;
};

LinuxBackends::LinuxBackends() : fPrevious(std::make_unique<Previous>()) {
    auto runLoop = std::make_unique<EpollRunLoopBackend>();
    const bool loopUsable = runLoop->IsUsable();
    fPrevious->runLoop = InstallRunLoopBackend(std::move(runLoop));
    ResetSharedWorkspaceNotificationCenter();
    fPrevious->desktop = InstallDesktopSource(std::make_unique<LinuxDesktopSource>());
    fPrevious->keyEventFilter =
        InstallKeyEventFilterBackend(std::make_unique<LinuxKeyEventFilter>());

    CFRunLoopRef loop = CFRunLoopGetCurrent();
    fSystemBus = BusConnection::Open(BusConnection::Bus::System);
    fSessionBus = BusConnection::Open(BusConnection::Bus::Session);
    if (!loopUsable || !fSystemBus || !fSessionBus || !fSystemBus->Attach(loop) ||
        !fSessionBus->Attach(loop)) {
        return;
    }

    auto devices = std::make_unique<LinuxHIDDevices>();
    fDevices = devices.get();
    fDevices->Attach(loop);
    fPrevious->devices = InstallHIDDeviceBackend(std::move(devices));
    // The host going away looks to the agent as its mice leaving, and its
    // serving again as their coming back, which makes the agent find the
    // host's new driver instances.
    auto registry = std::make_unique<DriverHostRegistry>(
        *fSystemBus, [this](bool serving) { serving ? fDevices->Restore() : fDevices->Withdraw(); },
        DriverHostRegistry::Narration::Logged);
    if (!registry->IsServing()) {
        fDevices->Withdraw();
    }
    fPrevious->registry = InstallRegistryBackend(std::move(registry));
    auto hidSystem = std::make_unique<DriverHostHIDSystem>(*fSystemBus);
    DriverHostHIDSystem& hid = *hidSystem;
    fPrevious->hidSystem = InstallHIDSystemBackend(std::move(hidSystem));
    fPrevious->signals = InstallSignalBackend(
        std::make_unique<FlushingSignals>(std::make_unique<LinuxSignals>(), hid));
    fPrevious->power = InstallPowerBackend(std::make_unique<LinuxPower>(*fSystemBus));
    fSession = std::make_unique<LinuxSession>(*fSystemBus);
    fPrevious->notifications = InstallDistributedNotificationBackend(
        std::make_unique<SessionBusNotifications>(*fSessionBus));
    fReady = true;
}

LinuxBackends::~LinuxBackends() {
    if (fReady) {
        // Users of the buses go before the buses, the signal watch before
        // the run loop it is served by.
        InstallDistributedNotificationBackend(std::move(fPrevious->notifications));
        fSession.reset();
        InstallPowerBackend(std::move(fPrevious->power));
        InstallSignalBackend(std::move(fPrevious->signals));
        InstallHIDSystemBackend(std::move(fPrevious->hidSystem));
        InstallRegistryBackend(std::move(fPrevious->registry));
        InstallHIDDeviceBackend(std::move(fPrevious->devices));
    }
    fSessionBus.reset();
    fSystemBus.reset();
    InstallKeyEventFilterBackend(std::move(fPrevious->keyEventFilter));
    InstallDesktopSource(std::move(fPrevious->desktop));
    ResetSharedWorkspaceNotificationCenter();
    InstallRunLoopBackend(std::move(fPrevious->runLoop));
}

}  // namespace platform
