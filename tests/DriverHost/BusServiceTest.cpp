// The bus side on a private system bus with mock polkit and logind: who may
// change what, what reaches the driver, who hears its messages, and what a
// leaving client lets go of.
#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <memory>
#include <set>
#include <thread>

#include "AccelerationGain.h"
#include "BusLoop.h"
#include "BusService.h"
#include "DriverInstance.h"
#include "HIDSystem.h"
#include "HostMessageQueue.h"
#include "OSKext.h"
#include "OrvandelDriver.h"
#include "PostedEvents.h"
#include "PrivateBus.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kAllActions = {"org.halvorin.driver1.configure",
                                              "org.halvorin.driver1.post-events",
                                              "org.halvorin.driver1.subscribe"};

struct Sockets {
    Sockets() { socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, fds); }
    ~Sockets() { close(fds[0]), close(fds[1]); }
    int fds[2] = {-1, -1};
};

// (type, code, value) of every event written so far, waiting up to a limit
// for at least `atLeast` of them.
std::vector<std::array<int, 3>> Written(int fd, std::size_t atLeast = 0) {
    std::vector<std::array<int, 3>> events;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    do {
        input_event buffer[32];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0) {
            for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof(input_event); ++i) {
                events.push_back({buffer[i].type, buffer[i].code, buffer[i].value});
            }
        }
        if (events.size() >= atLeast) {
            break;
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return events;
}

// Calls sent without waiting collect the D-Bus error names of their answers.
int Collect(sd_bus_message* reply, void* errors, sd_bus_error*) {
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        static_cast<std::vector<std::string>*>(errors)->emplace_back(error->name);
    }
    return 0;
}

// The outcome of a call: the D-Bus error name, or "" and the returned status.
struct Outcome {
    std::string error;
    std::int32_t status = 0;
};

