#include <gtest/gtest.h>

#include <fstream>

#include "AgentFixture.h"
#include "AgentState.h"
#include "DeviceDiscovery.h"
#include "DeviceManager.h"
#include "OrvandelDriver.h"
#include "VendorIdSetting.h"

namespace {

using Strings = std::vector<std::string>;

class DeviceListTest : public AgentFixture {
protected:
    void SetUp() override { StartAgent(); }

    // The product ids of the entries in use.
    static std::vector<std::int32_t> ListedProducts() {
        std::vector<std::int32_t> products;
        for (int i = 0; i < ADeviceManager::GetNumOrvandels(); ++i) {
            products.push_back(sDevicePids[i]);
        }
        return products;
    }

    // The function the driver instance resolves for a report bit, from the
    // settings it was given.
    std::uint32_t DriverFunction(platform::MouseId mouse, std::uint8_t bit) {
        return machine.DriverOf(mouse)->GetPrimaryMappingType(bit);
    }
};

TEST_F(DeviceListTest, SixButtonMouseIsListedAnnouncedAndGivenTheSettings) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    const auto mouse = Plug(402);
    EXPECT_EQ(ListedProducts(), (std::vector<std::int32_t>{402}));
    EXPECT_NE(ADeviceManager::GetOrvandelObjectAtIndex(0), 0u);
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}"}));
    EXPECT_EQ(DriverFunction(mouse, 0x10), 7u);
    // Default layout: bit 0x08 is button 4.
    EXPECT_EQ(DriverFunction(mouse, 0x08), 5u);
}

TEST_F(DeviceListTest, TarnModelIsRecognisedByItsProductId) {
    const auto mouse = Plug(405);
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": true}"}));
    EXPECT_TRUE(ADeviceManager::HasTarnMouse());
    // The Tarn layout: bit 0x08 is button 3 (default: Forward).
    EXPECT_EQ(DriverFunction(mouse, 0x08), 13u);
}

TEST_F(DeviceListTest, SecondMouseIsListedSilentlyAndBothGetEachChange) {
    const auto first = Plug(401);
    const auto second = Plug(405);
    EXPECT_EQ(ListedProducts(), (std::vector<std::int32_t>{401, 405}));
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}"}));
    EXPECT_NE(ADeviceManager::GetOrvandelObjectAtIndex(0),
              ADeviceManager::GetOrvandelObjectAtIndex(1));

    SendSettings([](ADeviceSettings& s) {
        s.SetPrimaryButtonMapping(Mapping(7), 3);
        s.SetPrimaryButtonMapping(Mapping(8), 4);
    });
    EXPECT_EQ(DriverFunction(first, 0x10), 7u);
    EXPECT_EQ(DriverFunction(second, 0x08), 7u);  // Tarn: 0x08 is button 3
    EXPECT_EQ(DriverFunction(second, 0x10), 8u);
}

TEST_F(DeviceListTest, RemovingTheFirstOfTwoMiceKeepsTheOtherInEntryZero) {
    const auto first = Plug(401);
    Plug(405);
    TakeAgentNotifications();
    Unplug(first);
    EXPECT_EQ(ListedProducts(), (std::vector<std::int32_t>{405}));
    EXPECT_TRUE(ADeviceManager::HasTarnMouse());
    EXPECT_TRUE(TakeAgentNotifications().empty());

    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": true}"}));
}

TEST_F(DeviceListTest, TarnModelGoneWhileAsleepIsNotReportedAfterTheWake) {
    Plug(401);
    const auto tarn = Plug(405);
    machine.SleepSystem();
    Settle();
    Unplug(tarn);
    machine.WakeSystem();
    Settle();
    TakeAgentNotifications();
    AnnouncePane();
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}"}));
}

TEST_F(DeviceListTest, UnpluggingTheLastMouseAnnouncesThatNoneIsLeft) {
    const auto mouse = Plug(401);
    TakeAgentNotifications();
    Unplug(mouse);
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 0);
    EXPECT_EQ(ADeviceManager::GetOrvandelObjectAtIndex(0), 0u);
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"NoDevicesAttached"}));
}

