#include <gtest/gtest.h>

#include <vector>

#include "Handles.h"
#include "IOHIDSystemService.h"
#include "KernelRegistry.h"
#include "OSArray.h"
#include "OSBoolean.h"
#include "OSDictionary.h"
#include "OSNumber.h"
#include "OSPropertyList.h"
#include "OSString.h"
#include "PropertyListValues.h"
#include "Registry.h"
#include "SimulatedClock.h"

// A kernel service that keeps what its property intake received.
class RecordingService : public IOService {
    OSDeclareDefaultStructors(RecordingService);

public:
    RecordingService() = default;
    IOReturn setProperties(OSObject* properties) override {
        fReceived = platform::CreatePropertyList(properties);
        return kIOReturnSuccess;
    }
    std::optional<platform::PropertyList> fReceived;
};
OSDefineMetaClassAndStructors(RecordingService, IOService);

namespace platform {
namespace {

using namespace test;

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() {
        fPreviousLoop = InstallRunLoopBackend(std::make_unique<SimulatedClock>());
        auto registry = std::make_unique<KernelRegistry>();
        fRegistry = registry.get();
        fPreviousRegistry = InstallRegistryBackend(std::move(registry));
    }
    ~RegistryTest() override {
        for (IOService* service : fServices) {
            service->terminate();
            service->release();
        }
        InstallRegistryBackend(std::move(fPreviousRegistry));
        InstallRunLoopBackend(std::move(fPreviousLoop));
    }

    template <typename Service>
    Service* Register(std::int64_t productId) {
        auto* service = new Service;
        service->init();
        service->setProperty("ProductID", static_cast<std::uint64_t>(productId), 32);
        service->registerService();
        fServices.push_back(service);
        return service;
    }

    std::vector<io_service_t> Lookup(std::string_view className) {
        io_iterator_t iterator = 0;
        EXPECT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, *IOServiceMatching(className),
                                               &iterator),
                  KERN_SUCCESS);
        std::vector<io_service_t> found;
        while (io_service_t service = IOIteratorNext(iterator)) {
            found.push_back(service);
        }
        IOObjectRelease(iterator);
        return found;
    }

    KernelRegistry* fRegistry;
    std::vector<IOService*> fServices;
    std::unique_ptr<RunLoopBackend> fPreviousLoop;
    std::unique_ptr<RegistryBackend> fPreviousRegistry;
};

TEST_F(RegistryTest, ServicesAreFoundByClassWithStableCountedHandles) {
    Register<RecordingService>(401);
    Register<RecordingService>(-2);
    Register<IOHIDSystem>(0);
    std::vector<io_service_t> first = Lookup("RecordingService");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(LiveHandleCount(), 2u);
    std::vector<io_service_t> all = Lookup("IOService");
    EXPECT_EQ(all.size(), 3u);
    for (io_service_t any : all) {
        IOObjectRelease(any);
    }
    EXPECT_EQ(LiveHandleCount(), 2u);
    EXPECT_TRUE(Lookup("NoSuchClass").empty());
    EXPECT_FALSE(IOServiceMatching(""));

    // The same service looked up again is the same handle, one reference more.
    std::vector<io_service_t> second = Lookup("RecordingService");
    EXPECT_EQ(first, second);
    EXPECT_EQ(IOObjectRelease(second[0]), KERN_SUCCESS);
    PropertyList properties;
    EXPECT_EQ(IORegistryEntryCreateCFProperties(first[0], &properties, nullptr, 0), KERN_SUCCESS);
    EXPECT_EQ(properties, PropertyList(Dictionary{{"ProductID", Int(401)}}));
    PropertyList negative;
    IORegistryEntryCreateCFProperties(first[1], &negative, nullptr, 0);
    EXPECT_EQ(*negative.Find("ProductID"), Int(-2));  // 32-bit numbers read signed

    EXPECT_EQ(IOObjectRelease(first[0]), KERN_SUCCESS);
    EXPECT_EQ(IOObjectRelease(first[0]), MACH_SEND_INVALID_DEST);
    EXPECT_EQ(IORegistryEntryCreateCFProperties(first[0], &properties, nullptr, 0),
              MACH_SEND_INVALID_DEST);
    EXPECT_EQ(IORegistryEntryCreateCFProperties(0, &properties, nullptr, 0),
              MACH_SEND_INVALID_DEST);
    // A new lookup after the last release gets a new name, never the old one.
    EXPECT_NE(Lookup("RecordingService")[0], first[0]);
}

TEST_F(RegistryTest, SetPropertiesReachesTheIntakeBeforeReturning) {
    auto* service = Register<RecordingService>(401);
    io_service_t handle = Lookup("RecordingService")[0];
    PropertyList sent(Dictionary{
        {"PrimaryButtonMappings", PropertyList(Array{Int(1), Int(3), Int(-1)})},
        {"IsTarnMouse", Int(0)},
        {"Flag", PropertyList::MakeBoolean(true)},
        {"Name", PropertyList("x")},
    });
    EXPECT_EQ(IORegistryEntrySetCFProperties(handle, sent), KERN_SUCCESS);
    EXPECT_EQ(service->fReceived, sent);

    // The kernel has no reals: the request is refused as a whole.
    service->fReceived.reset();
    EXPECT_EQ(IORegistryEntrySetCFProperties(
                  handle, PropertyList(Dictionary{{"Speed", PropertyList::MakeReal(0.5)}})),
              kIOReturnBadArgument);
    EXPECT_FALSE(service->fReceived);
    EXPECT_NE(IORegistryEntrySetCFProperties(0, sent), KERN_SUCCESS);
}

