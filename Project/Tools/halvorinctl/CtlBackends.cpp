#include "CtlBackends.h"

#include "BusConnection.h"
#include "DistributedNotifications.h"
#include "DriverHostRegistry.h"
#include "EpollRunLoopBackend.h"
#include "LinuxSignals.h"
#include "RunLoop.h"
#include "SessionBusNotifications.h"
#include "Signals.h"

namespace {

// A bus served by the run loop, or none.
std::unique_ptr<platform::BusConnection> OpenBus(platform::BusConnection::Bus bus) {
    std::unique_ptr<platform::BusConnection> connection = platform::BusConnection::Open(bus);
    if (connection && !connection->Attach(platform::CFRunLoopGetCurrent())) {
        connection.reset();
    }
    return connection;
}

}  // namespace

CtlBackends::CtlBackends(Needs needs) {
    fPreviousRunLoop =
        platform::InstallRunLoopBackend(std::make_unique<platform::EpollRunLoopBackend>());
    fPreviousSignals = platform::InstallSignalBackend(std::make_unique<platform::LinuxSignals>());
    if (needs.sessionBus) {
        fSessionBus = OpenBus(platform::BusConnection::Bus::Session);
    }
    if (fSessionBus) {
        fPreviousNotifications = platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::SessionBusNotifications>(*fSessionBus));
    }
    if (needs.systemBus) {
        fSystemBus = OpenBus(platform::BusConnection::Bus::System);
    }
    if (fSystemBus) {
        auto registry =
            std::make_unique<platform::DriverHostRegistry>(*fSystemBus, [this](bool serving) {
                if (fHostChanged) fHostChanged(serving);
            });
        fRegistry = registry.get();
        fPreviousRegistry = platform::InstallRegistryBackend(std::move(registry));
    }
}

CtlBackends::~CtlBackends() {
    // Users of the buses go before the buses (which send what is queued as
    // they close), the signal watch before the run loop it is served by.
    if (fRegistry != nullptr) {
        platform::InstallRegistryBackend(std::move(fPreviousRegistry));
    }
    if (fSessionBus) {
        platform::InstallDistributedNotificationBackend(std::move(fPreviousNotifications));
    }
    fSystemBus.reset();
    fSessionBus.reset();
    platform::InstallSignalBackend(std::move(fPreviousSignals));
    platform::InstallRunLoopBackend(std::move(fPreviousRunLoop));
}
