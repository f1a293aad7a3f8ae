// The agent's path over the system bus against a bare D-Bus round trip on the
// same private bus, side by side. A small host on its own thread serves the
// driver host's interface: one 401 mouse and the HID system.
//   BM_MessageToPostedKey: a driver message leaves the host; the time until
//     the agent's key-down reaches the host's PostEvent (the virtual keyboard
//     writer). The agent runs its own code on its Linux bus clients and the
//     epoll run loop; its mouse comes from the simulated USB bus.
//   BM_BareRoundTrip: one method call to the host and its reply, back to
//     back: every thread on the way is awake.
//   BM_BareRoundTripAfterPause: the same call after the pause that also
//     precedes each message above (as a button press comes after idleness):
//     the fair comparison, as every process on the way has to wake up.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "AgentConstants.h"
#include "AgentMain.h"
#include "AgentState.h"
#include "BusConnection.h"
#include "BusPropertyList.h"
#include "DistributedNotifications.h"
#include "DriverHostHIDSystem.h"
#include "DriverHostRegistry.h"
#include "EpollRunLoopBackend.h"
#include "LinuxSignals.h"
#include "PrivateBus.h"
#include "SimulatedHIDDevices.h"
#include "TemporaryHome.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::BusConnection;

constexpr const char* kMousePath = "/org/halvorin/Driver1/service/1";
constexpr const char* kHIDSystemPath = "/org/halvorin/Driver1/HIDSystem";
constexpr const char* kService = "org.halvorin.Driver1.Service";
// Between two presses; long enough for the posting pace to recover its burst.
constexpr std::chrono::milliseconds kPause(18);

// The host: a connection of its own, served on its own thread.
class BenchHost {
public:
    explicit BenchHost(const std::string& address) {
        sd_bus_new(&fBus);
        sd_bus_set_address(fBus, address.c_str());
        sd_bus_set_bus_client(fBus, 1);
        sd_bus_start(fBus);
        sd_bus_add_filter(fBus, nullptr, &BenchHost::Handle, this);
        sd_bus_request_name(fBus, "org.halvorin.Driver1", 0);
        fThread = std::thread([this] { Serve(); });
    }
    ~BenchHost() {
        fStop = true;
        Wake(fGo);
        fThread.join();
        sd_bus_flush_close_unref(fBus);
        close(fGo);
        close(fKeyDown);
    }