TEST(OSPropertyListTest, NumbersKeepTheirWidthAcrossTheBoundary) {
    OSObject* big = CreateOSObject(Int(std::int64_t{1} << 40));
    OSObject* small = CreateOSObject(Int(-5));
    EXPECT_EQ(OSDynamicCast(OSNumber, big)->numberOfBits(), 64u);
    EXPECT_EQ(OSDynamicCast(OSNumber, small)->numberOfBits(), 32u);
    EXPECT_EQ(OSDynamicCast(OSNumber, small)->signed32BitValue(), -5);
    EXPECT_EQ(CreatePropertyList(big), Int(std::int64_t{1} << 40));
    EXPECT_EQ(CreatePropertyList(small), Int(-5));
    big->release();
    small->release();

    // Kernel values without a user form are left out; a self-containing
    // array does not recurse for ever.
    OSArray* array = OSArray::withCapacity(2);
    OSNumber* byte = OSNumber::withNumber(0xFF, 8);
    array->setObject(byte);
    array->setObject(array);
    std::optional<PropertyList> read = CreatePropertyList(array);
    ASSERT_TRUE(read && read->AsArray());
    EXPECT_EQ(read->AsArray()->front(), Int(-1));
    array->removeObject(1);
    array->release();
    byte->release();
}

TEST_F(RegistryTest, InterestMessagesArriveThroughThePortOnTheRunLoop) {
    auto* service = Register<RecordingService>(401);
    io_service_t handle = Lookup("RecordingService")[0];
    IONotificationPortRef port = IONotificationPortCreate(kIOMasterPortDefault);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                       kCFRunLoopDefaultMode);
    static std::vector<std::pair<io_service_t, natural_t>> received;
    received.clear();
    auto callback = [](void* refCon, io_service_t from, natural_t type, void*) {
        EXPECT_EQ(refCon, nullptr);
        received.emplace_back(from, type);
    };
    io_object_t notification = 0;
    ASSERT_EQ(IOServiceAddInterestNotification(port, handle, "IOGeneralInterest", callback, nullptr,
                                               &notification),
              KERN_SUCCESS);
    EXPECT_NE(IOServiceAddInterestNotification(port, handle, "IOBusyInterest", callback, nullptr,
                                               &notification),
              KERN_SUCCESS);

    service->messageClients(0x10);
    service->messageClients(255);
    EXPECT_TRUE(received.empty());  // not on the kernel's thread
    CFRunLoopGetCurrent()->RunUntilIdle();
    EXPECT_EQ(received,
              (std::vector<std::pair<io_service_t, natural_t>>{{handle, 0x10}, {handle, 255}}));

    // Releasing the notification drops what is queued and what comes later.
    service->messageClients(0x20);
    IOObjectRelease(notification);
    service->messageClients(0x04);
    CFRunLoopGetCurrent()->RunUntilIdle();
    EXPECT_EQ(received.size(), 2u);

    IOServiceAddInterestNotification(port, handle, "IOGeneralInterest", callback, nullptr,
                                     &notification);
    service->terminate();
    CFRunLoopGetCurrent()->RunUntilIdle();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received.back().second, kIOMessageServiceIsTerminated);
    IONotificationPortDestroy(port);
}

TEST_F(RegistryTest, HIDSystemParameterConnectionOpensWithType1Only) {
    Register<IOHIDSystem>(0);
    io_service_t hidSystem = Lookup("IOHIDSystem")[0];
    io_connect_t connect = 0;
    EXPECT_EQ(IOServiceOpen(hidSystem, mach_task_self(), 2, &connect), kIOReturnUnsupported);
    fRegistry->SetOpenRefused(true);
    EXPECT_NE(IOServiceOpen(hidSystem, mach_task_self(), kIOHIDParamConnectType, &connect),
              KERN_SUCCESS);
    fRegistry->SetOpenRefused(false);
    ASSERT_EQ(IOServiceOpen(hidSystem, mach_task_self(), kIOHIDParamConnectType, &connect),
              KERN_SUCCESS);
    EXPECT_TRUE(LookupOpenConnection(connect, kIOHIDParamConnectType));
    EXPECT_EQ(fRegistry->OpenConnectionCount(), 1);
    EXPECT_EQ(IOServiceClose(connect), KERN_SUCCESS);
    EXPECT_EQ(fRegistry->OpenConnectionCount(), 0);
    EXPECT_FALSE(LookupOpenConnection(connect, kIOHIDParamConnectType));

    // Dropping an open connection closes it.
    IOServiceOpen(hidSystem, mach_task_self(), kIOHIDParamConnectType, &connect);
    IOObjectRelease(connect);
    EXPECT_EQ(fRegistry->OpenConnectionCount(), 0);
    IOObjectRelease(hidSystem);
    EXPECT_EQ(LiveHandleCount(), 0u);
}

}  // namespace
}  // namespace platform
