#include <gtest/gtest.h>
#include <stdlib.h>

#include "BusServing.h"
#include "DriverHostHIDSystem.h"
#include "DriverHostRegistry.h"

namespace {

using platform::BusConnection;
using platform::BusMessage;
using platform::ServiceId;

constexpr const char* kDriverClass = "com_halvorin_OrvandelDriver";

// The registry and HID-system clients against the stand-in host.
class DriverHostClientTest : public testing::Test {
protected:
    void SetUp() override {
        fHost = fBus.StartFakeDriverHost();
        ASSERT_TRUE(fHost);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", fBus.Address().c_str(), 1);
        fConnection = BusConnection::Open(BusConnection::Bus::System);
        fControl = BusConnection::Open(BusConnection::Bus::System);
        ASSERT_TRUE(fConnection && fControl);
        fRegistry = std::make_unique<platform::DriverHostRegistry>(
            *fConnection, [this](bool present) { fHostChanges.push_back(present); });
    }

    std::uint64_t AddInstance(std::uint32_t product) {
        BusMessage request = fControl->NewCall("org.halvorin.Driver1", "/org/halvorin/Test",
                                               "org.halvorin.Test.Control", "AddInstance");
        sd_bus_message_append(request.get(), "uu", 0xfff0u, product);
        BusMessage reply = fControl->Call(request.get());
        return platform::ReadBasic<std::uint64_t>(reply.get(), 't').value_or(0);
    }
    void Control(const char* member, const char* types, std::uint64_t id, std::uint32_t type = 0,
                 std::uint64_t argument = 0) {
        BusMessage request = fControl->NewCall("org.halvorin.Driver1", "/org/halvorin/Test",
                                               "org.halvorin.Test.Control", member);
        if (types[1] == '\0') {
            sd_bus_message_append(request.get(), types, id);
        } else {
            sd_bus_message_append(request.get(), types, id, type, argument);
        }
        ASSERT_TRUE(fControl->Call(request.get()));
    }
    // The host's next report line, skipping none.
    std::string HostSaid() { return fHost->ReadLine(std::chrono::seconds(10)); }

    PrivateBus fBus;
    std::unique_ptr<ChildProcess> fHost;
    std::unique_ptr<BusConnection> fConnection;
    std::unique_ptr<BusConnection> fControl;
    std::unique_ptr<platform::DriverHostRegistry> fRegistry;
    std::vector<bool> fHostChanges;
};

TEST_F(DriverHostClientTest, ServicesPropertiesAndMessagesOfTheHostsInstances) {
    AddInstance(401);
    AddInstance(405);
    const std::vector<ServiceId> mice = fRegistry->ServicesOfClass(kDriverClass);
    ASSERT_EQ(mice.size(), 2u);
    EXPECT_EQ(fRegistry->ServicesOfClass(kDriverClass), mice);  // the same ids again
    EXPECT_EQ(fRegistry->ServicesOfClass("IOService").size(), 2u);
    const std::vector<ServiceId> hid = fRegistry->ServicesOfClass("IOHIDSystem");
    ASSERT_EQ(hid.size(), 1u);
    EXPECT_EQ(fRegistry->Open(hid[0], platform::kIOHIDParamConnectType),
              platform::kIOReturnSuccess);
    EXPECT_NE(fRegistry->Open(mice[0], platform::kIOHIDParamConnectType),
              platform::kIOReturnSuccess);

    const auto properties = fRegistry->Properties(mice[1]);
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->Find("ProductID")->AsInteger(), 405);
    EXPECT_EQ(properties->Find("VendorID")->AsInteger(), 0xfff0);

    const platform::PropertyList settings(platform::PropertyList::Dictionary{
        {"PointerResolution", platform::PropertyList::MakeInteger(7)}});
    EXPECT_EQ(fRegistry->SetProperties(mice[0], settings), platform::kIOReturnSuccess);
    EXPECT_EQ(HostSaid(), "set-properties id=1 {'PointerResolution': 7}");

    std::vector<std::pair<platform::natural_t, std::uintptr_t>> messages;
    const auto interest =
        fRegistry->AddInterest(mice[0], [&](platform::natural_t type, std::uintptr_t argument) {
            messages.emplace_back(type, argument);
        });
    ASSERT_TRUE(interest);
    EXPECT_EQ(HostSaid(), "subscribe id=1");
    Control("SendMessage", "tut", 1, 0x10, 0);
    Control("SendMessage", "tut", 2, 0x20, 0);  // not subscribed to
    ASSERT_TRUE(Serve(*fConnection, [&] { return !messages.empty(); }));

