// The event path through its descriptor seams: evdev frames in over a
// socket, the driver, the virtual pointer's events out over another.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "AccelerationGain.h"
#include "DriverInstance.h"
#include "EventWriter.h"
#include "HIDSystem.h"
#include "HostMessageQueue.h"
#include "HostMessages.h"
#include "IOTypes.h"
#include "OSKext.h"
#include "OrvandelDriver.h"
#include "PostedEvents.h"
#include "UinputDevice.h"

namespace platform {
namespace {

struct Ev {
    std::uint16_t type;
    std::uint16_t code;
    std::int32_t value;
    bool operator==(const Ev&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Ev& e) {
    return out << "{" << e.type << "," << e.code << "," << e.value << "}";
}
constexpr Ev Syn{EV_SYN, SYN_REPORT, 0};
constexpr Ev Rel(std::uint16_t code, std::int32_t value) {
    return {EV_REL, code, value};
}
constexpr Ev Key(std::uint16_t code, std::int32_t value) {
    return {EV_KEY, code, value};
}

class Sockets {
public:
    Sockets() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, fds), 0); }
    ~Sockets() { close(fds[0]), close(fds[1]); }
    int fds[2] = {-1, -1};
};

std::vector<Ev> ReadAll(int fd) {
    std::vector<Ev> events;
    input_event buffer[64];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof(input_event); ++i) {
            events.push_back({buffer[i].type, buffer[i].code, buffer[i].value});
        }
    }
    return events;
}

class DeviceSeam : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(OSKext::load(kOrvandelDriverModule), kIOReturnSuccess);
        instance = DriverInstance::Start(HALVORIN_VENDOR_ID, 402, out.fds[0], gains, messages);
        ASSERT_NE(instance, nullptr);
    }
    void TearDown() override {
        instance.reset();
        OSKext::unload(kOrvandelDriverModule);
    }
    std::vector<Ev> Send(const std::vector<Ev>& events) {
        std::vector<input_event> raw;
        for (const Ev& e : events) {
            input_event event{};
            event.type = e.type;
            event.code = e.code;
            event.value = e.value;
            raw.push_back(event);
        }
        EXPECT_EQ(write(in.fds[1], raw.data(), raw.size() * sizeof(input_event)),
                  static_cast<ssize_t>(raw.size() * sizeof(input_event)));
        EXPECT_TRUE(FeedRawEvents(in.fds[0], *instance));
        return ReadAll(out.fds[1]);
    }
    std::vector<HostMessage> Messages() {
        std::vector<HostMessage> all;
        HostMessage message;
        while (messages.Pop(message)) {
            all.push_back(message);
        }
        return all;
    }

    Sockets in, out;
    AccelerationGains gains;
    HostMessageQueue messages;
    std::unique_ptr<DriverInstance> instance;
};

TEST_F(DeviceSeam, FramesBecomeVirtualPointerEvents) {
    struct Case {
        const char* what;
        std::vector<Ev> in;
        std::vector<Ev> out;
    } cases[] = {
        {"motion", {Rel(REL_X, 3), Rel(REL_Y, -2), Syn}, {Rel(REL_X, 3), Rel(REL_Y, -2), Syn}},
        {"deltas of one frame add up", {Rel(REL_X, 1), Rel(REL_X, 2), Syn}, {Rel(REL_X, 3), Syn}},
        {"press and release in the standard click layout",
         {Key(BTN_LEFT, 1), Syn, Key(BTN_MIDDLE, 1), Syn, Key(BTN_LEFT, 0), Key(BTN_MIDDLE, 0),
          Syn},
         {Key(BTN_LEFT, 1), Syn, Key(BTN_MIDDLE, 1), Syn, Key(BTN_LEFT, 0), Key(BTN_MIDDLE, 0),
          Syn}},
        {"wheel notches, their hi-res twins ignored on input",
         {Rel(REL_WHEEL, -1), Rel(REL_WHEEL_HI_RES, -120), Rel(REL_HWHEEL, 2), Syn},
         {Rel(REL_WHEEL_HI_RES, -120), Rel(REL_WHEEL, -1), Rel(REL_HWHEEL_HI_RES, 240),
          Rel(REL_HWHEEL, 2), Syn}},
        {"a frame torn by SYN_DROPPED is thrown away up to its report",
         {Rel(REL_X, 5),
          {EV_SYN, SYN_DROPPED, 0},
          Rel(REL_X, 7),
          Key(BTN_LEFT, 1),
          Syn,
          Rel(REL_Y, 1),
          Syn},
         {Rel(REL_Y, 1), Syn}},
        {"a frame with nothing to forward writes nothing", {Rel(REL_WHEEL_HI_RES, 60), Syn}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Send(c.in), c.out) << c.what;
    }
}

