// What an authorisation costs a posted event, on private buses: the host's
// bus side (its own code, on its own thread) with the stand-ins of logind
// and polkit, and a client of the active local session. Each measure is one
// PostEvent round trip, a press a few milliseconds after the last, as a key
// stroke comes (and within the presses a user may post a second):
//   BM_AuthorisedPress: a key pressed by a client whose verdict is kept.
//   BM_Release: the key let go again: a release of what the client holds
//     needs no authorisation step at all, the same path otherwise.
//   BM_FirstPress: the first press of a new client: the bus is asked for its
//     uid and polkit for its verdict, once.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "AccelerationGain.h"
#include "BusLoop.h"
#include "BusService.h"
#include "HIDSystem.h"
#include "HostMessageQueue.h"
#include "PostedEvents.h"
#include "PrivateBus.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace platform;

// Between two posts, as between the strokes of a key.
constexpr auto kPause = std::chrono::milliseconds(4);

class HostOnBus {
public:
    HostOnBus() : fBus(PrivateBus::Policy::System) {
        fBus.StartTemplate("logind", "org.freedesktop.login1");
        fBus.StartTemplate("polkitd", "org.freedesktop.PolicyKit1");
        fClient = fBus.Connect();
        sd_bus_call_method(fClient, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.DBus.Mock", "AddSession", nullptr, nullptr, "ssusb",
                           "mine", "seat0", static_cast<std::uint32_t>(getuid()), "someone", 1);
        sd_bus_call_method(fClient, "org.freedesktop.PolicyKit1",
                           "/org/freedesktop/PolicyKit1/Authority", "org.freedesktop.DBus.Mock",
                           "SetAllowed", nullptr, nullptr, "as", 1,
                           "org.halvorin.driver1.post-events");
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, fKeyboard);
        fPosted = std::make_unique<PostedEvents>(fKeyboard[0]);
        fServer = fBus.Connect();
        fService = std::make_unique<BusService>(fServer, fMessages, fGains, *fPosted);
        fLoop = std::make_unique<BusLoop>(fServer, *fService, fMessages);
        fService->Start();
        fServing = std::thread([this] { fLoop->Run(); });
    }
    ~HostOnBus() {
        fLoop->Stop();
        fServing.join();
        sd_bus_flush_close_unref(fClient);
        fLoop.reset();
        fService.reset();
        sd_bus_flush_close_unref(fServer);
        close(fKeyboard[0]);
        close(fKeyboard[1]);
    }

    sd_bus* Client() const { return fClient; }
    sd_bus* NewClient() const { return fBus.Connect(); }
    // One post and its answer, timed; the keyboard's events are taken away.
    Clock::duration Post(sd_bus* from, std::uint32_t type) {
        std::this_thread::sleep_for(kPause);
        const auto start = Clock::now();
        sd_bus_message* reply = nullptr;
        sd_bus_call_method(from, kDriverBusName, kHIDSystemPath, kHIDSystemInterface, "PostEvent",
                           nullptr, &reply, "unnqiuu", type, std::int16_t{0}, std::int16_t{0},
                           std::uint16_t{0}, 0, 0U, 0U);
        const Clock::duration took = Clock::now() - start;
        sd_bus_message_unref(reply);
        char drain[4096];
        while (read(fKeyboard[1], drain, sizeof drain) > 0) {
        }
        return took;
    }

private:
    PrivateBus fBus;
    sd_bus* fClient = nullptr;
    sd_bus* fServer = nullptr;
    int fKeyboard[2] = {-1, -1};
    AccelerationGains fGains;
    HostMessageQueue fMessages;
    std::unique_ptr<PostedEvents> fPosted;
    std::unique_ptr<BusService> fService;
    std::unique_ptr<BusLoop> fLoop;
    std::thread fServing;
};

HostOnBus& Host() {
    static HostOnBus host;
    return host;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void BM_AuthorisedPress(benchmark::State& state) {
    HostOnBus& host = Host();
    host.Post(host.Client(), NX_KEYDOWN);  // the verdict, kept from here on
    host.Post(host.Client(), NX_KEYUP);
    for (auto _ : state) {
        state.SetIterationTime(Seconds(host.Post(host.Client(), NX_KEYDOWN)));
        host.Post(host.Client(), NX_KEYUP);
    }
}
BENCHMARK(BM_AuthorisedPress)->UseManualTime()->Iterations(400)->Unit(benchmark::kMicrosecond);

void BM_Release(benchmark::State& state) {
    HostOnBus& host = Host();
    for (auto _ : state) {
        host.Post(host.Client(), NX_KEYDOWN);
        state.SetIterationTime(Seconds(host.Post(host.Client(), NX_KEYUP)));
    }
}
BENCHMARK(BM_Release)->UseManualTime()->Iterations(400)->Unit(benchmark::kMicrosecond);

void BM_FirstPress(benchmark::State& state) {
    HostOnBus& host = Host();
    for (auto _ : state) {
        sd_bus* client = host.NewClient();
        state.SetIterationTime(Seconds(host.Post(client, NX_KEYDOWN)));
        sd_bus_flush_close_unref(client);
    }
}
BENCHMARK(BM_FirstPress)->UseManualTime()->Iterations(50)->Unit(benchmark::kMicrosecond);

}  // namespace
