#include "PanePlatform.h"

#include <QApplication>
#include <QTimer>

#include "BusConnection.h"
#include "DistributedNotifications.h"
#include "LinuxUserDefaults.h"
#include "QtRunLoopBackend.h"
#include "QtUserAttention.h"
#include "RunLoop.h"
#include "SessionBusNotifications.h"
#include "UserDefaults.h"

namespace {
constexpr const char* kHostDomain = "com.halvorin.Preferences";
}  // namespace

void InstallPaneDistributedNotifications() {
    // The agent's channel, the session bus, served by the run loop's Qt
    // backend; without a session bus the pane talks to itself only.
    static std::unique_ptr<platform::BusConnection> sessionBus =
        platform::BusConnection::Open(platform::BusConnection::Bus::Session);
    if (sessionBus && sessionBus->Attach(platform::CFRunLoopGetCurrent())) {
        platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::SessionBusNotifications>(*sessionBus));
        return;
    }
    platform::InstallDistributedNotificationBackend(
        std::make_unique<platform::LoopbackDistributedNotifications>());
}

void StartPanePlatform() {
    platform::InstallRunLoopBackend(std::make_unique<platform::QtRunLoopBackend>());
    platform::InstallUserDefaultsBackend(std::make_unique<platform::LinuxUserDefaults>());
    platform::NSUserDefaults::standardUserDefaults().SetApplicationDomain(kHostDomain);
    platform::InstallUserAttentionBackend(std::make_unique<platform::QtUserAttention>());
    InstallPaneDistributedNotifications();

    // The host runs Qt's loop; the run loop runs inside it (serving Qt's
    // events while it waits) until the last window closes.
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, qApp,
                     [] { platform::CFRunLoopStop(platform::CFRunLoopGetMain()); });
    QTimer::singleShot(0, qApp, [] {
        platform::CFRunLoopRun();
        QCoreApplication::quit();
    });
}