TEST_F(DeviceSeam, GainKeepsTheFractionPerAxis) {
    // The slowest setting moves a quarter as far, but four single counts still arrive.
    ASSERT_TRUE(gains.Set(kIOHIDMouseAccelerationType, 0.0));
    std::vector<Ev> out;
    for (int i = 0; i < 4; ++i) {
        for (const Ev& e : Send({Rel(REL_X, 1), Rel(REL_Y, -1), Syn})) {
            out.push_back(e);
        }
    }
    EXPECT_EQ(out, (std::vector<Ev>{Rel(REL_X, 1), Rel(REL_Y, -1), Syn}));

    // Scroll gain in 1/120 notch units: a whole notch once four have come in.
    ASSERT_TRUE(gains.Set(kIOHIDMouseScrollAccelerationType, 0.0));
    EXPECT_EQ(Send({Rel(REL_WHEEL, 1), Syn, Rel(REL_WHEEL, 1), Syn, Rel(REL_WHEEL, 2), Syn}),
              (std::vector<Ev>{Rel(REL_WHEEL_HI_RES, 30), Syn, Rel(REL_WHEEL_HI_RES, 30), Syn,
                               Rel(REL_WHEEL_HI_RES, 60), Rel(REL_WHEEL, 1), Syn}));
}

TEST_F(DeviceSeam, EndingMidPressLeavesNothingHeld) {
    Send({Key(BTN_LEFT, 1), Syn, Key(BTN_RIGHT, 1), Syn});
    instance->End();
    EXPECT_EQ(ReadAll(out.fds[1]), (std::vector<Ev>{Key(BTN_LEFT, 0), Key(BTN_RIGHT, 0), Syn}));
    EXPECT_EQ(KindsOf(Messages()), kLifeEndingMidPress);
    EXPECT_EQ(IOService::copyServiceWithID(instance->RegistryId()), nullptr);
}

TEST(AccelerationGain, CurveThroughTheSensitivityTable) {
    struct Case {
        double acceleration;
        std::optional<double> gain;
    } cases[] = {{0.875, 1.0},
                 {0.0, 0.25},
                 {3.0, 0.25 + 18.0 / 7.0},
                 {-5.0, 0.25},
                 {9.0, 0.25 + 18.0 / 7.0},
                 {NAN, std::nullopt},
                 {INFINITY, std::nullopt}};
    for (const Case& c : cases) {
        const auto gain = GainForAcceleration(c.acceleration);
        ASSERT_EQ(gain.has_value(), c.gain.has_value()) << c.acceleration;
        if (gain) {
            EXPECT_DOUBLE_EQ(*gain, *c.gain) << c.acceleration;
        }
    }
    AccelerationGains gains;
    EXPECT_FALSE(gains.Set("HIDTrackpadAcceleration", 1.0));
    EXPECT_FALSE(gains.Set(kIOHIDMouseAccelerationType, NAN));
    EXPECT_EQ(gains.Get(AccelerationGains::Axis::Pointer), 1.0);
}

