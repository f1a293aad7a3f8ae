#include <gtest/gtest.h>
#include <stdlib.h>

#include "BusServing.h"
#include "DriverHostHIDSystem.h"
#include "DriverHostRegistry.h"
#include "Logging.h"

namespace {

using platform::BusConnection;
using platform::BusMessage;
using platform::ServiceId;

constexpr const char* kDriverClass = "com_halvorin_OrvandelDriver";

// The registry and HID-system clients against the stand-in host, on a bus
// configured as the system bus.
class DriverHostClientTest : public testing::Test {
protected:
    void SetUp() override {
        auto log = std::make_unique<platform::CapturedLogBackend>();
        fLog = log.get();
        fPreviousLog = platform::InstallLogBackend(std::move(log));
        fHost = fBus.StartFakeDriverHost();
        ASSERT_TRUE(fHost);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", fBus.Address().c_str(), 1);
        fConnection = BusConnection::Open(BusConnection::Bus::System);
        fControl = BusConnection::Open(BusConnection::Bus::System);
        ASSERT_TRUE(fConnection && fControl);
        fRegistry = std::make_unique<platform::DriverHostRegistry>(
            *fConnection, [this](bool present) { fHostChanges.push_back(present); },
            platform::DriverHostRegistry::Narration::Logged);
    }

    void TearDown() override {
        fRegistry.reset();
        platform::InstallLogBackend(std::move(fPreviousLog));
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
    // The system log lines so far, taken.
    std::vector<std::string> Logged() {
        std::vector<std::string> lines;
        for (const auto& entry : fLog->Entries()) {
            lines.push_back(entry.text);
        }
        fLog->Clear();
        return lines;
    }
    // A signal the user nobody sends straight to this side's connection.
    void Forge(const std::vector<std::string>& signal) {
        const char* me = nullptr;
        sd_bus_get_unique_name(fConnection->Get(), &me);
        ASSERT_EQ(fBus.Emit(me, signal), 0);
    }
    std::string HostName() {
        BusMessage request = fControl->NewCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                               "org.freedesktop.DBus", "GetNameOwner");
        sd_bus_message_append(request.get(), "s", "org.halvorin.Driver1");
        BusMessage reply = fControl->Call(request.get());
        return platform::ReadBasic<const char*>(reply.get(), 's').value_or("");
    }

    PrivateBus fBus{PrivateBus::Policy::System};
    platform::CapturedLogBackend* fLog = nullptr;
    std::unique_ptr<platform::LogBackend> fPreviousLog;
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

    // Nobody poses as the host: as its new owner, then in its name.
    Forge({"/org/freedesktop/DBus", "org.freedesktop.DBus", "NameOwnerChanged", "sss",
           "org.halvorin.Driver1", HostName(), ""});
    Forge({"/org/halvorin/Driver1/service/1", "org.halvorin.Driver1.Service", "Message", "ut",
           "255", "0"});
    Serve(*fConnection, [n = 0]() mutable { return ++n > 20; });
    EXPECT_TRUE(fRegistry->IsServing());

    Control("RemoveInstance", "t", 1);
    ASSERT_TRUE(Serve(*fConnection, [&] { return messages.size() == 2; }));
    EXPECT_EQ(messages, (std::vector<std::pair<platform::natural_t, std::uintptr_t>>{
                            {0x10, 0}, {platform::kIOMessageServiceIsTerminated, 0}}));
    EXPECT_FALSE(fRegistry->Properties(mice[0]));
    EXPECT_EQ(fRegistry->SetProperties(mice[0], settings), platform::kIOReturnNoDevice);
    fRegistry->RemoveInterest(*interest);
    EXPECT_EQ(Logged(),
              (std::vector<std::string>{
                  "Found the driver host on the system bus",
                  "Sent the settings to mouse 401 (a six-button model, driver instance 1)",
                  "Attached to mouse 401 (a six-button model, driver instance 1)",
                  "Detached from mouse 401 (a six-button model, driver instance 1)"}));
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
    EXPECT_EQ(Logged(), (std::vector<std::string>{
                            "Found the driver host on the system bus",
                            "Attached to mouse 401 (a six-button model, driver instance 1)",
                            "Detached from mouse 401 (a six-button model, driver instance 1)",
                            "Lost the driver host", "Found the driver host on the system bus"}));
}

TEST_F(DriverHostClientTest, RefusedPostsAreLoggedOnceABurstWithTheirCount) {
    platform::DriverHostHIDSystem hid(*fConnection);
    BusMessage refuse = fControl->NewCall("org.halvorin.Driver1", "/org/halvorin/Test",
                                          "org.halvorin.Test.Control", "RefusePosts");
    sd_bus_message_append(refuse.get(), "b", 1);
    ASSERT_TRUE(fControl->Call(refuse.get()));
    Logged();
    for (const int burst : {20, 2}) {
        for (int i = 0; i < burst; ++i) {
            platform::HIDPostedEvent event;
            event.eventType = platform::NX_KEYDOWN;
            hid.PostEvent(event);
            platform::CFRunLoopGetCurrent()->RunFor(0.01);
        }
        for (int i = 0; i < burst; ++i) {
            ASSERT_FALSE(HostSaid().empty());
        }
        // The host answers in order: past an answered ping, every refusal is
        // read; then the burst's end.
        BusMessage ping = fConnection->NewCall("org.halvorin.Driver1", "/org/halvorin/Driver1",
                                               "org.freedesktop.DBus.Peer", "Ping");
        ASSERT_TRUE(fConnection->Call(ping.get()));
        fConnection->Dispatch();
        platform::CFRunLoopGetCurrent()->RunFor(platform::DriverHostHIDSystem::kRefusalBurst);
        EXPECT_EQ(
            Logged(),
            (std::vector<std::string>{"The driver host refused " + std::to_string(burst) +
                                      " posted events: org.freedesktop.DBus.Error.AccessDenied"}));
    }
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
