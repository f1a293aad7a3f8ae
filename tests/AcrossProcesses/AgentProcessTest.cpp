#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AgentConstants.h"
#include "BusConnection.h"
#include "DeviceSettings.h"
#include "FakeMouse.h"
#include "PrivateBus.h"
#include "RunLoop.h"
#include "SessionBusNotifications.h"
#include "TemporaryHome.h"

namespace {

using platform::BusConnection;
using platform::BusMessage;
using namespace std::chrono_literals;
using KeyEvents = std::vector<std::array<int, 2>>;  // EV_KEY code, value

constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kMouseNode = "/dev/input/event1";

std::vector<std::string> gPaneSaw;

void PaneObserver(platform::CFNotificationCenterRef, void*, const char* name, const char*,
                  const platform::PropertyList*) {
    gPaneSaw.emplace_back(name);
}

const KeyEvents kControlC = {{KEY_LEFTCTRL, 1}, {KEY_C, 1}, {KEY_C, 0}, {KEY_LEFTCTRL, 0}};

// A socket pair standing in for a uinput device: the host writes to the end
// its process inherits, the test reads the other.
struct DeviceSocket {
    DeviceSocket() { socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends); }
    ~DeviceSocket() { close(ends[0]), close(ends[1]); }
    // The key and button events (no frame ends) until `count` came or a
    // bounded wait passed.
    KeyEvents Keys(std::size_t count, std::chrono::milliseconds timeout = 10s) {
        KeyEvents keys;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (keys.size() < count && std::chrono::steady_clock::now() < deadline) {
            input_event frame[16];
            const ssize_t got = recv(ends[1], frame, sizeof frame, MSG_DONTWAIT);
            for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof(input_event)); ++i) {
                if (frame[i].type == EV_KEY) {
                    keys.push_back({frame[i].code, frame[i].value});
                }
            }
            if (got <= 0) {
                std::this_thread::sleep_for(2ms);
            }
        }
        return keys;
    }
    int ends[2] = {-1, -1};
};