TEST(AccelerationGain, ExtremeDeltasSaturateWithoutCarry) {
    GainedAxis axis;
    EXPECT_EQ(axis.Apply(std::numeric_limits<std::int32_t>::max(), 3.0),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(axis.Apply(0, 3.0), 0);
}

TEST(PostedEvents, PressesAreRateLimitedPerUserButReleasesAlwaysPass) {
    Sockets keyboard;
    PostedEvents posted(keyboard.fds[0]);
    const auto start = PostedEvents::Clock::now();
    auto press = [&](const char* client, uid_t uid, std::uint16_t code, bool down,
                     std::chrono::milliseconds later = {}) {
        return posted.Play(client, uid, {PostedAction::Kind::Press, code, down, {}}, start + later);
    };
    // Two connections of one user share its allowance.
    for (int i = 0; i < PostedEvents::kBurst; ++i) {
        ASSERT_EQ(press(i % 2 == 0 ? "agent" : "agent2", 1000, KEY_A, true), kIOReturnSuccess) << i;
    }
    EXPECT_EQ(press("agent3", 1000, KEY_B, true), kIOReturnNotPermitted) << "per user";
    EXPECT_EQ(press("other", 1001, KEY_B, true), kIOReturnSuccess);
    EXPECT_EQ(press("agent", 1000, KEY_A, false), kIOReturnSuccess);
    EXPECT_EQ(press("agent", 1000, KEY_B, true, std::chrono::milliseconds(10)), kIOReturnSuccess);
    ReadAll(keyboard.fds[1]);
    posted.ReleaseAll("agent");
    EXPECT_EQ(ReadAll(keyboard.fds[1]), std::vector<Ev>{}) << "others still hold A and B";
    posted.ReleaseAll("agent2");
    EXPECT_EQ(ReadAll(keyboard.fds[1]), (std::vector<Ev>{Key(KEY_A, 0), Syn}));
    posted.ReleaseAll("other");
    EXPECT_EQ(ReadAll(keyboard.fds[1]), (std::vector<Ev>{Key(KEY_B, 0), Syn}));
}

TEST(PostedEvents, OnlyLettingGoOfWhatTheClientHoldsIsARelease) {
    Sockets keyboard;
    PostedEvents posted(keyboard.fds[0]);
    const auto now = PostedEvents::Clock::now();
    using Kind = PostedAction::Kind;
    posted.Play("agent", 1000, {Kind::Press, KEY_C, true, {}}, now);
    posted.Play("agent", 1000, {Kind::Modifiers, 0, false, {KEY_LEFTCTRL, KEY_LEFTSHIFT}}, now);
    const struct {
        const char* client;
        PostedAction action;
        bool release;
    } cases[] = {
        {"agent", {Kind::Press, KEY_C, false, {}}, true},
        {"agent", {Kind::Modifiers, 0, false, {KEY_LEFTCTRL}}, true},
        {"agent", {Kind::Modifiers, 0, false, {}}, true},
        {"agent", {Kind::Press, KEY_D, false, {}}, false},
        {"agent", {Kind::Press, KEY_C, true, {}}, false},
        {"agent", {Kind::Modifiers, 0, false, {KEY_LEFTCTRL, KEY_LEFTSHIFT}}, false},
        {"agent", {Kind::Modifiers, 0, false, {KEY_LEFTALT}}, false},
        {"other", {Kind::Press, KEY_C, false, {}}, false},
        {"other", {Kind::Modifiers, 0, false, {}}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(posted.OnlyReleases(c.client, c.action), c.release)
            << c.client << " " << c.action.code << " " << c.action.modifiers.size();
    }
}

TEST(HostMessageQueue, DropsWhenFullAndSignalsOnlyWhilePending) {
    HostMessageQueue queue;
    for (std::size_t i = 0; i < HostMessageQueue::kCapacity; ++i) {
        ASSERT_TRUE(queue.Push({HostMessage::Kind::Message, i, 0, 0}));
    }
    EXPECT_FALSE(queue.Push({}));
    EXPECT_EQ(queue.TakeDroppedCount(), 1U);
    HostMessage message;
    for (std::size_t i = 0; i < HostMessageQueue::kCapacity; ++i) {
        ASSERT_TRUE(queue.Pop(message));
        EXPECT_EQ(message.registryId, i);
    }
    EXPECT_FALSE(queue.Pop(message));
    std::uint64_t count = 0;
    EXPECT_LT(read(queue.Descriptor(), &count, sizeof count), 0) << "still readable when empty";
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

// Only where the kernel offers uinput (never on the build machines).
TEST(UinputDevices, TakeTheHostsFrames) {
    if (access("/dev/uinput", W_OK) != 0) {
        GTEST_SKIP() << "no writable /dev/uinput";
    }
    for (auto kind : {UinputDevice::Kind::Pointer, UinputDevice::Kind::Keyboard}) {
        auto device = UinputDevice::Create(kind, "Halvorin test device", "test");
        ASSERT_NE(device, nullptr) << std::strerror(errno);
        EventWriter writer(device->Descriptor());
        writer.Add(EV_KEY, BTN_LEFT, 1);
        writer.Flush();
        writer.Add(EV_KEY, BTN_LEFT, 0);
        writer.Flush();
    }
}

}  // namespace
}  // namespace platform
