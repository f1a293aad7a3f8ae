// The real udev and libevdev code of the event side against umockdev's fake
// device tree (run under umockdev-wrapper): discovery with hotplug, the wait
// for released buttons before the grab, frames reaching the virtual pointer,
// an unplug mid-press that leaves nothing held, and the vendor id set in the
// machine's configuration.
#include <glib.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/socket.h>
#include <umockdev.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeMouse.h"
#include "HostMessageQueue.h"
#include "HostMessages.h"
#include "Logging.h"
#include "MouseDiscovery.h"
#include "MouseHost.h"
#include "OSKext.h"
#include "OrvandelDriver.h"
#include "TemporaryHome.h"
#include "VendorIdSetting.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

class FakeSocketPointer final : public VirtualDevice {
public:
    explicit FakeSocketPointer(int fd) : fFd(fd) {}
    int Descriptor() const override { return fFd; }

private:
    int fFd;
};

class MouseHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Needs umockdev's preload library (umockdev-wrapper).
        testbed = umockdev_testbed_new();
        ASSERT_EQ(OSKext::load(kOrvandelDriverModule), kIOReturnSuccess);
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, pointer), 0);
    }
    void TearDown() override {
        if (serving.joinable()) {
            host->Stop();
            serving.join();
        }
        host.reset();
        OSKext::unload(kOrvandelDriverModule);
        close(pointer[0]), close(pointer[1]);
        if (testbed != nullptr) {
            g_object_unref(testbed);
        }
    }

    // A USB mouse with one event node; returns the node's syspath.
    std::string AddMouse(int n, const char* vendor, const char* product,
                         std::initializer_list<int> held, const std::string& events) {
        const std::string node = AddFakeMouse(testbed, n, vendor, product, held, events);
        EXPECT_FALSE(node.empty());
        return node;
    }

    void StartHost() {
        host = std::make_unique<MouseHost>(gains, messages, [this](const std::string&) {
            return std::make_unique<FakeSocketPointer>(pointer[0]);
        });
        serving = std::thread([this] { host->Run(); });
    }

    // The queue's messages until `count` arrived or a limit passed.
    std::vector<HostMessage> Messages(std::size_t count) {
        std::vector<HostMessage> all;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (all.size() < count && std::chrono::steady_clock::now() < deadline) {
            HostMessage message;
            if (messages.Pop(message)) {
                all.push_back(message);
            } else {
                std::this_thread::sleep_for(2ms);
            }
        }
        return all;
    }
    std::vector<std::array<int, 3>> PointerOutput(std::size_t count) {
        std::vector<std::array<int, 3>> events;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
            input_event buffer[16];
            const ssize_t got = read(pointer[1], buffer, sizeof buffer);
            for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof(input_event)); ++i) {
                events.push_back({buffer[i].type, buffer[i].code, buffer[i].value});
            }
            if (got <= 0) {
                std::this_thread::sleep_for(2ms);
            }
        }
        return events;
    }

    UMockdevTestbed* testbed = nullptr;
    AccelerationGains gains;
    HostMessageQueue messages;
    int pointer[2] = {-1, -1};
    std::unique_ptr<MouseHost> host;
    std::thread serving;
};

// umockdev plays the first event at once and the others after their
// distance to it; they come after the grab (what comes before belongs to the
// system).
constexpr const char* kMotionThenPress =
    "E: 0.000000 0000 0000 0\n"
    "E: 0.200000 0002 0000 5\nE: 0.200000 0000 0000 0\n"
    "E: 0.200000 0001 0110 1\nE: 0.200000 0000 0000 0\n";

TEST_F(MouseHostTest, DiscoversOnlyTheFamilysMice) {
    AddMouse(1, "fff0", "0192", {}, "");
    AddMouse(2, "fff0", "0193", {}, "");  // not a product of the family
    AddMouse(3, "046d", "0192", {}, "");  // another vendor
    MouseDiscovery discovery;
    const auto nodes = discovery.Enumerate();
    ASSERT_EQ(nodes.size(), 1U);
    EXPECT_EQ(nodes[0].devnode, "/dev/input/event1");
    EXPECT_EQ(nodes[0].productId, 402U);
}