// The whole suite across processes: the real driver host (its virtual devices
// on sockets) serving a fake 401 mouse on umockdev's test bed, the agent on
// its Linux backends, a private system bus with logind and polkit
// (dbusmock), and a private session bus with the pane's notification side
// (this test).
class AgentProcessTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fSystem.StartTemplate("logind", "org.freedesktop.login1"));
        ASSERT_TRUE(fSystem.StartTemplate("polkitd", "org.freedesktop.PolicyKit1"));
        setenv("DBUS_SYSTEM_BUS_ADDRESS", fSystem.Address().c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", fSession.Address().c_str(), 1);
        fControl = BusConnection::Open(BusConnection::Bus::System);
        fPaneBus = BusConnection::Open(BusConnection::Bus::Session);
        ASSERT_TRUE(fControl && fPaneBus);
        // The agent runs in the user's active session, and polkit allows it all.
        Mock("org.freedesktop.login1", kLogindPath, "AddSession", "ssusb", "mine", "seat0",
             static_cast<std::uint32_t>(getuid()), "someone", 1);
        Mock("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority", "SetAllowed",
             "as", 3, "org.halvorin.driver1.configure", "org.halvorin.driver1.post-events",
             "org.halvorin.driver1.subscribe");
        fPrevious = platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::SessionBusNotifications>(*fPaneBus));
        platform::CFNotificationCenterAddObserver(
            platform::CFNotificationCenterGetDistributedCenter(), this, PaneObserver, nullptr,
            nullptr, platform::CFNotificationSuspensionBehaviorDeliverImmediately);
        gPaneSaw.clear();

        fBed = umockdev_testbed_new();
        char vendor[8];
        std::snprintf(vendor, sizeof vendor, "%04x", static_cast<unsigned>(kVendorId));
        ASSERT_FALSE(AddFakeMouse(fBed, 1, vendor, "0191", {}, "").empty());
        fMouse = umockdev_testbed_get_dev_fd(fBed, kMouseNode);
        ASSERT_GE(fMouse, 0);
        gchar* root = umockdev_testbed_get_root_dir(fBed);
        fBedRoot = root;
        g_free(root);
        StartHost();
    }
    void TearDown() override {
        fAgent.reset();
        fHost.reset();
        platform::InstallDistributedNotificationBackend(std::move(fPrevious));
        if (fBed != nullptr) {
            g_object_unref(fBed);
        }
    }

    template <typename... Arguments>
    void Mock(const char* service, const char* path, const char* member, const char* types,
              Arguments... arguments) {
        BusMessage request = fControl->NewCall(service, path, "org.freedesktop.DBus.Mock", member);
        sd_bus_message_append(request.get(), types, arguments...);
        ASSERT_TRUE(fControl->Call(request.get()));
    }
    std::vector<std::string> OnTestBed() const {
        return {"LD_PRELOAD=libumockdev-preload.so.0",
                "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0", "UMOCKDEV_DIR=" + fBedRoot};
    }
    void StartHost() {
        fHost = fSystem.StartOnBus({HALVORIN_TEST_BED_HOST, std::to_string(fKeyboard.ends[0]),
                                    std::to_string(fPointer.ends[0])},
                                   false, OnTestBed());
        ASSERT_TRUE(fSystem.WaitForName("org.halvorin.Driver1"));
    }
    void StartAgent() {
        std::vector<std::string> environment = OnTestBed();
        environment.insert(
            environment.end(),
            {"DBUS_SESSION_BUS_ADDRESS=" + fSession.Address(), "HOME=" + fHome.Path().string(),
             "XDG_DATA_HOME=" + (fHome.Path() / ".local/share").string(),
             "XDG_CURRENT_DESKTOP=GNOME"});
        fAgent = fSystem.StartOnBus({HALVORIN_AGENT}, false, environment);
    }
    // The mouse's buttons (evdev codes) go down, or up, in one frame.
    void Buttons(std::initializer_list<int> codes, int value) {
        std::vector<input_event> frame;
        for (int code : codes) {
            frame.push_back({{}, EV_KEY, static_cast<std::uint16_t>(code), value});
        }
        frame.push_back({{}, EV_SYN, SYN_REPORT, 0});
        const auto size = static_cast<ssize_t>(frame.size() * sizeof(input_event));
        ASSERT_EQ(write(fMouse, frame.data(), static_cast<std::size_t>(size)), size);
    }
    void Click(int code) {
        Buttons({code}, 1);
        Buttons({code}, 0);
    }
    // Clicks the extra button (button 4); whether that typed Ctrl+C.
    bool ClickCopies() {
        Click(BTN_EXTRA);
        return fKeyboard.Keys(4, 200ms) == kControlC;
    }
    void PrepareForSleep(bool start) {
        Mock("org.freedesktop.login1", kLogindPath, "EmitSignal", "sssav",
             "org.freedesktop.login1.Manager", "PrepareForSleep", "b", 1, "b", start ? 1 : 0);
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

    // A field of a status file under /proc, such as "VmRSS" (kB).
    static long Status(const std::filesystem::path& file, const std::string& field) {
        std::ifstream status(file);
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(field + ":", 0) == 0) {
                return std::stol(line.substr(field.size() + 1));
            }
        }
        return -1;
    }
    static std::filesystem::path ProcessFolder(const ChildProcess& process) {
        return "/proc/" + std::to_string(process.Pid());
    }
    // How often the process's threads have slept and woken up so far.
    static long WakeUps(const ChildProcess& process) {
        long sum = 0;
        for (const auto& task :
             std::filesystem::directory_iterator(ProcessFolder(process) / "task")) {
            sum += Status(task.path() / "status", "voluntary_ctxt_switches");
        }
        return sum;
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

    PrivateBus fSystem{PrivateBus::Policy::System};
    PrivateBus fSession;
    platform::ScopedTemporaryHome fHome;
    DeviceSocket fKeyboard;
    DeviceSocket fPointer;
    std::unique_ptr<ChildProcess> fHost;
    std::unique_ptr<ChildProcess> fAgent;
    std::unique_ptr<BusConnection> fControl;
    std::unique_ptr<BusConnection> fPaneBus;
    std::unique_ptr<platform::DistributedNotificationBackend> fPrevious;
    UMockdevTestbed* fBed = nullptr;
    std::string fBedRoot;
    int fMouse = -1;
};

