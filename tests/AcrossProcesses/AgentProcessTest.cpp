#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "AgentConstants.h"
#include "BusConnection.h"
#include "DeviceSettings.h"
#include "PrivateBus.h"
#include "RunLoop.h"
#include "SessionBusNotifications.h"
#include "TemporaryHome.h"

namespace {

using platform::BusConnection;
using platform::BusMessage;
using namespace std::chrono_literals;

constexpr const char* kLogindPath = "/org/freedesktop/login1";

std::vector<std::string> gPaneSaw;

void PaneObserver(platform::CFNotificationCenterRef, void*, const char* name, const char*,
                  const platform::PropertyList*) {
    gPaneSaw.emplace_back(name);
}

// The agent as its own process with its Linux backends: a private system bus
// with logind (dbusmock) and the stand-in driver host, a private session bus
// with the pane's notification side (this test), and udev on a umockdev test
// bed with one 401 mouse plugged.
class AgentProcessTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fSystem.StartTemplate("logind", "org.freedesktop.login1"));
        fHost = fSystem.StartFakeDriverHost();
        ASSERT_TRUE(fHost);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", fSystem.Address().c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", fSession.Address().c_str(), 1);
        fControl = BusConnection::Open(BusConnection::Bus::System);
        fPaneBus = BusConnection::Open(BusConnection::Bus::Session);
        ASSERT_TRUE(fControl && fPaneBus);
        fPrevious = platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::SessionBusNotifications>(*fPaneBus));
        platform::CFNotificationCenterAddObserver(
            platform::CFNotificationCenterGetDistributedCenter(), this, PaneObserver, nullptr,
            nullptr, platform::CFNotificationSuspensionBehaviorDeliverImmediately);
        gPaneSaw.clear();

        fBed = umockdev_testbed_new();
        char vendor[8];
        std::snprintf(vendor, sizeof vendor, "%04x", static_cast<unsigned>(kVendorId));
        gchar* mouse = umockdev_testbed_add_device(fBed, "usb", "1-1", nullptr, "idVendor", vendor,
                                                   "idProduct", "0191", nullptr, "DEVTYPE",
                                                   "usb_device", nullptr);
        g_free(mouse);
        AddInstance(401);
    }
    void TearDown() override {
        if (fAgent) {
            fAgent->Stop(SIGKILL);
        }
        platform::InstallDistributedNotificationBackend(std::move(fPrevious));
        if (fBed != nullptr) {
            g_object_unref(fBed);
        }
    }

    void StartAgent() {
        const std::string data = (fHome.Path() / ".local/share").string();
        gchar* bedRoot = umockdev_testbed_get_root_dir(fBed);
        const std::string bed = bedRoot;
        g_free(bedRoot);
        fAgent = fSystem.StartOnBus(
            {HALVORIN_AGENT}, false,
            {"DBUS_SESSION_BUS_ADDRESS=" + fSession.Address(), "HOME=" + fHome.Path().string(),
             "XDG_DATA_HOME=" + data, "XDG_CURRENT_DESKTOP=GNOME",
             "LD_PRELOAD=libumockdev-preload.so.0",
             "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0", "UMOCKDEV_DIR=" + bed});
    }
    void AddInstance(std::uint32_t product) {
        BusMessage request = fControl->NewCall("org.halvorin.Driver1", "/org/halvorin/Test",
                                               "org.halvorin.Test.Control", "AddInstance");
        sd_bus_message_append(request.get(), "uu", static_cast<std::uint32_t>(kVendorId), product);
        ASSERT_TRUE(fControl->Call(request.get()));
    }
    void HostSends(std::uint64_t instance, std::uint32_t type) {
        BusMessage request = fControl->NewCall("org.halvorin.Driver1", "/org/halvorin/Test",
                                               "org.halvorin.Test.Control", "SendMessage");
        sd_bus_message_append(request.get(), "tut", instance, type, std::uint64_t{0});
        ASSERT_TRUE(fControl->Call(request.get()));
    }
    void PrepareForSleep(bool start) {
        BusMessage request = fControl->NewCall("org.freedesktop.login1", kLogindPath,
                                               "org.freedesktop.DBus.Mock", "EmitSignal");
        sd_bus_message_append(request.get(), "sssav", "org.freedesktop.login1.Manager",
                              "PrepareForSleep", "b", 1, "b", start ? 1 : 0);
        ASSERT_TRUE(fControl->Call(request.get()));
    }
    // The host's report lines until one starts with `prefix` (that one last).
    std::vector<std::string> HostUntil(const std::string& prefix) {
        std::vector<std::string> lines;
        while (true) {
            lines.push_back(fHost->ReadLine(10s));
            if (lines.back().empty() || lines.back().rfind(prefix, 0) == 0) {
                return lines;
            }
        }
    }
    bool PaneSees(const std::string& name) {
        return WaitUntil(
            [&] { return std::find(gPaneSaw.begin(), gPaneSaw.end(), name) != gPaneSaw.end(); },
            [&] {
                std::this_thread::sleep_for(5ms);
                fPaneBus->Dispatch();
                platform::CFRunLoopGetCurrent()->RunUntilIdle();
            });
    }
    void PaneSends(const ADeviceSettings& settings) {
        const platform::PropertyList dictionary = settings.SettingsAsDict();
        platform::CFNotificationCenterPostNotification(
            platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
            kPrefChangeObject, &dictionary, true);
    }

    // A field of /proc/<agent>/status, such as "VmRSS" (kB) or
    // "voluntary_ctxt_switches".
    long AgentStatus(const std::string& field) {
        std::ifstream status("/proc/" + std::to_string(fAgent->Pid()) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(field + ":", 0) == 0) {
                return std::stol(line.substr(field.size() + 1));
            }
        }
        return -1;
    }
    std::uint32_t SleepInhibitors() {
        BusMessage request = fControl->NewCall("org.freedesktop.login1", kLogindPath,
                                               "org.freedesktop.login1.Manager", "ListInhibitors");
        BusMessage reply = fControl->Call(request.get());
        std::uint32_t count = 0;
        sd_bus_message_enter_container(reply.get(), 'a', "(ssssuu)");
        while (sd_bus_message_skip(reply.get(), "(ssssuu)") > 0) {
            ++count;
        }
        return count;
    }

    PrivateBus fSystem;
    PrivateBus fSession;
    platform::ScopedTemporaryHome fHome;
    std::unique_ptr<ChildProcess> fHost;
    std::unique_ptr<ChildProcess> fAgent;
    std::unique_ptr<BusConnection> fControl;
    std::unique_ptr<BusConnection> fPaneBus;
    std::unique_ptr<platform::DistributedNotificationBackend> fPrevious;
    UMockdevTestbed* fBed = nullptr;
};