class DriverHostBus : public ::testing::Test {
protected:
    void SetUp() override {
        system = std::make_unique<PrivateBus>(PrivateBus::Policy::System);
        polkit = system->StartTemplate("polkitd", "org.freedesktop.PolicyKit1");
        ASSERT_NE(polkit, nullptr);
        ASSERT_NE(system->StartTemplate("logind", "org.freedesktop.login1"), nullptr);
        ASSERT_EQ(OSKext::load(kOrvandelDriverModule), kIOReturnSuccess);

        posted = std::make_unique<PostedEvents>(keyboard.fds[0]);
        server = system->Connect();
        ASSERT_NE(server, nullptr);
        service = std::make_unique<BusService>(server, messages, gains, *posted);
        loop = std::make_unique<BusLoop>(server, *service, messages);
        ASSERT_GE(service->Start(), 0);
        serving = std::thread([this] { loop->Run(); });

        client = system->Connect();
        ASSERT_NE(client, nullptr);
        instance = DriverInstance::Start(HALVORIN_VENDOR_ID, 401, pointer.fds[0], gains, messages);
        ASSERT_NE(instance, nullptr);
        path = std::string(kServicePathPrefix) + "/" + std::to_string(instance->RegistryId());
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (ClassName(path).empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        ASSERT_EQ(ClassName(path), "com_halvorin_OrvandelDriver");
    }

    void TearDown() override {
        instance.reset();
        if (loop) {
            loop->Stop();
        }
        if (serving.joinable()) {
            serving.join();
        }
        sd_bus_flush_close_unref(client);
        loop.reset();
        service.reset();
        sd_bus_flush_close_unref(server);
        OSKext::unload(kOrvandelDriverModule);
        system.reset();
    }

    std::string ClassName(const std::string& object) {
        char* name = nullptr;
        if (sd_bus_get_property_string(client, kDriverBusName, object.c_str(), kServiceInterface,
                                       "ClassName", nullptr, &name) < 0) {
            return {};
        }
        std::string result(name);
        free(name);
        return result;
    }

    void Mock(const char* destination, const char* path, const char* method, const char* types,
              auto... arguments) {
        sd_bus_error error{};
        EXPECT_GE(sd_bus_call_method(client, destination, path, "org.freedesktop.DBus.Mock", method,
                                     &error, nullptr, types, arguments...),
                  0)
            << method << ": " << (error.message ? error.message : "");
        sd_bus_error_free(&error);
    }
    // polkit's answers change, and it says so, as the real one does.
    void Allow(const std::vector<std::string>& actions) {
        std::vector<const char*> names;
        for (const auto& action : actions) {
            names.push_back(action.c_str());
        }
        names.resize(3, nullptr);
        Mock("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority", "SetAllowed",
             "as", static_cast<unsigned>(actions.size()), names[0], names[1], names[2]);
        Mock("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority", "EmitSignal",
             "sssav", "org.freedesktop.PolicyKit1.Authority", "Changed", "", 0);
    }
    // A new session, announced as logind announces it.
    void AddSession(const char* id, std::uint32_t uid, bool active) {
        Mock("org.freedesktop.login1", "/org/freedesktop/login1", "AddSession", "ssusb", id,
             "seat0", uid, "someone", active ? 1 : 0);
        const std::string session = std::string("/org/freedesktop/login1/session/") + id;
        Mock("org.freedesktop.login1", "/org/freedesktop/login1", "EmitSignal", "sssav",
             "org.freedesktop.login1.Manager", "SessionNew", "so", 2, "s", id, "o",
             session.c_str());
    }
    // logind's PropertiesChanged for the session's flag ("Active", "Remote").
    void SetSessionFlag(const char* id, const char* flag, bool value) {
        const std::string session = std::string("/org/freedesktop/login1/session/") + id;
        Mock("org.freedesktop.login1", session.c_str(), "UpdateProperties", "sa{sv}",
             "org.freedesktop.login1.Session", 1, flag, "b", value ? 1 : 0);
    }
    void Authorise() {
        AddSession("mine", getuid(), true);
        Allow(kAllActions);
    }
    // How often the stand-in was asked `method` so far.
    std::size_t CallsOf(const char* service, const char* path, const char* method) {
        sd_bus_message* reply = nullptr;
        std::size_t count = 0;
        if (sd_bus_call_method(client, service, path, "org.freedesktop.DBus.Mock", "GetCalls",
                               nullptr, &reply, "") >= 0 &&
            sd_bus_message_enter_container(reply, 'a', "(tsav)") > 0) {
            std::uint64_t time = 0;
            const char* name = nullptr;
            while (sd_bus_message_enter_container(reply, 'r', "tsav") > 0) {
                sd_bus_message_read(reply, "ts", &time, &name);
                count += std::strcmp(name, method) == 0;
                sd_bus_message_skip(reply, "av");
                sd_bus_message_exit_container(reply);
            }
        }
        sd_bus_message_unref(reply);
        return count;
    }

    // Calls with the arguments appended by append (the call object given).
    Outcome Call(sd_bus* from, const std::string& object, const char* interface, const char* member,
                 const std::function<void(sd_bus_message*)>& append) {
        sd_bus_message* call = nullptr;
        sd_bus_message* reply = nullptr;
        sd_bus_error error{};
        sd_bus_message_new_method_call(from, &call, kDriverBusName, object.c_str(), interface,
                                       member);
        append(call);
        Outcome outcome;
        if (sd_bus_call(from, call, 10'000'000, &error, &reply) < 0) {
            outcome.error = error.name ? error.name : "?";
        } else if (std::string(sd_bus_message_get_signature(reply, 1)) == "i") {
            sd_bus_message_read(reply, "i", &outcome.status);
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        sd_bus_message_unref(call);
        return outcome;
    }
    // The object paths the object manager lists.
    std::set<std::string> ManagedObjects() {
        std::set<std::string> paths;
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(client, kDriverBusName, kDriverRootPath,
                               "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr,
                               &reply, "") >= 0 &&
            sd_bus_message_enter_container(reply, 'a', "{oa{sa{sv}}}") > 0) {
            while (sd_bus_message_enter_container(reply, 'e', "oa{sa{sv}}") > 0) {
                const char* object = nullptr;
                sd_bus_message_read(reply, "o", &object);
                paths.insert(object);
                sd_bus_message_skip(reply, "a{sa{sv}}");
                sd_bus_message_exit_container(reply);
            }
        }
        sd_bus_message_unref(reply);
        return paths;
    }
    Outcome SetReverseScroll(sd_bus* from, const std::string& object) {
        return Call(from, object, kServiceInterface, "SetProperties", [](sd_bus_message* m) {
            sd_bus_message_append(m, "v", "a{sv}", 1, "ReverseScrollDirectionKey", "x",
                                  std::int64_t{1});
        });
    }
    Outcome SetAcceleration(sd_bus* from, const char* key, double value) {
        return Call(from, kHIDSystemPath, kHIDSystemInterface, "SetAcceleration",
                    [&](sd_bus_message* m) { sd_bus_message_append(m, "sd", key, value); });
    }
    Outcome Post(sd_bus* from, std::uint32_t type, std::uint16_t keyCode, std::uint32_t flags) {
        return Call(from, kHIDSystemPath, kHIDSystemInterface, "PostEvent", [&](sd_bus_message* m) {
            sd_bus_message_append(m, "unnqiuu", type, std::int16_t{0}, std::int16_t{0}, keyCode, 0,
                                  flags, 0U);
        });
    }
    Outcome Subscribe(sd_bus* from) {
        return Call(from, path, kServiceInterface, "Subscribe", [](sd_bus_message*) {});
    }
    // The vertical hi-res delta the pointer writes for one wheel notch up.
    int WheelOutput() {
        input_event frame[2] = {};
        frame[0].type = EV_REL;
        frame[0].code = REL_WHEEL;
        frame[0].value = 1;
        frame[1].type = EV_SYN;
        for (const input_event& event : frame) {
            instance->Feed(event);
        }
        for (const auto& event : Written(pointer.fds[1], 1)) {
            if (event[0] == EV_REL && event[1] == REL_WHEEL_HI_RES) {
                return event[2];
            }
        }
        return 0;
    }

    // The next Message signal that reaches the connection (which matched
    // them), waiting up to the limit.
    static std::optional<std::uint32_t> NextMessage(sd_bus* bus, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            sd_bus_message* m = nullptr;
            if (sd_bus_process(bus, &m) > 0 && m != nullptr) {
                std::uint32_t type = 0;
                std::uint64_t argument = 0;
                const bool isMessage =
                    sd_bus_message_is_signal(m, "org.halvorin.Driver1.Service", "Message") > 0 &&
                    sd_bus_message_read(m, "ut", &type, &argument) > 0;
                sd_bus_message_unref(m);
                if (isMessage) {
                    return type;
                }
                continue;
            }
            sd_bus_wait(bus, 10'000);
        }
        return std::nullopt;
    }
    // The left button pressed and let go on the mouse: the driver tells its
    // subscribers 0xff (all buttons up).
    void Click() {
        for (const int value : {1, 0}) {
            instance->Feed({{}, EV_KEY, BTN_LEFT, value});
            instance->Feed({{}, EV_SYN, SYN_REPORT, 0});
        }
        Written(pointer.fds[1], 4);
    }
    std::string UniqueName(sd_bus* bus) {
        const char* name = nullptr;
        sd_bus_get_unique_name(bus, &name);
        return name;
    }
    // A signal sent straight to the host's connection by the user nobody
    // (the bus policy stops most of them) and by another of root's processes.
    void Forge(const std::vector<std::string>& signal) {
        for (const bool asNobody : {true, false}) {
            ASSERT_EQ(system->Emit(UniqueName(server), signal, asNobody), 0);
        }
    }
    // Subscribed to the instance's messages, which NextMessage then reads.
    void SubscribeAndListen() {
        ASSERT_GE(sd_bus_add_match(client, nullptr,
                                   "type='signal',interface='org.halvorin.Driver1.Service'",
                                   nullptr, nullptr),
                  0);
        EXPECT_EQ(Subscribe(client).error, "");
    }
    // Serves the connection for the time given.
    static void ServeFor(sd_bus* bus, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (sd_bus_process(bus, nullptr) == 0) {
                sd_bus_wait(bus, 10'000);
            }
        }
    }

    std::unique_ptr<PrivateBus> system;
    ChildProcess* polkit = nullptr;
    Sockets keyboard, pointer;
    AccelerationGains gains;
    HostMessageQueue messages;
    std::unique_ptr<PostedEvents> posted;
    sd_bus* server = nullptr;
    sd_bus* client = nullptr;
    std::unique_ptr<BusService> service;
    std::unique_ptr<BusLoop> loop;
    std::thread serving;
    std::unique_ptr<DriverInstance> instance;
    std::string path;
};

TEST_F(DriverHostBus, UnauthorisedCallersChangeNothing) {
    const std::string denied = SD_BUS_ERROR_ACCESS_DENIED;
    struct Situation {
        const char* what;
        std::function<void()> arrange;
    } situations[] = {
        {"no session at all", [&] { Allow(kAllActions); }},
        {"only another user's session is active", [&] { AddSession("other", 4242, true); }},
        {"the caller's session is inactive", [&] { AddSession("idle", getuid(), false); }},
        {"the caller's active session is remote",
         [&] {
             AddSession("far", getuid(), true);
             SetSessionFlag("far", "Remote", true);
         }},
        {"polkit refuses",
         [&] {
             AddSession("mine", getuid(), true);
             Allow({});
         }},
        {"polkit is absent",
         [&] {
             Allow(kAllActions);
             polkit->Stop(SIGTERM);
         }},
    };
    for (const Situation& situation : situations) {
        situation.arrange();
        EXPECT_EQ(SetReverseScroll(client, path).error, denied) << situation.what;
        EXPECT_EQ(SetAcceleration(client, "HIDMouseAcceleration", 0.0).error, denied)
            << situation.what;
        EXPECT_EQ(Post(client, NX_FLAGSCHANGED, 0, NX_SHIFTMASK).error, denied) << situation.what;
        EXPECT_EQ(Subscribe(client).error, denied) << situation.what;
    }
    EXPECT_EQ(gains.Get(AccelerationGains::Axis::Pointer), 1.0);
    EXPECT_EQ(WheelOutput(), 120) << "the scroll direction changed";
    EXPECT_TRUE(Written(keyboard.fds[1]).empty());
}

TEST_F(DriverHostBus, AuthorisedCallsReachTheDriverAndOnlySubscribersHearIt) {
    Authorise();
    EXPECT_EQ(ClassName(kHIDSystemPath), "IOHIDSystem");
    std::uint32_t product = 0;
    sd_bus_get_property_trivial(client, kDriverBusName, path.c_str(), kServiceInterface,
                                "ProductID", nullptr, 'u', &product);
    EXPECT_EQ(product, 401U);
    EXPECT_EQ(ManagedObjects(), (std::set<std::string>{kHIDSystemPath, path}));

    EXPECT_EQ(SetReverseScroll(client, path).error, "");
    EXPECT_EQ(WheelOutput(), -120);
    const Outcome acceleration = SetAcceleration(client, "HIDMouseAcceleration", 0.0);
    EXPECT_EQ(acceleration.error, "");
    EXPECT_EQ(acceleration.status, kIOReturnSuccess);
    EXPECT_DOUBLE_EQ(gains.Get(AccelerationGains::Axis::Pointer), 0.25);

    // A bystander listening for the signal hears nothing: messages are unicast.
    sd_bus* bystander = system->Connect();
    ASSERT_GE(sd_bus_add_match(bystander, nullptr,
                               "type='signal',interface='org.halvorin.Driver1.Service'", nullptr,
                               nullptr),
              0);
    SubscribeAndListen();
    instance->End();

    EXPECT_EQ(NextMessage(client, 10s),
              std::optional<std::uint32_t>(kIOMessageServiceIsTerminated));
    EXPECT_EQ(NextMessage(bystander, 300ms), std::nullopt);
    EXPECT_EQ(SetReverseScroll(client, path).error, SD_BUS_ERROR_UNKNOWN_OBJECT);
    sd_bus_flush_close_unref(bystander);
}

TEST_F(DriverHostBus, MalformedArgumentsAreRefusedBeforeAnything) {
    Authorise();
    const std::string invalid = SD_BUS_ERROR_INVALID_ARGS;
    auto nested = [](int depth) {
        return [depth](sd_bus_message* m) {
            sd_bus_message_open_container(m, 'v', "av");
            for (int i = 0; i < depth; ++i) {
                sd_bus_message_open_container(m, 'a', "v");
                sd_bus_message_open_container(m, 'v', "av");
            }
            sd_bus_message_open_container(m, 'a', "v");
            sd_bus_message_close_container(m);
            for (int i = 0; i < depth; ++i) {
                sd_bus_message_close_container(m);
                sd_bus_message_close_container(m);
            }
            sd_bus_message_close_container(m);
        };
    };
    struct Case {
        const char* what;
        std::function<Outcome()> call;
        std::string error;
    } cases[] = {
        {"an object path",
         [&] {
             return Call(client, path, kServiceInterface, "SetProperties",
                         [](sd_bus_message* m) { sd_bus_message_append(m, "v", "o", "/x"); });
         },
         invalid},
        {"a real number",
         [&] {
             return Call(client, path, kServiceInterface, "SetProperties",
                         [](sd_bus_message* m) { sd_bus_message_append(m, "v", "d", 1.5); });
         },
         invalid},
        {"nested too deep",
         [&] { return Call(client, path, kServiceInterface, "SetProperties", nested(12)); },
         invalid},
        {"an unknown acceleration",
         [&] { return SetAcceleration(client, "HIDTrackpadAcceleration", 1.0); }, invalid},
        {"an acceleration not a number",
         [&] { return SetAcceleration(client, "HIDMouseAcceleration", NAN); }, invalid},
        {"an event type never posted", [&] { return Post(client, 99, 0, 0); }, invalid},
        {"an unknown object",
         [&] { return SetReverseScroll(client, std::string(kServicePathPrefix) + "/999"); },
         SD_BUS_ERROR_UNKNOWN_OBJECT},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call().error, c.error) << c.what;
    }
    EXPECT_EQ(gains.Get(AccelerationGains::Axis::Pointer), 1.0);
    EXPECT_EQ(WheelOutput(), 120);
}