TEST_F(AgentProcessTest, PressesSettingsSleepWakeAndAReturningHost) {
    StartAgent();
    ASSERT_TRUE(PaneSees("DeviceAttached"));

    // Idle, once the host has answered the agent's start, neither the agent
    // nor the host (bus side and event side) wakes up.
    const auto wakeUps = [&] { return WakeUps(*fAgent) + WakeUps(*fHost); };
    long switches = wakeUps();
    EXPECT_TRUE(WaitUntil(
        [&] {
            std::this_thread::sleep_for(300ms);
            return std::exchange(switches, wakeUps()) == switches;
        },
        [] {}, 3s));
    RecordProperty("IdleResidentKilobytes",
                   std::to_string(Status(ProcessFolder(*fAgent) / "status", "VmRSS")));
    RecordProperty("IdleHostResidentKilobytes",
                   std::to_string(Status(ProcessFolder(*fHost) / "status", "VmRSS")));
    EXPECT_EQ(SleepInhibitors(), 1u);

    // The pane's settings reach the driver: the left button right-clicks (seen
    // once the settings are in), the extra button copies.
    ADeviceSettings settings;
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(2, ""), 0);
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(7, ""), 3);
    PaneSends(settings);
    EXPECT_TRUE(WaitUntil(
        [&] {
            Click(BTN_LEFT);
            return fPointer.Keys(2, 100ms) == KeyEvents{{BTN_RIGHT, 1}, {BTN_RIGHT, 0}};
        },
        [] {}));

    // A Copy press comes back to the host's keyboard as Ctrl+C, and the
    // pointer sees nothing of it.
    Click(BTN_EXTRA);
    EXPECT_EQ(fKeyboard.Keys(4), kControlC);
    EXPECT_EQ(fPointer.Keys(1, 100ms), KeyEvents{});

    // A sleep: the agent lets go and says so; the wake finds the mouse again.
    gPaneSaw.clear();
    PrepareForSleep(true);
    ASSERT_TRUE(PaneSees("NoDevicesAttached"));
    EXPECT_TRUE(WaitUntil([&] { return SleepInhibitors() == 0; },
                          [] { std::this_thread::sleep_for(5ms); }));
    EXPECT_TRUE(
        std::filesystem::exists(fHome.Path() / ".local/share/Halvorin/OrvandelSettings.xml"));
    PrepareForSleep(false);
    ASSERT_TRUE(PaneSees("DeviceAttached"));

    // The host restarted under the running agent is found again, and given
    // the settings.
    gPaneSaw.clear();
    fHost->Stop(SIGKILL);
    ASSERT_TRUE(PaneSees("NoDevicesAttached"));
    gPaneSaw.clear();
    StartHost();
    ASSERT_TRUE(PaneSees("DeviceAttached"));
    EXPECT_TRUE(WaitUntil([&] { return ClickCopies(); }, [] {}));

    // Stopping the service is the interrupt: the agent ends at once, cleanly.
    EXPECT_TRUE(fAgent->IsRunning());
    const int status = fAgent->Stop(SIGINT);
    fAgent.reset();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(AgentProcessTest, AKilledAgentLeavesNoModifierHeld) {
    StartAgent();
    ASSERT_TRUE(PaneSees("DeviceAttached"));
    ADeviceSettings settings;
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(32, ""), 3);
    PaneSends(settings);
    // Held, the button holds Shift; the agent dies with it down.
    EXPECT_TRUE(WaitUntil(
        [&] {
            Buttons({BTN_EXTRA}, 1);
            if (fKeyboard.Keys(1, 200ms) == KeyEvents{{KEY_LEFTSHIFT, 1}}) {
                return true;
            }
            // Not yet: whatever the button did before the settings goes.
            Buttons({BTN_EXTRA}, 0);
            fKeyboard.Keys(16, 100ms);
            return false;
        },
        [] {}));
    fAgent->Stop(SIGKILL);
    EXPECT_EQ(fKeyboard.Keys(1), (KeyEvents{{KEY_LEFTSHIFT, 0}}));
}

