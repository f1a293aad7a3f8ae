// The driver host under a flood of calls from a hostile local user, measured:
// the host as halvorin-driverd assembles it (its virtual devices on sockets)
// serving a fake 401 mouse on umockdev's test bed, on a private bus
// configured as the system bus with logind's and polkit's stand-ins. The user
// nobody (no session) sends each attack with BusFlood; meanwhile a mouse frame
// goes through the host every 10 ms and the user of the active session posts
// a key every 20 ms. Prints, per attack: how long it took, the host's
// resident memory at its peak and three seconds after, the frames served and
// the authorised user's posts answered, and the slowest frame and post.
//   DriverHostAttack [calls]     (default 1000000)
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeMouse.h"
#include "PrivateBus.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// VmRSS (resident now) or VmHWM (the most it was ever resident).
long StatusKilobytes(pid_t pid, const std::string& field = "VmRSS:") {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(field.size()));
        }
    }
    return -1;
}

long ResidentKilobytes(pid_t pid) {
    return StatusKilobytes(pid);
}

// Everything that goes on beside an attack, counted.
struct Beside {
    std::atomic<bool> running{true};
    std::atomic<long> peakKb{0};
    // Frames carry their number as vertical motion; sent and served times.
    std::atomic<std::int32_t> framesSent{0};
    std::atomic<std::int32_t> framesServed{0};
    std::array<std::atomic<std::int64_t>, 1 << 16> sentAt{};
    std::atomic<std::int64_t> slowestFrameMicroseconds{0};
    std::atomic<std::uint64_t> postsAnswered{0};
    std::atomic<std::uint64_t> postsFailed{0};
    std::atomic<std::int64_t> slowestPostMicroseconds{0};

    void Reset(long residentKb) {
        peakKb = residentKb;
        postsAnswered = postsFailed = 0;
        slowestFrameMicroseconds = slowestPostMicroseconds = 0;
    }
};

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

void Slowest(std::atomic<std::int64_t>& slowest, std::int64_t took) {
    for (std::int64_t seen = slowest; took > seen && !slowest.compare_exchange_weak(seen, took);) {
    }
}

