#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "BusServing.h"
#include "SessionBusNotifications.h"

namespace {

using platform::BusConnection;
using platform::PropertyList;

std::vector<std::string> gSeen;

void Record(platform::CFNotificationCenterRef, void*, const char* name, const char* object,
            const PropertyList* userInfo) {
    gSeen.push_back(std::string(name) + " " + (object ? object : "-") + " " +
                    (userInfo ? userInfo->Describe() : "-"));
}

// The center on the session-bus channel, a private bus standing in for the
// session bus; `fOther` is another process of the session.
class SessionBusNotificationsTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("DBUS_SESSION_BUS_ADDRESS", fBus.Address().c_str(), 1);
        fConnection = BusConnection::Open(BusConnection::Bus::Session);
        fOther = BusConnection::Open(BusConnection::Bus::Session);
        ASSERT_TRUE(fConnection && fOther);
        fPrevious = platform::InstallDistributedNotificationBackend(
            std::make_unique<platform::SessionBusNotifications>(*fConnection));
        platform::CFNotificationCenterAddObserver(
            platform::CFNotificationCenterGetDistributedCenter(), this, Record, nullptr, nullptr,
            platform::CFNotificationSuspensionBehaviorDeliverImmediately);
        gSeen.clear();
    }
    void TearDown() override {
        platform::InstallDistributedNotificationBackend(std::move(fPrevious));
    }
    // Sends a signal of the channel's shape from the other process.
    void SendRaw(const std::function<void(sd_bus_message*)>& append) {
        sd_bus_message* signal = nullptr;
        ASSERT_GE(sd_bus_message_new_signal(fOther->Get(), &signal, platform::kNotificationsPath,
                                            platform::kNotificationsInterface,
                                            platform::kNotificationSignal),
                  0);
        append(signal);
        sd_bus_send(fOther->Get(), signal, nullptr);
        sd_bus_flush(fOther->Get());
        sd_bus_message_unref(signal);
    }
    // Every post is followed by a marker, so that what arrived before it is known.
    std::vector<std::string> SeenUntilMarker() {
        SendRaw([](sd_bus_message* m) { sd_bus_message_append(m, "sasavb", "Marker", 0, 0, 0); });
        if (!Serve(*fConnection, [] { return !gSeen.empty() && gSeen.back() == "Marker - -"; })) {
            return {"no marker"};
        }
        gSeen.pop_back();
        return gSeen;
    }

    PrivateBus fBus;
    std::unique_ptr<BusConnection> fConnection;
    std::unique_ptr<BusConnection> fOther;
    std::unique_ptr<platform::DistributedNotificationBackend> fPrevious;
};

TEST_F(SessionBusNotificationsTest, PostsComeBackToEveryListenerWithTheirUserInfo) {
    const PropertyList info(PropertyList::Dictionary{
        {"IsTarn", PropertyList::MakeBoolean(true)},
        {"Mappings", PropertyList::Array{PropertyList::MakeInteger(3), "x"}}});
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), "DeviceAttached", nullptr, &info,
        true);
    platform::CFNotificationCenterPostNotification(
        platform::CFNotificationCenterGetDistributedCenter(), "HalvorinAgent", "pane", nullptr,
        false);
    EXPECT_EQ(SeenUntilMarker(), (std::vector<std::string>{"DeviceAttached - " + info.Describe(),
                                                           "HalvorinAgent pane -"}));
}

TEST_F(SessionBusNotificationsTest, MalformedOrOversizedSignalsAreDroppedWhole) {
    const std::string longName(platform::kNotificationMaxNameBytes + 1, 'n');
    SendRaw([](sd_bus_message* m) { sd_bus_message_append(m, "s", "NoRest"); });
    SendRaw([](sd_bus_message* m) { sd_bus_message_append(m, "sasavu", "WrongFlag", 0, 0, 1u); });
    SendRaw([](sd_bus_message* m) {
        sd_bus_message_append(m, "sasavb", "TwoObjects", 2, "a", "b", 0, 0);
    });
    SendRaw(
        [&](sd_bus_message* m) { sd_bus_message_append(m, "sasavb", longName.c_str(), 0, 0, 0); });
    SendRaw([](sd_bus_message* m) {
        sd_bus_message_append(m, "sasavb", "PathInInfo", 0, 1, "o", "/x", 0);
    });
    SendRaw([](sd_bus_message* m) {  // 300 elements: over the per-container bound
        sd_bus_message_append(m, "sas", "HugeInfo", 0);
        sd_bus_message_open_container(m, 'a', "v");
        sd_bus_message_open_container(m, 'v', "ax");
        sd_bus_message_open_container(m, 'a', "x");
        for (std::int64_t i = 0; i < 300; ++i) {
            sd_bus_message_append(m, "x", i);
        }
        sd_bus_message_close_container(m);
        sd_bus_message_close_container(m);
        sd_bus_message_close_container(m);
        sd_bus_message_append(m, "b", 0);
    });
    SendRaw([](sd_bus_message* m) {
        sd_bus_message_append(m, "sasavb", "Fine", 1, "obj", 1, "u", 7u, 1);
    });
    EXPECT_EQ(SeenUntilMarker(), (std::vector<std::string>{"Fine obj 7"}));
}

}  // namespace