// What the agent asks of the host on each discovery: its objects once, and
// its messages before it sets the settings (a press between would be lost).
TEST_F(AgentProcessTest, EachDiscoveryAsksForTheObjectsOnceAndListensBeforeSetting) {
    CallMonitor host(fSystem, "org.halvorin.Driver1");
    std::vector<std::string> calls;
    auto collect = [&] {
        for (const std::string& call : host.Take()) {
            if (call == "GetManagedObjects" || call == "Subscribe" || call == "SetProperties" ||
                call == "SetAcceleration") {
                calls.push_back(call);
            }
        }
    };
    // Until the settings and both accelerations are in.
    auto discovered = [&] {
        return WaitUntil(
            [&] { return std::count(calls.begin(), calls.end(), "SetAcceleration") == 2; },
            [&] {
                std::this_thread::sleep_for(5ms);
                collect();
            });
    };
    StartAgent();
    ASSERT_TRUE(discovered());
    // Once when the host is first seen, once by the discovery.
    EXPECT_EQ(calls,
              (std::vector<std::string>{"GetManagedObjects", "GetManagedObjects", "Subscribe",
                                        "SetProperties", "SetAcceleration", "SetAcceleration"}));
    calls.clear();
    PrepareForSleep(true);
    ASSERT_TRUE(PaneSees("NoDevicesAttached"));
    PrepareForSleep(false);
    ASSERT_TRUE(discovered());
    std::this_thread::sleep_for(300ms);
    collect();
    EXPECT_EQ(calls, (std::vector<std::string>{"GetManagedObjects", "SetProperties",
                                               "SetAcceleration", "SetAcceleration"}));
}

// The command-line client beside the pane's side: it sees the host's mouse
// and the agent, its change reaches the agent at once, and its monitor shows
// what the button sends.
TEST_F(AgentProcessTest, CommandLineClientSeesTheSuiteAndChangesAButtonAtOnce) {
    StartAgent();
    ASSERT_TRUE(PaneSees("DeviceAttached"));
    const auto ctl = [&](std::vector<std::string> words) {
        words.insert(words.begin(), HALVORIN_CTL);
        return RunProgram(words, {}, [&] {
            fPaneBus->Dispatch();
            platform::CFRunLoopGetCurrent()->RunUntilIdle();
        });
    };
    const ProgramRun status = ctl({"status"});
    EXPECT_EQ(status.status, 0) << status.errors;
    for (const std::string& line :
         {std::string("driver host: running (org.halvorin.Driver1)\n"),
          "  mouse: Halvorin Orvandel, product 401, vendor " + std::to_string(kVendorId),
          std::string("agent: running in this session, a mouse attached\n")}) {
        EXPECT_NE(status.output.find(line), std::string::npos) << status.output;
    }

    auto monitor = fSystem.StartOnBus({HALVORIN_CTL, "monitor"});
    const std::string followed = monitor->ReadLine(10s);
    EXPECT_EQ(followed.rfind("mouse instance=", 0), 0u) << followed;
    const std::string mouse = followed.substr(std::string("mouse ").size());

    const ProgramRun set = ctl({"set", "button", "4", "Copy"});
    EXPECT_EQ(set.status, 0) << set.errors;
    EXPECT_TRUE(WaitUntil([&] { return ClickCopies(); }, [] {}));
    // The monitor's lines, skipping others (the agent's notifications, the
    // clicks of the loop above), until one that starts so; none in time: false.
    const auto comes = [&](const std::string& start) {
        for (std::string line; !(line = monitor->ReadLine(10s)).empty();) {
            if (line.rfind(start, 0) == 0) return true;
        }
        return false;
    };
    // The notification and the messages come on two buses, in either order.
    EXPECT_TRUE(comes("notification name=HalvorinAgent object=PrefChange userInfo={"));
    Click(BTN_EXTRA);
    EXPECT_TRUE(comes("message " + mouse + " type=0x10 button=4"));
    EXPECT_TRUE(comes("message " + mouse + " type=0xff released"));

    // A host that goes and comes back is followed again.
    fHost->Stop(SIGKILL);
    EXPECT_TRUE(comes("message " + mouse + " type=0xe0000010 gone"));
    EXPECT_TRUE(comes("host gone"));
    StartHost();
    EXPECT_TRUE(comes("host serving"));
    EXPECT_TRUE(comes("mouse instance="));
    const int ended = monitor->Stop(SIGINT);
    EXPECT_TRUE(WIFEXITED(ended) && WEXITSTATUS(ended) == 0) << ended;
}

}  // namespace
