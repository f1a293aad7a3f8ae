// Sends many calls to the driver host as fast as the bus takes them, the way
// a hostile local user would, and tells how they were answered:
//   BusFlood <count> reply|noreply PostEvent|SetProperties|LargeProperties|LargestMessage
// With "reply", up to 128 calls wait for their answers at a time (the bus's
// own cap per connection); with "noreply" the calls are flagged
// no-reply-expected and nothing caps them. LargeProperties is the largest
// property list the host's bounds allow, near enough (4064 strings of 4 KiB);
// LargestMessage is a call as large as a system bus passes (32 MiB), which the
// host has to read whole before it can refuse it.
// Prints "sent=N answered=M" and one "<answer>=K" per kind of answer.
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr const char* kHost = "org.halvorin.Driver1";
constexpr std::uint64_t kWindow = 128;

struct Answers {
    std::uint64_t waiting = 0;
    std::map<std::string, std::uint64_t> kinds;
};

int Answered(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* answers = static_cast<Answers*>(data);
    --answers->waiting;
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    ++answers->kinds[error != nullptr && error->name != nullptr ? error->name : "ok"];
    return 0;
}

int AppendLargeProperties(sd_bus_message* m) {
    static const std::string text(4096, 'x');
    int r = sd_bus_message_open_container(m, 'v', "a{sv}");
    if (r >= 0) r = sd_bus_message_open_container(m, 'a', "{sv}");
    // 16 keys of 254 strings, with the dictionary and the arrays 4081 values.
    for (int key = 0; r >= 0 && key < 16; ++key) {
        const std::string name = "key" + std::to_string(key);
        r = sd_bus_message_open_container(m, 'e', "sv");
        if (r >= 0) r = sd_bus_message_append(m, "s", name.c_str());
        if (r >= 0) r = sd_bus_message_open_container(m, 'v', "av");
        if (r >= 0) r = sd_bus_message_open_container(m, 'a', "v");
        for (int i = 0; r >= 0 && i < 254; ++i) {
            r = sd_bus_message_append(m, "v", "s", text.c_str());
        }
        for (int close = 0; r >= 0 && close < 3; ++close) {
            r = sd_bus_message_close_container(m);
        }
    }
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r >= 0 ? sd_bus_message_close_container(m) : r;
}

sd_bus_message* NewCall(sd_bus* bus, const std::string& member) {
    sd_bus_message* m = nullptr;
    int r = 0;
    if (member == "PostEvent") {
        r = sd_bus_message_new_method_call(bus, &m, kHost, "/org/halvorin/Driver1/HIDSystem",
                                           "org.halvorin.Driver1.HIDSystem", "PostEvent");
        if (r >= 0) {
            r = sd_bus_message_append(m, "unnqiuu", 10u, std::int16_t{0}, std::int16_t{0},
                                      std::uint16_t{8}, 0, 0u, 0u);
        }
    } else {
        r = sd_bus_message_new_method_call(bus, &m, kHost, "/org/halvorin/Driver1/HIDSystem",
                                           "org.halvorin.Driver1.Service", "SetProperties");
        if (r >= 0 && member == "LargeProperties") {
            r = AppendLargeProperties(m);
        } else if (r >= 0 && member == "LargestMessage") {
            static const std::string bytes((32u << 20) - 4096, '\0');
            r = sd_bus_message_open_container(m, 'v', "ay");
            if (r >= 0) r = sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size());
            if (r >= 0) r = sd_bus_message_close_container(m);
        } else if (r >= 0) {
            r = sd_bus_message_append(m, "v", "a{sv}", 1, "ReverseScrollDirectionKey", "x",
                                      std::int64_t{1});
        }
    }
    if (r < 0) {
        return sd_bus_message_unref(m);
    }
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: BusFlood <count> reply|noreply <member>\n");
        return 2;
    }
    const std::uint64_t count = std::strtoull(argv[1], nullptr, 10);
    const bool expectReply = std::strcmp(argv[2], "reply") == 0;
    const std::string member = argv[3];
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) {
        std::fprintf(stderr, "no bus\n");
        return 1;
    }
    Answers answers;
    std::uint64_t sent = 0;
    const auto start = std::chrono::steady_clock::now();
    for (; sent < count; ++sent) {
        sd_bus_message* call = NewCall(bus, member);
        if (call == nullptr) {
            break;
        }
        int r = 0;
        if (expectReply) {
            while (answers.waiting >= kWindow) {
                if (sd_bus_process(bus, nullptr) == 0) {
                    sd_bus_wait(bus, UINT64_MAX);
                }
            }
            r = sd_bus_call_async(bus, nullptr, call, Answered, &answers, 0);
            answers.waiting += r >= 0;
        } else {
            sd_bus_message_set_expect_reply(call, 0);
            // A full write queue is emptied first.
            while ((r = sd_bus_send(bus, call, nullptr)) == -ENOBUFS) {
                sd_bus_flush(bus);
            }
        }
        sd_bus_message_unref(call);
        if (r < 0) {
            break;
        }
    }
    sd_bus_flush(bus);
    while (answers.waiting > 0) {
        if (sd_bus_process(bus, nullptr) == 0 && sd_bus_wait(bus, 30'000'000) == 0) {
            break;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::uint64_t answered = 0;
    for (const auto& [kind, k] : answers.kinds) {
        answered += k;
    }
    std::printf("sent=%llu answered=%llu seconds=%.2f\n", static_cast<unsigned long long>(sent),
                static_cast<unsigned long long>(answered), took.count());
    for (const auto& [kind, k] : answers.kinds) {
        std::printf("%s=%llu\n", kind.c_str(), static_cast<unsigned long long>(k));
    }
    sd_bus_flush_close_unref(bus);
    return 0;
}
