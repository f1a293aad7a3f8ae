#include "PanePlatform.h"

#include <QApplication>
#include <QTimer>

#include "DistributedNotifications.h"
#include "LinuxUserDefaults.h"
#include "QtRunLoopBackend.h"
#include "QtUserAttention.h"
#include "RunLoop.h"
#include "UserDefaults.h"

namespace {
constexpr const char* kHostDomain = "com.halvorin.Preferences";
}  // namespace

void InstallPaneDistributedNotifications() {
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