TEST_F(DeviceListTest, ThirdMouseWaitsForAFreeEntryAndThenGetsTheSettings) {
    SendSettings([](ADeviceSettings& s) { s.SetPrimaryButtonMapping(Mapping(7), 3); });
    const auto first = Plug(401);
    Plug(402);
    const auto third = Plug(401);
    EXPECT_EQ(ListedProducts(), (std::vector<std::int32_t>{401, 402}));
    EXPECT_EQ(DriverFunction(third, 0x10), 0u);  // not served: still Disabled

    Unplug(first);
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 2);
    EXPECT_EQ(DriverFunction(third, 0x10), 7u);
}

TEST_F(DeviceListTest, RemovalWithAnEmptyListChangesNothing) {
    HandleDeviceRemovalCallback(nullptr, 0, nullptr, nullptr);
    Settle();
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 0);
    EXPECT_TRUE(TakeAgentNotifications().empty());
}

TEST_F(DeviceListTest, LateDriverInstanceIsFoundByALaterAttempt) {
    const double start = machine.Now();
    const auto mouse = Plug(401, 0.5);
    EXPECT_EQ(ListedProducts(), (std::vector<std::int32_t>{401}));
    // Found by the fourth attempt, at 0.6 s; each attempt then waits 0.2 s.
    EXPECT_NEAR(machine.Now() - start, 0.8, 1e-9);
    EXPECT_NE(machine.DriverOf(mouse), nullptr);
}

TEST_F(DeviceListTest, DriverInstanceTooLateLeavesAnEmptyEntryThatStillCounts) {
    const double start = machine.Now();
    Plug(405, 2.5);
    EXPECT_NEAR(machine.Now() - start, 2.0, 1e-9);
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 1);
    EXPECT_EQ(ADeviceManager::GetOrvandelObjectAtIndex(0), 0u);
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": false}"}));
}

TEST_F(DeviceListTest, IndexQueriesStayWithinTheList) {
    Plug(401);
    EXPECT_NE(ADeviceManager::GetOrvandelObjectAtIndex(0), 0u);
    EXPECT_EQ(ADeviceManager::GetOrvandelObjectAtIndex(1), 0u);
    EXPECT_EQ(ADeviceManager::GetOrvandelObjectAtIndex(-1), 0u);
    EXPECT_EQ(ADeviceManager::GetOrvandelObjectAtIndex(2), 0u);
    EXPECT_FALSE(ADeviceManager::IsTarnMouse(0x7777));
}

TEST_F(DeviceListTest, MatchingDictionaryNamesTheFamilyAndTheProduct) {
    EXPECT_EQ(ADeviceManager::CreateDeviceMatchingDictionary(405).Describe(),
              "{\"ProductID\": 405, \"VendorID\": " + std::to_string(HALVORIN_VENDOR_ID) + "}");
}

// A machine whose configuration names another vendor id: the agent, started
// after it was put in force, matches the family under that id only.
class ConfiguredVendorTest : public DeviceListTest {
protected:
    void SetUp() override {
        const auto file = home.Path() / "halvorin.conf";
        std::ofstream(file) << "VendorId=0x1234\n";
        platform::PutVendorIdInForce(platform::ReadVendorIdSetting(file.string()));
        DeviceListTest::SetUp();
    }
    void TearDown() override { platform::PutVendorIdInForce(platform::VendorIdSetting{}); }
};

TEST_F(ConfiguredVendorTest, TheFamilyIsMatchedUnderTheConfiguredVendorOnly) {
    EXPECT_EQ(ADeviceManager::CreateDeviceMatchingDictionary(401).Describe(),
              "{\"ProductID\": 401, \"VendorID\": 4660}");
    machine.PlugMouse(401);  // the build's vendor
    machine.AddDriverInstance(platform::SimulatedMachine::kVendorId, 402);
    Settle();
    EXPECT_EQ(ADeviceManager::GetNumOrvandels(), 0);
    EXPECT_TRUE(TakeAgentNotifications().empty());

    const auto mouse = machine.PlugMouse(405, 0.0, 0x1234);
    Settle();
    EXPECT_EQ(ListedProducts(), (std::vector<std::int32_t>{405}));
    EXPECT_EQ(TakeAgentNotifications(), (Strings{"DeviceAttached {\"IsTarn\": true}"}));
    EXPECT_EQ(DriverFunction(mouse, 0x08), 13u);  // given the settings
}

}  // namespace