    // The host sends the message to its subscriber; returns when it left.
    void SendMessage(std::uint32_t type) {
        fPendingMessage = type;
        Wake(fGo);
    }
    int KeyDownDescriptor() const { return fKeyDown; }
    Clock::duration LastLatency() const { return fKeyDownAt.load() - fSentAt.load(); }

private:
    static void Wake(int descriptor) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = write(descriptor, &one, sizeof one);
    }

    void Serve() {
        while (!fStop) {
            while (sd_bus_process(fBus, nullptr) > 0) {
            }
            pollfd descriptors[] = {{sd_bus_get_fd(fBus), POLLIN, 0}, {fGo, POLLIN, 0}};
            poll(descriptors, 2, -1);
            if ((descriptors[1].revents & POLLIN) != 0) {
                std::uint64_t count = 0;
                [[maybe_unused]] auto read = ::read(fGo, &count, sizeof count);
                if (const std::uint32_t type = fPendingMessage.exchange(0); type != 0) {
                    Send(type);
                }
            }
        }
    }

    void Send(std::uint32_t type) {
        sd_bus_message* signal = nullptr;
        sd_bus_message_new_signal(fBus, &signal, kMousePath, kService, "Message");
        sd_bus_message_set_destination(signal, fSubscriber.c_str());
        sd_bus_message_append(signal, "ut", type, std::uint64_t{0});
        fSentAt = Clock::now();
        sd_bus_send(fBus, signal, nullptr);
        sd_bus_flush(fBus);
        sd_bus_message_unref(signal);
    }

    static void AppendService(sd_bus_message* m, const char* className, std::uint64_t id,
                              std::uint32_t product) {
        sd_bus_message_open_container(m, 'a', "{sv}");
        sd_bus_message_append(m, "{sv}", "ClassName", "s", className);
        sd_bus_message_append(m, "{sv}", "Classes", "as", 1, className);
        sd_bus_message_append(m, "{sv}", "RegistrationId", "t", id);
        sd_bus_message_append(m, "{sv}", "VendorID", "u", product == 0 ? 0u : kVendorId);
        sd_bus_message_append(m, "{sv}", "ProductID", "u", product);
        sd_bus_message_open_container(m, 'e', "sv");
        sd_bus_message_append(m, "s", "Properties");
        platform::PropertyList::Dictionary properties;
        if (product != 0) {
            properties.emplace("VendorID", platform::PropertyList::MakeInteger(kVendorId));
            properties.emplace("ProductID", platform::PropertyList::MakeInteger(product));
        }
        platform::AppendPropertyList(m, platform::PropertyList(std::move(properties)));
        sd_bus_message_close_container(m);
        sd_bus_message_close_container(m);
    }

    static int Handle(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* host = static_cast<BenchHost*>(self);
        std::uint8_t type = 0;
        if (sd_bus_message_get_type(m, &type) < 0 || type != SD_BUS_MESSAGE_METHOD_CALL) {
            return 0;
        }
        const std::string member = sd_bus_message_get_member(m);
        const std::string path = sd_bus_message_get_path(m);
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(m, &reply);
        if (member == "GetManagedObjects") {
            sd_bus_message_open_container(reply, 'a', "{oa{sa{sv}}}");
            for (const bool mouse : {true, false}) {
                sd_bus_message_open_container(reply, 'e', "oa{sa{sv}}");
                sd_bus_message_append(reply, "o", mouse ? kMousePath : kHIDSystemPath);
                sd_bus_message_open_container(reply, 'a', "{sa{sv}}");
                sd_bus_message_open_container(reply, 'e', "sa{sv}");
                sd_bus_message_append(reply, "s", kService);
                AppendService(reply, mouse ? kOrvandelDriverClassName.data() : "IOHIDSystem",
                              mouse ? 1 : 0, mouse ? 401 : 0);
                sd_bus_message_close_container(reply);
                sd_bus_message_close_container(reply);
                sd_bus_message_close_container(reply);
            }
            sd_bus_message_close_container(reply);
        } else if (member == "GetAll") {
            AppendService(reply,
                          path == kMousePath ? kOrvandelDriverClassName.data() : "IOHIDSystem",
                          path == kMousePath ? 1 : 0, path == kMousePath ? 401 : 0);
        } else if (member == "Subscribe") {
            host->fSubscriber = sd_bus_message_get_sender(m);
        } else if (member == "PostEvent") {
            std::uint32_t eventType = 0;
            std::int16_t x = 0;
            std::int16_t y = 0;
            std::uint16_t key = 0;
            sd_bus_message_read(m, "unnq", &eventType, &x, &y, &key);
            if (eventType == 10) {
                host->fKeyDownAt = Clock::now();
                Wake(host->fKeyDown);
            }
            sd_bus_message_append(reply, "i", 0);
        } else if (member == "SetProperties" || member == "SetAcceleration") {
            sd_bus_message_append(reply, "i", 0);
        }
        // Anything else (the bare round trip's Ping, Unsubscribe) gets an
        // empty reply.
        sd_bus_send(host->fBus, reply, nullptr);
        sd_bus_message_unref(reply);
        return 1;
    }

    sd_bus* fBus = nullptr;
    int fGo = eventfd(0, EFD_CLOEXEC);
    int fKeyDown = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::thread fThread;
    std::atomic<bool> fStop = false;
    std::atomic<std::uint32_t> fPendingMessage = 0;
    std::atomic<Clock::time_point> fSentAt;
    std::atomic<Clock::time_point> fKeyDownAt;
    std::string fSubscriber;  // written and read on the host's thread
};

// The agent on its bus clients and the epoll loop, with the host beside it.
struct AgentOnBus {
    PrivateBus bus;
    platform::ScopedTemporaryHome home;
    std::unique_ptr<BenchHost> host;
    std::unique_ptr<BusConnection> connection;