TEST_F(DriverHostBus, ALeavingClientLetsGoOfWhatItHeld) {
    Authorise();
    sd_bus* agent = system->Connect();
    EXPECT_EQ(Post(agent, NX_FLAGSCHANGED, 0, NX_SHIFTMASK | NX_COMMANDMASK).status,
              kIOReturnSuccess);
    EXPECT_EQ(Post(client, NX_FLAGSCHANGED, 0, NX_SHIFTMASK).status, kIOReturnSuccess);
    EXPECT_EQ(Post(agent, NX_LMOUSEDOWN, 0, 0).status, kIOReturnSuccess);
    EXPECT_EQ(Written(keyboard.fds[1], 5).size(),
              5U);  // two modifiers, a report, a button, a report
    sd_bus_flush_close_unref(agent);
    // The other client still holds shift.
    const std::vector<std::array<int, 3>> released = {
        {EV_KEY, KEY_LEFTMETA, 0}, {EV_KEY, BTN_LEFT, 0}, {EV_SYN, SYN_REPORT, 0}};
    auto after = Written(keyboard.fds[1], 3);
    std::sort(after.begin(), after.end());
    auto expected = released;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected);
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST_F(DriverHostBus, ASlowCheckHoldsUpOnlyItsCallersLaterCalls) {
    Authorise();
    Mock("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
         "SimulateHangActions", "as", 1, "org.halvorin.driver1.configure");
    // The agent's way: calls sent without waiting for the answers.
    int answered = 0;
    auto count = [](sd_bus_message*, void* answers, sd_bus_error*) {
        ++*static_cast<int*>(answers);
        return 0;
    };
    ASSERT_GE(sd_bus_call_method_async(client, nullptr, kDriverBusName, kHIDSystemPath,
                                       kHIDSystemInterface, "SetAcceleration", count, &answered,
                                       "sd", "HIDMouseAcceleration", 0.0),
              0);
    ASSERT_GE(sd_bus_call_method_async(client, nullptr, kDriverBusName, kHIDSystemPath,
                                       kHIDSystemInterface, "PostEvent", count, &answered,
                                       "unnqiuu", NX_KEYDOWN, std::int16_t{0}, std::int16_t{0},
                                       std::uint16_t{0x00}, 0, 0U, 0U),
              0);
    sd_bus_flush(client);

    // Another client and the mice go on meanwhile.
    sd_bus* other = system->Connect();
    EXPECT_EQ(Post(other, NX_KEYDOWN, 0x01, 0).status, kIOReturnSuccess);
    EXPECT_EQ(WheelOutput(), 120);
    using Events = std::vector<std::array<int, 3>>;
    EXPECT_EQ(Written(keyboard.fds[1], 2), (Events{{EV_KEY, KEY_S, 1}, {EV_SYN, SYN_REPORT, 0}}))
        << "the first client's key overtook its acceleration";
    EXPECT_EQ(gains.Get(AccelerationGains::Axis::Pointer), 1.0);

    Mock("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
         "ReleaseHangingCalls", "");
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (answered < 2 && std::chrono::steady_clock::now() < deadline) {
        if (sd_bus_process(client, nullptr) == 0) {
            sd_bus_wait(client, 10'000);
        }
    }
    EXPECT_EQ(Written(keyboard.fds[1], 2), (Events{{EV_KEY, KEY_A, 1}, {EV_SYN, SYN_REPORT, 0}}));
    EXPECT_DOUBLE_EQ(gains.Get(AccelerationGains::Axis::Pointer), 0.25);
    sd_bus_flush_close_unref(other);
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

const char* const kPolkit = "org.freedesktop.PolicyKit1";
const char* const kAuthority = "/org/freedesktop/PolicyKit1/Authority";
const char* const kLogind = "org.freedesktop.login1";
const char* const kLogindPath = "/org/freedesktop/login1";

// A call sent without waiting; the errors of its answer go to `errors`.
void Send(sd_bus* from, const char* member, std::vector<std::string>& errors, bool large = false) {
    sd_bus_message* call = nullptr;
    if (std::strcmp(member, "PostEvent") == 0) {
        sd_bus_message_new_method_call(from, &call, kDriverBusName, kHIDSystemPath,
                                       kHIDSystemInterface, member);
        sd_bus_message_append(call, "unnqiuu", NX_KEYDOWN, std::int16_t{0}, std::int16_t{0},
                              std::uint16_t{0}, 0, 0U, 0U);
    } else {
        sd_bus_message_new_method_call(from, &call, kDriverBusName, kHIDSystemPath,
                                       kServiceInterface, member);
        sd_bus_message_open_container(call, 'v', "as");
        sd_bus_message_open_container(call, 'a', "s");
        const std::string text(large ? 1000 : 1, 'x');
        for (int i = 0; i < (large ? 100 : 1); ++i) {
            sd_bus_message_append(call, "s", text.c_str());
        }
        sd_bus_message_close_container(call);
        sd_bus_message_close_container(call);
    }
    sd_bus_call_async(from, nullptr, call, Collect, &errors, 0);
    sd_bus_message_unref(call);
}

TEST_F(DriverHostBus, WorkWaitingForItsCheckIsBoundedAndTheExcessRefusedAtOnce) {
    Authorise();
    Mock(kPolkit, kAuthority, "SimulateHang", "b", 1);
    const std::string limits = kLimitsExceededError;
    // Each step opens a connection of the test's user and sends calls whose
    // checks hang; what exceeds a bound is refused at once.
    struct Step {
        const char* what;
        int calls;
        bool large;
        std::size_t refused;
    } steps[] = {
        {"a connection holds 64 calls", 65, false, 1},
        {"a connection holds 64 KiB of arguments", 1, true, 1},
        {"three more connections fill the user's 256", 64, false, 0},
        {"", 64, false, 0},
        {"", 64, false, 0},
        {"the user's connections hold 256 calls", 2, false, 2},
    };
    std::vector<sd_bus*> connections;
    std::vector<std::string> errors[std::size(steps)];
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        connections.push_back(system->Connect());
        for (int call = 0; call < steps[i].calls; ++call) {
            Send(connections.back(), steps[i].large ? "SetProperties" : "PostEvent", errors[i],
                 steps[i].large);
        }
        // The refusals come at once; a moment more shows none beyond them.
        WaitUntil([&] { return errors[i].size() >= steps[i].refused; },
                  [&] { ServeFor(connections.back(), 10ms); });
        ServeFor(connections.back(), 200ms);
        EXPECT_EQ(errors[i], std::vector<std::string>(steps[i].refused, limits)) << steps[i].what;
    }
    Mock(kPolkit, kAuthority, "SimulateHang", "b", 0);
    Mock(kPolkit, kAuthority, "ReleaseHangingCalls", "");
    for (sd_bus* connection : connections) {
        sd_bus_flush_close_unref(connection);
    }
}

TEST_F(DriverHostBus, AUserWithoutASessionIsRefusedWithoutAskingLogindOrPolkit) {
    Authorise();
    auto asked = [&] {
        return CallsOf(kLogind, kLogindPath, "ListSessions") +
               CallsOf(kLogind, "/org/freedesktop/login1/session/mine", "GetAll") +
               CallsOf(kPolkit, kAuthority, "CheckAuthorization");
    };
    const std::size_t before = asked();
    for (const std::string mode : {"noreply", "reply"}) {
        auto flood = system->StartAsNobody({HALVORIN_BUS_FLOOD, "2000", mode, "PostEvent"}, true);
        std::vector<std::string> lines;
        for (std::string line; !(line = flood->ReadLine(30s)).empty();) {
            lines.push_back(line);
        }
        ASSERT_FALSE(lines.empty());
        // Refused for the session, or while the bus had not said whose the
        // calls are, for their number.
        std::size_t refused = 0;
        for (const std::string& line : lines) {
            for (const std::string kind : {"AccessDenied=", "LimitsExceeded="}) {
                if (const auto at = line.find(kind); at != std::string::npos) {
                    refused += std::stoul(line.substr(at + kind.size()));
                }
            }
        }
        EXPECT_EQ(refused, mode == "reply" ? 2000U : 0U) << lines.front();
    }
    EXPECT_EQ(asked(), before);
    EXPECT_TRUE(Written(keyboard.fds[1]).empty());
    // The user of the seat is served meanwhile, and afterwards.
    EXPECT_EQ(Post(client, NX_KEYDOWN, 0x00, 0).status, kIOReturnSuccess);
}

TEST_F(DriverHostBus, AVerdictIsAskedOnceAndAgainOnlyWhenPolkitTheSessionOrTheClientChanges) {
    Authorise();
    sd_bus* other = system->Connect();
    auto asks = [&] { return CallsOf(kPolkit, kAuthority, "CheckAuthorization"); };
    struct Step {
        const char* what;
        std::function<void()> change;
        sd_bus* poster;
        std::size_t asked;
    } steps[] = {
        {"the first posts", [] {}, client, 1},
        {"later posts", [] {}, client, 0},
        {"polkit's authorisations changed", [&] { Allow(kAllActions); }, client, 1},
        {"the session was switched out and back",
         [&] {
             SetSessionFlag("mine", "Active", false);
             SetSessionFlag("mine", "Active", true);
         },
         client, 1},
        {"another client", [] {}, other, 1},
    };
    for (const Step& step : steps) {
        step.change();
        const std::size_t before = asks();
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(Post(step.poster, NX_KEYDOWN, 0x00, 0).status, kIOReturnSuccess) << step.what;
        }
        EXPECT_EQ(asks() - before, step.asked) << step.what;
    }
    sd_bus_flush_close_unref(other);
}