    // A message from anyone but the host is not the host's.
    sd_bus_message* forged = nullptr;
    sd_bus_message_new_signal(fControl->Get(), &forged, "/org/halvorin/Driver1/service/1",
                              "org.halvorin.Driver1.Service", "Message");
    const char* client = nullptr;
    sd_bus_get_unique_name(fConnection->Get(), &client);
    sd_bus_message_set_destination(forged, client);
    sd_bus_message_append(forged, "ut", 0xffu, std::uint64_t{0});
    sd_bus_send(fControl->Get(), forged, nullptr);
    sd_bus_message_unref(forged);

    Control("RemoveInstance", "t", 1);
    ASSERT_TRUE(Serve(*fConnection, [&] { return messages.size() == 2; }));
    EXPECT_EQ(messages, (std::vector<std::pair<platform::natural_t, std::uintptr_t>>{
                            {0x10, 0}, {platform::kIOMessageServiceIsTerminated, 0}}));
    EXPECT_FALSE(fRegistry->Properties(mice[0]));
    EXPECT_EQ(fRegistry->SetProperties(mice[0], settings), platform::kIOReturnNoDevice);
    fRegistry->RemoveInterest(*interest);
}

TEST_F(DriverHostClientTest, HostGoingAwayEndsItsServicesAndComingBackIsANewRegistry) {
    EXPECT_FALSE(fRegistry->IsServing());  // only the HID system so far
    AddInstance(401);
    ASSERT_TRUE(Serve(*fConnection, [&] { return fRegistry->IsServing(); }));
    const std::vector<ServiceId> before = fRegistry->ServicesOfClass(kDriverClass);
    ASSERT_EQ(before.size(), 1u);
    int terminated = 0;
    ASSERT_TRUE(fRegistry->AddInterest(before[0], [&](platform::natural_t type, std::uintptr_t) {
        terminated += type == platform::kIOMessageServiceIsTerminated;
    }));

    fHost->Stop(SIGKILL);
    ASSERT_TRUE(Serve(*fConnection, [&] { return fHostChanges.size() == 2; }));
    EXPECT_EQ(terminated, 1);
    EXPECT_FALSE(fRegistry->IsHostPresent());
    EXPECT_TRUE(fRegistry->ServicesOfClass(kDriverClass).empty());
    EXPECT_EQ(fRegistry->Open(before[0], platform::kIOHIDParamConnectType),
              platform::kIOReturnNoDevice);

    // Back, but serving only once it has an instance.
    fHost = fBus.StartFakeDriverHost();
    ASSERT_TRUE(fHost);
    ASSERT_TRUE(Serve(*fConnection, [&] { return fRegistry->IsHostPresent(); }));
    EXPECT_EQ(fHostChanges, (std::vector<bool>{true, false}));
    AddInstance(401);
    ASSERT_TRUE(Serve(*fConnection, [&] { return fHostChanges.size() == 3; }));
    EXPECT_EQ(fHostChanges, (std::vector<bool>{true, false, true}));
    const std::vector<ServiceId> after = fRegistry->ServicesOfClass(kDriverClass);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after[0], before[0]);
    EXPECT_EQ(terminated, 1);
}

TEST_F(DriverHostClientTest, LongRunsOfPostsArePacedInOrderWithoutBlocking) {
    platform::DriverHostHIDSystem hid(*fConnection);
    constexpr int kPosts = platform::DriverHostHIDSystem::kBurst + 8;
    for (int i = 0; i < kPosts; ++i) {
        platform::HIDPostedEvent event;
        event.eventType = platform::NX_KEYDOWN;
        event.eventData.key.keyCode = static_cast<std::uint16_t>(i);
        event.eventFlags = platform::NX_CONTROLMASK;
        EXPECT_EQ(hid.PostEvent(event), platform::kIOReturnSuccess);
    }
    EXPECT_EQ(hid.QueuedCount(), 8u);
    platform::CFRunLoopGetCurrent()->RunFor(1.0);
    EXPECT_EQ(hid.QueuedCount(), 0u);
    for (int i = 0; i < kPosts; ++i) {
        EXPECT_EQ(HostSaid(), "post type=10 x=0 y=0 key=" + std::to_string(i) +
                                  " click=0 flags=0x40000 options=0");
    }
    EXPECT_EQ(hid.SetAcceleration("HIDMouseAcceleration", 0.5), platform::kIOReturnSuccess);
    EXPECT_EQ(HostSaid(), "acceleration HIDMouseAcceleration=0.5");
}

}  // namespace