TEST_F(AgentProcessTest, CopyPressSleepWakeSettingsAndAReturningHost) {
    StartAgent();
    // The agent finds the mouse, gives the driver the settings and listens.
    EXPECT_EQ(HostUntil("subscribe").back(), "subscribe id=1");
    ASSERT_TRUE(PaneSees("DeviceAttached"));

    // Idle, the agent does not wake up.
    const long switches = AgentStatus("voluntary_ctxt_switches");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(AgentStatus("voluntary_ctxt_switches"), switches);
    RecordProperty("IdleResidentKilobytes", std::to_string(AgentStatus("VmRSS")));
    EXPECT_EQ(SleepInhibitors(), 1u);

    // The pane's settings reach the driver: button 3 copies.
    ADeviceSettings settings;
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(7, ""), 3);
    PaneSends(settings);
    EXPECT_EQ(HostUntil("set-properties").back().rfind("set-properties id=1 ", 0), 0u);

    // A Copy press comes back to the host's keyboard as Ctrl+C.
    HostSends(1, 0x10);
    EXPECT_EQ(
        HostUntil("post type=11"),
        (std::vector<std::string>{"post type=12 x=0 y=0 key=0 click=0 flags=0x40000 options=1",
                                  "post type=10 x=0 y=0 key=8 click=0 flags=0x0 options=0",
                                  "post type=11 x=0 y=0 key=8 click=0 flags=0x0 options=0"}));
    EXPECT_EQ(HostUntil("post"),
              (std::vector<std::string>{"post type=12 x=0 y=0 key=0 click=0 flags=0x0 options=1"}));

    // A sleep: the agent lets go and says so; the wake finds the mouse again.
    gPaneSaw.clear();
    PrepareForSleep(true);
    ASSERT_TRUE(PaneSees("NoDevicesAttached"));
    EXPECT_TRUE(WaitUntil([&] { return SleepInhibitors() == 0; },
                          [] { std::this_thread::sleep_for(5ms); }));
    EXPECT_TRUE(
        std::filesystem::exists(fHome.Path() / ".local/share/Halvorin/OrvandelSettings.xml"));
    PrepareForSleep(false);
    EXPECT_EQ(HostUntil("subscribe").back(), "subscribe id=1");
    ASSERT_TRUE(PaneSees("DeviceAttached"));

    // The host restarted under the running agent is found again.
    gPaneSaw.clear();
    fHost->Stop(SIGKILL);
    ASSERT_TRUE(PaneSees("NoDevicesAttached"));
    fHost = fSystem.StartFakeDriverHost();
    ASSERT_TRUE(fHost);
    AddInstance(401);
    EXPECT_EQ(HostUntil("subscribe").back(), "subscribe id=1");
    ASSERT_TRUE(PaneSees("DeviceAttached"));

    // Stopping the service is the interrupt: the agent ends at once, cleanly.
    EXPECT_TRUE(fAgent->IsRunning());
    const int status = fAgent->Stop(SIGINT);
    fAgent.reset();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