TEST_F(DriverHostBus, SignalsFromAnyoneButTheirSendersOwnersChangeNothing) {
    Authorise();
    SubscribeAndListen();
    EXPECT_EQ(Post(client, NX_FLAGSCHANGED, 0, NX_SHIFTMASK).status, kIOReturnSuccess);
    EXPECT_EQ(Written(keyboard.fds[1], 2).size(), 2U);
    const std::size_t asked = CallsOf(kPolkit, kAuthority, "CheckAuthorization");
    const std::string me = UniqueName(client);
    const std::string session = "/org/freedesktop/login1/session/mine";
    // The client left; its session went inactive, or away; polkit changed.
    Forge({"/org/freedesktop/DBus", "org.freedesktop.DBus", "NameOwnerChanged", "sss", me, me, ""});
    Forge({session, "org.freedesktop.DBus.Properties", "PropertiesChanged", "sa{sv}as",
           "org.freedesktop.login1.Session", "1", "Active", "b", "false", "0"});
    Forge({kLogindPath, "org.freedesktop.login1.Manager", "SessionRemoved", "so", "mine", session});
    Forge({kAuthority, "org.freedesktop.PolicyKit1.Authority", "Changed"});

    EXPECT_TRUE(Written(keyboard.fds[1]).empty()) << "shift was let go";
    EXPECT_EQ(Post(client, NX_KEYDOWN, 0x00, NX_SHIFTMASK).status, kIOReturnSuccess);
    EXPECT_EQ(CallsOf(kPolkit, kAuthority, "CheckAuthorization"), asked);
    Click();
    EXPECT_EQ(NextMessage(client, 10s), std::optional<std::uint32_t>(0xff));
}