    AgentOnBus() {
        host = std::make_unique<BenchHost>(bus.Address());
        bus.WaitForName("org.halvorin.Driver1");
        setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().c_str(), 1);
        platform::InstallRunLoopBackend(std::make_unique<platform::EpollRunLoopBackend>());
        connection = BusConnection::Open(BusConnection::Bus::System);
        connection->Attach(platform::CFRunLoopGetCurrent());
        platform::InstallSignalBackend(std::make_unique<platform::LinuxSignals>());
        platform::InstallRegistryBackend(
            std::make_unique<platform::DriverHostRegistry>(*connection, nullptr));
        platform::InstallHIDSystemBackend(
            std::make_unique<platform::DriverHostHIDSystem>(*connection));
        platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::LoopbackDistributedNotifications>());
        auto devices = std::make_unique<platform::SimulatedHIDDevices>();
        devices->Plug(kVendorId, 401);
        platform::InstallHIDDeviceBackend(std::move(devices));
    }
    ~AgentOnBus() {
        ResetAgentState();
        platform::InstallHIDSystemBackend(nullptr);
        platform::InstallRegistryBackend(nullptr);
        platform::InstallSignalBackend(nullptr);
        connection.reset();
        platform::InstallRunLoopBackend(std::make_unique<platform::EpollRunLoopBackend>());
    }
};

void BM_MessageToPostedKey(benchmark::State& state) {
    AgentOnBus agent;

    StartAgent();
    platform::CFRunLoopGetCurrent()->RunFor(0.2);
    ADeviceSettings settings;
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(7, ""), 3);  // Copy
    const platform::PropertyList dictionary = settings.SettingsAsDict();
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), kPreferencesChangedNotification,
        kPrefChangeObject, &dictionary, true);
    platform::CFRunLoopGetCurrent()->RunFor(0.05);

    // The loop runs until the host has the key-down.
    const int keyDown = agent.host->KeyDownDescriptor();
    platform::CFRunLoopWatchDescriptor(
        platform::CFRunLoopGetCurrent(), keyDown, platform::kDescriptorReadable, [keyDown] {
            std::uint64_t count = 0;
            [[maybe_unused]] auto r = read(keyDown, &count, sizeof count);
            platform::CFRunLoopStop(platform::CFRunLoopGetCurrent());
        });
    for (auto _ : state) {
        agent.host->SendMessage(0x10);
        platform::CFRunLoopGetCurrent()->RunFor(1.0);
        state.SetIterationTime(std::chrono::duration<double>(agent.host->LastLatency()).count());

        // The release and the rest of the keystroke, outside the measure,
        // and a pause as between two presses, which lets the posting pace
        // recover its burst.
        agent.host->SendMessage(0xff);
        platform::CFRunLoopGetCurrent()->RunFor(std::chrono::duration<double>(kPause).count());
    }
}
BENCHMARK(BM_MessageToPostedKey)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One method call to the host and its reply, after `pause`.
void BareRoundTrip(benchmark::State& state, std::chrono::milliseconds pause) {
    PrivateBus bus;
    BenchHost host(bus.Address());
    bus.WaitForName("org.halvorin.Driver1");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().c_str(), 1);
    auto connection = BusConnection::Open(BusConnection::Bus::System);
    for (auto _ : state) {
        std::this_thread::sleep_for(pause);
        const auto start = Clock::now();
        platform::BusMessage call = connection->NewCall("org.halvorin.Driver1", kHIDSystemPath,
                                                        "org.halvorin.Bench", "Ping");
        benchmark::DoNotOptimize(connection->Call(call.get()));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}

void BM_BareRoundTrip(benchmark::State& state) {
    BareRoundTrip(state, std::chrono::milliseconds(0));
}
BENCHMARK(BM_BareRoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_BareRoundTripAfterPause(benchmark::State& state) {
    BareRoundTrip(state, kPause);
}
BENCHMARK(BM_BareRoundTripAfterPause)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
