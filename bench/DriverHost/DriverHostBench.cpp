// One mouse frame through the host's descriptor seams, side by side with a
// plain passthrough that copies the same frame unchanged: in over a socket,
// (the driver and the virtual pointer), out over another socket, and read
// back. The difference is what the host adds per frame. Allocations on the
// host path are counted and reported per frame. At the end the resident
// memory of this process, with an idle host event side running, is printed.
#include <benchmark/benchmark.h>
#include <linux/input.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "AccelerationGain.h"
#include "AllocationCount.h"
#include "DriverInstance.h"
#include "HostMessageQueue.h"
#include "MouseHost.h"
#include "OSKext.h"
#include "OrvandelDriver.h"

namespace {

using platform::DriverInstance;

// A motion frame with the left button held, as a mouse sends it.
const std::array<input_event, 4> kFrame = [] {
    std::array<input_event, 4> frame{};
    frame[0].type = EV_REL, frame[0].code = REL_X, frame[0].value = 3;
    frame[1].type = EV_REL, frame[1].code = REL_Y, frame[1].value = -2;
    frame[2].type = EV_KEY, frame[2].code = BTN_LEFT, frame[2].value = 1;
    frame[3].type = EV_SYN, frame[3].code = SYN_REPORT;
    return frame;
}();

struct Seams {
    Seams() {
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, in);
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, out);
    }
    ~Seams() {
        for (int fd : {in[0], in[1], out[0], out[1]}) {
            close(fd);
        }
    }
    void SendFrame() const { benchmark::DoNotOptimize(write(in[1], kFrame.data(), sizeof kFrame)); }
    void Drain() const {
        std::array<input_event, 16> buffer;
        benchmark::DoNotOptimize(read(out[1], buffer.data(), sizeof buffer));
    }
    int in[2];
    int out[2];
};

void BM_Passthrough(benchmark::State& state) {
    Seams seams;
    std::array<input_event, 16> buffer;
    for (auto _ : state) {
        seams.SendFrame();
        const ssize_t got = read(seams.in[0], buffer.data(), sizeof buffer);
        benchmark::DoNotOptimize(write(seams.out[0], buffer.data(), static_cast<std::size_t>(got)));
        seams.Drain();
    }
}
BENCHMARK(BM_Passthrough);

void BM_HostFrame(benchmark::State& state) {
    Seams seams;
    platform::AccelerationGains gains;
    platform::HostMessageQueue messages;
    OSKext::load(kOrvandelDriverModule);
    {
        auto instance =
            DriverInstance::Start(HALVORIN_VENDOR_ID, 401, seams.out[0], gains, messages);
        const std::uint64_t before = AllocationCount();
        for (auto _ : state) {
            seams.SendFrame();
            platform::FeedRawEvents(seams.in[0], *instance);
            seams.Drain();
        }
        state.counters["allocations/frame"] = benchmark::Counter(
            static_cast<double>(AllocationCount() - before), benchmark::Counter::kAvgIterations);
    }
    OSKext::unload(kOrvandelDriverModule);
}
BENCHMARK(BM_HostFrame);

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The event side waiting for mice, as the idle host does.
    platform::AccelerationGains gains;
    platform::HostMessageQueue messages;
    platform::MouseHost host(gains, messages, platform::CreateUinputPointer);
    std::thread events([&] { host.Run(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::cout << "VmRSS with an idle event side: " << ResidentKilobytes() << " kB\n";
    host.Stop();
    events.join();
    return 0;
}
