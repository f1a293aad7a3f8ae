#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "BusConnection.h"
#include "BusServing.h"
#include "LinuxPower.h"
#include "LinuxSession.h"
#include "PrivateBus.h"
#include "RunLoop.h"
#include "Session.h"

namespace {

using platform::BusConnection;
using platform::BusMessage;

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kMock = "org.freedesktop.DBus.Mock";

// python3-dbusmock's logind on a private bus configured as the system bus,
// and the backend's own connection to it.
class LogindTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fBus.StartTemplate("logind", kLogind));
        setenv("DBUS_SYSTEM_BUS_ADDRESS", fBus.Address().c_str(), 1);
        fConnection = BusConnection::Open(BusConnection::Bus::System);
        ASSERT_TRUE(fConnection);
    }
    void TearDown() override { platform::ResetSharedWorkspaceNotificationCenter(); }

    // A call on the mock, from the test's side of the bus.
    BusMessage Mock(const char* path, const char* interface, const char* member,
                    const std::function<void(sd_bus_message*)>& append) {
        BusMessage request = fConnection->NewCall(kLogind, path, interface, member);
        append(request.get());
        std::string error;
        BusMessage reply = fConnection->Call(request.get(), &error);
        EXPECT_TRUE(reply) << member << ": " << error;
        return reply;
    }
    void EmitPrepareForSleep(bool start) {
        Mock(kLogindPath, kMock, "EmitSignal", [&](sd_bus_message* m) {
            sd_bus_message_append(m, "sssav", "org.freedesktop.login1.Manager", "PrepareForSleep",
                                  "b", 1, "b", start ? 1 : 0);
        });
    }
    std::uint32_t SleepInhibitors() {
        BusMessage reply = Mock(kLogindPath, "org.freedesktop.login1.Manager", "ListInhibitors",
                                [](sd_bus_message*) {});
        std::uint32_t count = 0;
        sd_bus_message_enter_container(reply.get(), 'a', "(ssssuu)");
        while (sd_bus_message_skip(reply.get(), "(ssssuu)") > 0) {
            ++count;
        }
        return count;
    }
    bool Serve(const std::function<bool()>& done) { return ::Serve(*fConnection, done); }

    // A signal the user nobody sends straight to this side's connection.
    void Forge(const std::vector<std::string>& signal) {
        const char* me = nullptr;
        sd_bus_get_unique_name(fConnection->Get(), &me);
        ASSERT_EQ(fBus.Emit(me, signal), 0);
    }
    // The user's graphical session c7, active, as logind shows it.
    std::string AddDisplaySession() {
        const std::string session = "/org/freedesktop/login1/session/c7";
        Mock(kLogindPath, kMock, "AddSession", [](sd_bus_message* m) {
            sd_bus_message_append(m, "ssusb", "c7", "seat0", getuid(), "someone", 1);
        });
        const std::string user = "/org/freedesktop/login1/user/" + std::to_string(getuid());
        Mock(user.c_str(), "org.freedesktop.DBus.Properties", "Set", [&](sd_bus_message* m) {
            sd_bus_message_append(m, "ssv", "org.freedesktop.login1.User", "Display", "(so)", "c7",
                                  session.c_str());
        });
        return session;
    }

    PrivateBus fBus{PrivateBus::Policy::System};
    std::unique_ptr<BusConnection> fConnection;
};

TEST_F(LogindTest, SleepWaitsForTheAcknowledgementAndWakeSendsBothMessages) {
    platform::LinuxPower power(*fConnection);
    std::vector<std::pair<platform::natural_t, std::intptr_t>> messages;
    ASSERT_TRUE(power.Register(
        [&](platform::natural_t type, std::intptr_t id) { messages.emplace_back(type, id); }));
    EXPECT_TRUE(power.HoldsSleepLock());
    ASSERT_TRUE(Serve([&] { return SleepInhibitors() == 1; }));

    EmitPrepareForSleep(true);
    ASSERT_TRUE(Serve([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0].first, platform::kIOMessageSystemWillSleep);
    EXPECT_EQ(SleepInhibitors(), 1u);
    power.AllowPowerChange(messages[0].second);
    EXPECT_FALSE(power.HoldsSleepLock());
    ASSERT_TRUE(Serve([&] { return SleepInhibitors() == 0; }));

    EmitPrepareForSleep(false);
    ASSERT_TRUE(Serve([&] { return messages.size() == 3; }));
    EXPECT_EQ(messages[1].first, platform::kIOMessageSystemWillPowerOn);
    EXPECT_EQ(messages[2].first, platform::kIOMessageSystemHasPoweredOn);
    EXPECT_TRUE(power.HoldsSleepLock());

    power.Deregister();
    EmitPrepareForSleep(true);
    ASSERT_TRUE(Serve([&] { return SleepInhibitors() == 0; }));
    EXPECT_EQ(messages.size(), 3u);
}

TEST_F(LogindTest, UsersDisplaySessionIsWatchedForSwitches) {
    const std::string session = AddDisplaySession();

    platform::LinuxSession watcher(*fConnection);
    ASSERT_TRUE(watcher.IsWatching());
    EXPECT_EQ(watcher.SessionPath(), session);
    EXPECT_EQ(watcher.Active(), true);

    std::vector<std::string> seen;
    int observer = 0;
    platform::SharedWorkspaceNotificationCenter().addObserver(
        &observer, [&](const platform::NSNotification& n) { seen.push_back(n.name); }, "");
    for (const bool active : {false, false, true}) {
        Mock(session.c_str(), "org.freedesktop.DBus.Properties", "Set", [&](sd_bus_message* m) {
            sd_bus_message_append(m, "ssv", "org.freedesktop.login1.Session", "Active", "b",
                                  active ? 1 : 0);
        });
        ASSERT_TRUE(Serve([&] { return watcher.Active() == active; }));
    }
    Serve([] { return true; });
    EXPECT_EQ(seen, (std::vector<std::string>{
                        std::string(platform::NSWorkspaceSessionDidResignActiveNotification),
                        std::string(platform::NSWorkspaceSessionDidBecomeActiveNotification)}));
}

TEST_F(LogindTest, SignalsFromAnyoneButLogindAreNotBelieved) {
    const std::string session = AddDisplaySession();
    platform::LinuxSession watcher(*fConnection);
    ASSERT_EQ(watcher.Active(), true);
    platform::LinuxPower power(*fConnection);
    std::vector<platform::natural_t> messages;
    ASSERT_TRUE(
        power.Register([&](platform::natural_t type, std::intptr_t) { messages.push_back(type); }));

    Forge({kLogindPath, "org.freedesktop.login1.Manager", "PrepareForSleep", "b", "true"});
    Forge({session, "org.freedesktop.DBus.Properties", "PropertiesChanged", "sa{sv}as",
           "org.freedesktop.login1.Session", "1", "Active", "b", "false", "0"});
    Serve([n = 0]() mutable { return ++n > 20; });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(watcher.Active(), true);
    EXPECT_TRUE(power.HoldsSleepLock());

    EmitPrepareForSleep(true);
    ASSERT_TRUE(Serve([&] { return messages.size() == 1; }));
}

}  // namespace
