// Modules and the class registry, device instantiation, the live-service
// registry and interest clients.

#include <gtest/gtest.h>

#include <vector>

#include "IOHIDEventDriver.h"
#include "OSKext.h"
#include "OSNumber.h"

class TestHIDDriver : public IOHIDEventDriver {
    OSDeclareDefaultStructors(TestHIDDriver);

public:
    // Refuses product 13, to show a refused instance is not published.
    bool init(OSDictionary* dictionary) override {
        auto* product = OSDynamicCast(OSNumber, dictionary->getObject("ProductID"));
        return IOHIDEventDriver::init(dictionary) && product->unsigned32BitValue() != 13;
    }
};
OSDefineMetaClassAndStructors(TestHIDDriver, IOHIDEventDriver);

namespace {
const OSMetaClass* const kTestClasses[] = {&TestHIDDriver::gMetaClass};
const std::uint32_t kTestVendor = 0x1234;
const OSKextPersonality kTestPersonalities[] = {{"TestHIDDriver", kTestVendor, 7},
                                                {"TestHIDDriver", kTestVendor, 13}};
const OSKextModule kTestModule{"com.example.test", "1.0", kTestClasses, kTestPersonalities};
const OSKextModule kSameClassModule{"com.example.other", "1.0", kTestClasses, {}};

class ServiceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OSKext::load(kTestModule), kIOReturnSuccess); }
    void TearDown() override { OSKext::unload(kTestModule); }
};

TEST_F(ServiceTest, LoadingRegistersTheClassesAndUnloadingRemovesThem) {
    EXPECT_TRUE(OSKext::isLoaded("com.example.test"));
    EXPECT_EQ(OSKext::load(kTestModule), kIOReturnError);
    EXPECT_EQ(OSKext::load(kSameClassModule), kIOReturnError);  // class name taken
    EXPECT_FALSE(OSKext::isLoaded("com.example.other"));

    OSObject* object = OSMetaClass::allocClassWithName("TestHIDDriver");
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(object->getMetaClass()->isSubclassOf("IOHIDEventService"));
    EXPECT_FALSE(object->getMetaClass()->isSubclassOf("OSDictionary"));
    object->release();

    EXPECT_EQ(OSKext::unload(kTestModule), kIOReturnSuccess);
    EXPECT_EQ(OSKext::unload(kTestModule), kIOReturnNotFound);
    EXPECT_EQ(OSMetaClass::allocClassWithName("TestHIDDriver"), nullptr);
    EXPECT_EQ(OSKext::instantiateForDevice(0x1234, 7), nullptr);
    ASSERT_EQ(OSKext::load(kTestModule), kIOReturnSuccess);
}

TEST_F(ServiceTest, DeviceInstancesAreFoundByClassNameUntilTerminated) {
    EXPECT_EQ(OSKext::instantiateForDevice(0x1234, 8), nullptr);   // no personality
    EXPECT_EQ(OSKext::instantiateForDevice(0x1234, 13), nullptr);  // init refused

    IOService* service = OSKext::instantiateForDevice(0x1234, 7);
    ASSERT_NE(service, nullptr);
    EXPECT_STREQ(service->getName(), "TestHIDDriver");
    EXPECT_EQ(OSDynamicCast(OSNumber, service->getProperty("VendorID"))->unsigned32BitValue(),
              0x1234U);
    EXPECT_EQ(OSDynamicCast(OSNumber, service->getProperty("ProductID"))->numberOfBits(), 32U);

    for (const char* className : {"TestHIDDriver", "IOHIDEventDriver"}) {
        std::vector<IOService*> found = IOService::copyMatchingServices(className);
        ASSERT_EQ(found.size(), 1U) << className;
        EXPECT_EQ(found[0], service);
        found[0]->release();
    }
    EXPECT_TRUE(IOService::copyMatchingServices("com_halvorin_OrvandelDriver").empty());
    IOService* byID = IOService::copyServiceWithID(service->getRegistryEntryID());
    EXPECT_EQ(byID, service);
    byID->release();

    std::vector<std::uint32_t> received;
    service->registerInterest(kIOGeneralInterest, [&](IOService&, std::uint32_t type, void*,
                                                      std::size_t) { received.push_back(type); });
    service->terminate();
    service->terminate();
    EXPECT_EQ(received, std::vector<std::uint32_t>{kIOMessageServiceIsTerminated});
    EXPECT_TRUE(IOService::copyMatchingServices("TestHIDDriver").empty());
    EXPECT_EQ(service->getRetainCount(), 1);
    service->release();
}

TEST(Interest, HandlersMayUnregisterAndRegisterWhileMessagesAreDelivered) {
    auto* service = new IOService;
    service->init(nullptr);
    std::vector<int> calls;
    IOService::InterestNotifierID first = 0;
    first = service->registerInterest(
        kIOGeneralInterest, [&](IOService& provider, std::uint32_t, void*, std::size_t) {
            calls.push_back(1);
            provider.unregisterInterest(first);
            provider.registerInterest(kIOGeneralInterest, [&](IOService&, std::uint32_t, void*,
                                                              std::size_t) { calls.push_back(3); });
        });
    service->registerInterest(kIOGeneralInterest, [&](IOService&, std::uint32_t, void*,
                                                      std::size_t) { calls.push_back(2); });
    service->messageClients(1);
    service->messageClients(2);
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 2, 3}));
    EXPECT_FALSE(service->unregisterInterest(first));
    EXPECT_EQ(service->registerInterest("IOBusyInterest", [](auto&&...) {}), 0U);
    EXPECT_EQ(service->setProperties(nullptr), kIOReturnUnsupported);
    service->release();
}

}  // namespace