TEST_F(DriverHostBus, WhileItsSessionIsNotActiveAClientHoldsNothingAndHearsNoButtons) {
    Authorise();
    SubscribeAndListen();
    EXPECT_EQ(Post(client, NX_FLAGSCHANGED, 0, NX_CONTROLMASK).status, kIOReturnSuccess);
    Written(keyboard.fds[1], 2);

    SetSessionFlag("mine", "Active", false);
    using Events = std::vector<std::array<int, 3>>;
    EXPECT_EQ(Written(keyboard.fds[1], 2),
              (Events{{EV_KEY, KEY_LEFTCTRL, 0}, {EV_SYN, SYN_REPORT, 0}}));
    Click();
    EXPECT_EQ(NextMessage(client, 300ms), std::nullopt);

    // Back, it hears the buttons again without subscribing anew.
    SetSessionFlag("mine", "Active", true);
    Click();
    EXPECT_EQ(NextMessage(client, 10s), std::optional<std::uint32_t>(0xff));
}

TEST_F(DriverHostBus, LettingGoOfWhatTheClientHoldsNeedsNoAuthorisation) {
    Authorise();
    EXPECT_EQ(Post(client, NX_KEYDOWN, 0x00, 0).status, kIOReturnSuccess);
    EXPECT_EQ(Post(client, NX_FLAGSCHANGED, 0, NX_CONTROLMASK).status, kIOReturnSuccess);
    Written(keyboard.fds[1], 4);
    Allow({});
    EXPECT_EQ(Post(client, NX_KEYUP, 0x00, 0).error, "");
    EXPECT_EQ(Post(client, NX_FLAGSCHANGED, 0, 0).error, "");
    EXPECT_EQ(Post(client, NX_KEYDOWN, 0x01, 0).error, SD_BUS_ERROR_ACCESS_DENIED);
    using Events = std::vector<std::array<int, 3>>;
    EXPECT_EQ(Written(keyboard.fds[1], 4), (Events{{EV_KEY, KEY_A, 0},
                                                   {EV_SYN, SYN_REPORT, 0},
                                                   {EV_KEY, KEY_LEFTCTRL, 0},
                                                   {EV_SYN, SYN_REPORT, 0}}));
}

}  // namespace
}  // namespace platform