TEST_F(MouseHostTest, ServesAMouseAndUnplugMidPressLeavesNothingHeld) {
    const std::string node = AddMouse(1, "fff0", "0192", {}, kMotionThenPress);
    StartHost();
    EXPECT_EQ(PointerOutput(4), (std::vector<std::array<int, 3>>{{EV_REL, REL_X, 5},
                                                                 {EV_SYN, SYN_REPORT, 0},
                                                                 {EV_KEY, BTN_LEFT, 1},
                                                                 {EV_SYN, SYN_REPORT, 0}}));
    umockdev_testbed_uevent(testbed, node.c_str(), "remove");
    EXPECT_EQ(PointerOutput(2),
              (std::vector<std::array<int, 3>>{{EV_KEY, BTN_LEFT, 0}, {EV_SYN, SYN_REPORT, 0}}));
    EXPECT_EQ(KindsOf(Messages(4)), kLifeEndingMidPress);
}

TEST_F(MouseHostTest, APluggedMouseIsTakenOnceItsButtonsAreUp) {
    StartHost();
    // Held at plug time; the release belongs to the system, not the driver.
    const std::string node = AddMouse(4, "fff0", "0195", {BTN_LEFT},
                                      "E: 0.050000 0001 0110 0\nE: 0.050000 0000 0000 0\n"
                                      "E: 0.100000 0002 0001 -3\nE: 0.100000 0000 0000 0\n");
    umockdev_testbed_uevent(testbed, node.c_str(), "add");
    const auto added = Messages(1);
    ASSERT_EQ(added.size(), 1U);
    EXPECT_EQ(added[0].kind, HostMessage::Kind::Added);
    EXPECT_EQ(PointerOutput(2),
              (std::vector<std::array<int, 3>>{{EV_REL, REL_Y, -3}, {EV_SYN, SYN_REPORT, 0}}));
}

// A machine whose configuration names another vendor id than the build's.
class ConfiguredVendorTest : public MouseHostTest {
protected:
    void SetUp() override {
        MouseHostTest::SetUp();
        std::ofstream(config.Path() / "halvorin.conf") << "VendorId=0x1234\n";
        PutVendorIdInForce(ReadVendorIdSetting((config.Path() / "halvorin.conf").string()));
    }
    void TearDown() override {
        PutVendorIdInForce(VendorIdSetting{});
        MouseHostTest::TearDown();
    }

    ScopedTemporaryHome config;
};

TEST_F(ConfiguredVendorTest, ServesThatVendorAndHintsOnceAtTheFamilyUnderAnother) {
    AddMouse(1, "1234", "0191", {}, kMotionThenPress);
    const std::string other = AddMouse(2, "fff0", "0192", {}, "");  // the build's vendor
    AddMouse(3, "1234", "0193", {}, "");                            // not of the family
    {
        ScopedCapturedLog log;
        MouseDiscovery discovery;
        const auto nodes = discovery.Enumerate();
        ASSERT_EQ(nodes.size(), 1U);
        EXPECT_EQ(nodes[0].vendorId, 0x1234U);
        // Seen again, and its events replayed: still one line.
        discovery.Enumerate();
        umockdev_testbed_uevent(testbed, other.c_str(), "add");
        pollfd monitor{discovery.Descriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&monitor, 1, 5000), 1);
        EXPECT_FALSE(discovery.Receive());
        ASSERT_EQ(log.Entries().size(), 1U);
        const std::string& hint = log.Entries()[0].text;
        for (const std::string& part :
             {std::string("fff0:0192"),
              std::string("this host serves vendor id 0x1234 (4660, from"),
              "set VendorId=0xfff0 in " + config.Path().string()}) {
            EXPECT_NE(hint.find(part), std::string::npos) << hint;
        }
    }
    StartHost();
    EXPECT_EQ(PointerOutput(4), (std::vector<std::array<int, 3>>{{EV_REL, REL_X, 5},
                                                                 {EV_SYN, SYN_REPORT, 0},
                                                                 {EV_KEY, BTN_LEFT, 1},
                                                                 {EV_SYN, SYN_REPORT, 0}}));
}

}  // namespace
}  // namespace platform