std::string Megabytes(long kilobytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", kilobytes / 1024.0);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string calls = argc > 1 ? argv[1] : "1000000";
    PrivateBus bus(PrivateBus::Policy::System);
    if (bus.StartTemplate("logind", "org.freedesktop.login1") == nullptr ||
        bus.StartTemplate("polkitd", "org.freedesktop.PolicyKit1") == nullptr) {
        std::fprintf(stderr, "no stand-ins for logind and polkit\n");
        return 1;
    }
    sd_bus* control = bus.Connect();
    sd_bus_call_method(control, "org.freedesktop.login1", "/org/freedesktop/login1",
                       "org.freedesktop.DBus.Mock", "AddSession", nullptr, nullptr, "ssusb", "mine",
                       "seat0", static_cast<std::uint32_t>(getuid()), "someone", 1);
    sd_bus_call_method(control, "org.freedesktop.PolicyKit1",
                       "/org/freedesktop/PolicyKit1/Authority", "org.freedesktop.DBus.Mock",
                       "SetAllowed", nullptr, nullptr, "as", 1, "org.halvorin.driver1.post-events");

    UMockdevTestbed* bed = umockdev_testbed_new();
    char vendor[8];
    std::snprintf(vendor, sizeof vendor, "%04x", static_cast<unsigned>(HALVORIN_VENDOR_ID));
    if (AddFakeMouse(bed, 1, vendor, "0191", {}, "").empty()) {
        std::fprintf(stderr, "no fake mouse\n");
        return 1;
    }
    const int mouse = umockdev_testbed_get_dev_fd(bed, "/dev/input/event1");
    gchar* root = umockdev_testbed_get_root_dir(bed);
    int keyboard[2];
    int pointer[2];
    socketpair(AF_UNIX, SOCK_SEQPACKET, 0, keyboard);
    socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pointer);
    auto host = bus.StartOnBus(
        {HALVORIN_TEST_BED_HOST, std::to_string(keyboard[0]), std::to_string(pointer[0])}, false,
        {"LD_PRELOAD=libumockdev-preload.so.0", std::string("UMOCKDEV_DIR=") + root});
    g_free(root);
    if (!bus.WaitForName("org.halvorin.Driver1")) {
        std::fprintf(stderr, "the host did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(2s);
    const pid_t hostPid = host->Pid();
    const long idleKb = ResidentKilobytes(hostPid);

    Beside beside;
    std::thread sampler([&] {
        while (beside.running) {
            const long kb = ResidentKilobytes(hostPid);
            if (kb > beside.peakKb) {
                beside.peakKb = kb;
            }
            std::this_thread::sleep_for(2ms);
        }
    });
    // A frame of motion every 10 ms, numbered; the pointer's and the
    // keyboard's output read as soon as it comes, as the desktop reads
    // uinput devices (whose writes never wait).
    std::thread frames([&] {
        // A mouse that is not read loses frames; the writer never waits.
        fcntl(mouse, F_SETFL, O_NONBLOCK);
        for (std::int32_t n = 1; beside.running; ++n) {
            beside.sentAt[n & 0xffff] = Now();
            const input_event frame[3] = {
                {{}, EV_REL, REL_X, 1}, {{}, EV_REL, REL_Y, n}, {{}, EV_SYN, SYN_REPORT, 0}};
            if (write(mouse, frame, sizeof frame) == sizeof frame) {
                beside.framesSent = n;
            }
            std::this_thread::sleep_for(10ms);
        }
    });
    auto reader = [&](int descriptor, bool isPointer) {
        return std::thread([&, descriptor, isPointer] {
            pollfd readable{descriptor, POLLIN, 0};
            while (beside.running) {
                if (poll(&readable, 1, 100) <= 0) {
                    continue;
                }
                input_event got[64];
                const ssize_t n = read(descriptor, got, sizeof got);
                for (ssize_t i = 0; isPointer && i < n / static_cast<ssize_t>(sizeof got[0]); ++i) {
                    if (got[i].type == EV_REL && got[i].code == REL_Y) {
                        beside.framesServed = got[i].value;
                        Slowest(beside.slowestFrameMicroseconds,
                                Now() - beside.sentAt[got[i].value & 0xffff]);
                    }
                }
            }
        });
    };
    std::thread pointerReader = reader(pointer[1], true);
    std::thread keyboardReader = reader(keyboard[1], false);
    // The user of the active session posts a key every 20 ms.
    std::thread user([&] {
        sd_bus* connection = bus.Connect();
        bool down = true;
        while (beside.running) {
            const auto start = Clock::now();
            sd_bus_message* reply = nullptr;
            sd_bus_error error = SD_BUS_ERROR_NULL;
            if (sd_bus_call_method(connection, "org.halvorin.Driver1",
                                   "/org/halvorin/Driver1/HIDSystem",
                                   "org.halvorin.Driver1.HIDSystem", "PostEvent", &error, &reply,
                                   "unnqiuu", down ? 10u : 11u, std::int16_t{0}, std::int16_t{0},
                                   std::uint16_t{0}, 0, 0u, 0u) >= 0) {
                ++beside.postsAnswered;
            } else {
                // A failure the table's count alone would not explain.
                std::fprintf(stderr, "authorised post failed: %s\n",
                             error.name ? error.name : "no answer");
                ++beside.postsFailed;
            }
            sd_bus_error_free(&error);
            sd_bus_message_unref(reply);
            down = !down;
            Slowest(beside.slowestPostMicroseconds,
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start)
                        .count());
            std::this_thread::sleep_for(20ms);
        }
        sd_bus_flush_close_unref(connection);
    });

    struct Attack {
        std::string what;
        int floods;
        std::string count;
        const char* mode;
        const char* member;
    };
    const long parallel = std::stol(calls) / 8;
    const Attack attacks[] = {
        {calls + " PostEvent, answers awaited", 1, calls, "reply", "PostEvent"},
        {calls + " PostEvent, no-reply-expected", 1, calls, "noreply", "PostEvent"},
        {"8 connections x " + std::to_string(parallel) + " PostEvent, no-reply-expected", 8,
         std::to_string(parallel), "noreply", "PostEvent"},
        {"100 of the largest property lists, no-reply-expected", 1, "100", "noreply",
         "LargeProperties"},
        {"20 calls as large as the bus passes, no-reply-expected", 1, "20", "noreply",
         "LargestMessage"},
    };
    std::printf("idle: %s resident\n", Megabytes(idleKb).c_str());
    std::fflush(stdout);
    std::printf("%-58s %8s %9s %9s %15s %15s %13s\n", "attack (as nobody)", "seconds", "peak",
                "after 3 s", "frames served", "posts answered", "slowest");
    for (const Attack& attack : attacks) {
        beside.Reset(ResidentKilobytes(hostPid));
        const std::int32_t firstFrame = beside.framesSent + 1;
        const auto start = Clock::now();
        std::vector<std::unique_ptr<ChildProcess>> floods;
        for (int i = 0; i < attack.floods; ++i) {
            floods.push_back(bus.StartAsNobody(
                {HALVORIN_BUS_FLOOD, attack.count, attack.mode, attack.member}, true));
        }
        std::string answers;
        for (auto& flood : floods) {
            for (std::string line; !(line = flood->ReadLine(600s)).empty();) {
                answers += (answers.empty() ? "" : " ") + line;
            }
        }
        // Calls sent without awaiting answers may still be on their way: an
        // answered call from nobody comes after them.
        bus.RunAsNobody({HALVORIN_BUS_FLOOD, "1", "reply", "PostEvent"});
        const std::chrono::duration<double> took = Clock::now() - start;
        const std::int32_t lastFrame = beside.framesSent;
        const long peak = beside.peakKb;
        std::this_thread::sleep_for(3s);
        char served[32];
        char answered[32];
        char slowest[32];
        std::snprintf(served, sizeof served, "%d/%d",
                      std::min(beside.framesServed.load(), lastFrame) - firstFrame + 1,
                      lastFrame - firstFrame + 1);
        // One reading of each count, so a post finishing meanwhile cannot
        // show as a lost one.
        const std::uint64_t postsAnswered = beside.postsAnswered;
        const std::uint64_t postsFailed = beside.postsFailed;
        std::snprintf(answered, sizeof answered, "%llu/%llu",
                      static_cast<unsigned long long>(postsAnswered),
                      static_cast<unsigned long long>(postsAnswered + postsFailed));
        std::snprintf(slowest, sizeof slowest, "%.0f / %.0f ms",
                      beside.slowestFrameMicroseconds / 1000.0,
                      beside.slowestPostMicroseconds / 1000.0);
        std::printf("%-58s %8.1f %9s %9s %15s %15s %13s\n", attack.what.c_str(), took.count(),
                    Megabytes(peak).c_str(), Megabytes(ResidentKilobytes(hostPid)).c_str(), served,
                    answered, slowest);
        std::printf("    nobody's answers: %s\n", answers.c_str());
        std::fflush(stdout);
    }
    // The kernel's own high-water mark, which sampling could miss; the unit's
    // MemoryMax has to leave room above it.
    std::printf("highest resident of the host in the whole run: %s\n",
                Megabytes(StatusKilobytes(hostPid, "VmHWM:")).c_str());
    beside.running = false;
    sampler.join();
    frames.join();
    pointerReader.join();
    keyboardReader.join();
    user.join();
    host.reset();
    sd_bus_flush_close_unref(control);
    g_object_unref(bed);
    return 0;
}
