#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HIDManager.h"
#include "HIDSystem.h"
#include "Logging.h"
#include "Power.h"
#include "PropertyListValues.h"
#include "Registry.h"
#include "Session.h"
#include "Signals.h"
#include "SimulatedMachine.h"
#include "SimulatedPower.h"

namespace platform {
namespace {

using namespace test;

class MachineTest : public ::testing::Test {
protected:
    std::vector<std::string> Lines(std::size_t from = 0) const {
        std::vector<std::string> lines;
        for (std::size_t i = from; i < fMachine.Log().size(); ++i) {
            lines.push_back(FormatMachineEvent(fMachine.Log()[i]));
        }
        return lines;
    }
    void Run() { fMachine.Loop().RunUntilIdle(); }

    // The first driver instance of the family, as the agent searches for it.
    static io_service_t FindDriver() {
        io_iterator_t iterator = 0;
        IOServiceGetMatchingServices(kIOMasterPortDefault,
                                     *IOServiceMatching("com_halvorin_OrvandelDriver"), &iterator);
        io_service_t service = IOIteratorNext(iterator);
        IOObjectRelease(iterator);
        return service;
    }

    io_connect_t OpenHIDSystem() {
        io_iterator_t iterator = 0;
        IOServiceGetMatchingServices(kIOMasterPortDefault, *IOServiceMatching("IOHIDSystem"),
                                     &iterator);
        io_service_t service = IOIteratorNext(iterator);
        IOObjectRelease(iterator);
        io_connect_t connect = 0;
        IOServiceOpen(service, mach_task_self(), kIOHIDParamConnectType, &connect);
        IOObjectRelease(service);
        return connect;
    }

    SimulatedMachine fMachine;
};

// The discovery of the agent: up to ten attempts, 0.2 seconds apart, from the
// HID manager's matching callback.
int gAttempts = 0;
io_service_t gFound = 0;
void SearchForDriver(void*, IOReturn, void*, IOHIDDeviceRef) {
    for (gAttempts = 1; gAttempts <= 10; ++gAttempts) {
        io_iterator_t iterator = 0;
        IOServiceGetMatchingServices(kIOMasterPortDefault,
                                     *IOServiceMatching("com_halvorin_OrvandelDriver"), &iterator);
        gFound = IOIteratorNext(iterator);
        IOObjectRelease(iterator);
        NSThreadSleepForTimeInterval(0.2);
        if (gFound != 0) {
            return;
        }
    }
}

struct LateDriver {
    double delay;
    int attempts;  // 11: never found
    double searchEnds;
};

class DiscoveryTest : public MachineTest, public ::testing::WithParamInterface<LateDriver> {};

TEST_P(DiscoveryTest, DriverThatComesLateIsFoundOnTheMatchingAttempt) {
    gAttempts = 0;
    gFound = 0;
    IOHIDManagerRef manager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerSetDeviceMatchingMultiple(
        manager, PropertyList(Array{PropertyList(Dictionary{
                     {"VendorID", Int(SimulatedMachine::kVendorId)}, {"ProductID", Int(401)}})}));
    IOHIDManagerRegisterDeviceMatchingCallback(manager, SearchForDriver, nullptr);
    IOHIDManagerScheduleWithRunLoop(manager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    IOHIDManagerOpen(manager, kIOHIDOptionsTypeNone);
    fMachine.PlugMouse(401, GetParam().delay);
    fMachine.Loop().Run();
    EXPECT_EQ(gAttempts, GetParam().attempts);
    EXPECT_EQ(gFound != 0, GetParam().attempts <= 10);
    EXPECT_NEAR(fMachine.Now(), std::max(GetParam().searchEnds, GetParam().delay), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Delays, DiscoveryTest,
                         ::testing::Values(LateDriver{0.0, 1, 0.2}, LateDriver{0.5, 4, 0.8},
                                           LateDriver{2.5, 11, 2.0}));

TEST_F(MachineTest, ReportsRunThroughTheDriverAndItsMessagesReachClientsLater) {
    MouseId mouse = fMachine.PlugMouse(401);
    io_service_t driver = FindDriver();
    PropertyList settings(
        Dictionary{{"PrimaryButtonMappings",
                    PropertyList(Array{Int(1), Int(3), Int(2), Int(7), Int(10), Int(26)})},
                   {"SecondaryButtonMappings", PropertyList(Array{Int(0), Int(0), Int(0), Int(0)})},
                   {"ReverseScrollDirectionKey", Int(1)},
                   {"IsTarnMouse", Int(0)}});
    // The intake's own result is the superclass's; the effect shows below.
    IORegistryEntrySetCFProperties(driver, settings);

    IONotificationPortRef port = IONotificationPortCreate(kIOMasterPortDefault);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                       kCFRunLoopDefaultMode);
    static std::vector<natural_t> messages;
    messages.clear();
    io_object_t notification = 0;
    IOServiceAddInterestNotification(
        port, driver, "IOGeneralInterest",
        [](void*, io_service_t, natural_t type, void*) { messages.push_back(type); }, nullptr,
        &notification);

    std::size_t start = fMachine.Log().size();
    fMachine.MoveMouse(mouse, 3, -2, 0x10);  // Copy: announced, not clicked
    fMachine.MoveMouse(mouse, 0, 0, 0x00);
    fMachine.ScrollMouse(mouse, 2);
    EXPECT_TRUE(messages.empty());
    Run();
    EXPECT_EQ(messages, (std::vector<natural_t>{0x10, 255}));
    EXPECT_EQ(Lines(start), (std::vector<std::string>{
                                "0.000 message mouse=1 type=0x10",
                                "0.000 pointer mouse=1 dx=3 dy=-2 buttons=0x00",
                                "0.000 message mouse=1 type=0xff",
                                "0.000 pointer mouse=1 dx=0 dy=0 buttons=0x00",
                                "0.000 scroll mouse=1 d1=-2 d2=0 d3=0",
                            }));

    start = fMachine.Log().size();
    fMachine.UnplugMouse(mouse);
    Run();
    EXPECT_EQ(messages.back(), kIOMessageServiceIsTerminated);
    const std::string vendor = std::to_string(SimulatedMachine::kVendorId);
    EXPECT_EQ(Lines(start), (std::vector<std::string>{
                                "0.000 message mouse=1 type=0xe0000010",
                                "0.000 driver-stop mouse=1 vendor=" + vendor + " product=401",
                                "0.000 unplug mouse=1 vendor=" + vendor + " product=401",
                            }));
    EXPECT_EQ(IORegistryEntrySetCFProperties(driver, settings), kIOReturnNoDevice);
    IOObjectRelease(notification);
    IOObjectRelease(driver);
    IONotificationPortDestroy(port);
}

TEST_F(MachineTest, InstancesAreCreatedOnlyForTheFamilysPersonalities) {
    fMachine.PlugMouse(401, 0.0, SimulatedMachine::kVendorId + 1);
    fMachine.PlugMouse(403);
    EXPECT_EQ(FindDriver(), 0u);
    MouseId stray = fMachine.AddDriverInstance(SimulatedMachine::kVendorId + 1, 401);
    io_service_t driver = FindDriver();
    ASSERT_NE(driver, 0u);
    PropertyList properties;
    IORegistryEntryCreateCFProperties(driver, &properties, kCFAllocatorDefault, 0);
    EXPECT_EQ(*properties.Find("VendorID"), Int(SimulatedMachine::kVendorId + 1));
    IOObjectRelease(driver);
    fMachine.UnplugMouse(stray);
    EXPECT_EQ(FindDriver(), 0u);
}

TEST_F(MachineTest, PostedEventsAndAccelerationsNeedAnOpenParameterConnection) {
    NXEventData data{};
    data.key.keyCode = 8;
    EXPECT_NE(IOHIDPostEvent(0, NX_KEYDOWN, {}, &data, 0, 0, 0), KERN_SUCCESS);
    io_connect_t connect = OpenHIDSystem();
    ASSERT_NE(connect, 0u);
    EXPECT_EQ(IOHIDPostEvent(connect, NX_FLAGSCHANGED, {}, &data, kNXEventDataVersion,
                             NX_COMMANDMASK, kIOHIDSetGlobalEventFlags),
              KERN_SUCCESS);
    IOHIDPostEvent(connect, NX_KEYDOWN, {}, &data, 0, 0, 0);
    IOHIDPostEvent(connect, NX_LMOUSEDOWN, {12, -3}, nullptr, 0, 0, 0);
    IOHIDSetAccelerationWithKey(connect, kIOHIDMouseAccelerationType, 0.875);
    IOServiceClose(connect);
    EXPECT_NE(IOHIDSetAccelerationWithKey(connect, kIOHIDMouseScrollAccelerationType, 3.0),
              KERN_SUCCESS);
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{
                  "0.000 flags-changed flags=0x100000 version=2 options=1 posted",
                  "0.000 key-down key=8 flags=0x0 version=0 options=0 posted",
                  "0.000 mouse-down x=12 y=-3 click=0 flags=0x0 version=0 options=0 posted",
                  "0.000 acceleration HIDMouseAcceleration=0.875",
              }));
    EXPECT_EQ(fMachine.HIDSystem().Acceleration(kIOHIDMouseAccelerationType), 0.875);

    fMachine.SetHIDSystemPresent(false);
    EXPECT_EQ(OpenHIDSystem(), 0u);
}

TEST_F(MachineTest, PowerMessagesArriveOnTheRunLoopAndAcknowledgementsAreRecorded) {
    struct Context {
        io_connect_t root = 0;
        std::vector<natural_t> seen;
    } context;
    IONotificationPortRef port = nullptr;
    io_object_t notifier = 0;
    context.root = IORegisterForSystemPower(
        &context, &port,
        [](void* refCon, io_service_t, natural_t type, void* argument) {
            auto* c = static_cast<Context*>(refCon);
            c->seen.push_back(type);
            if (type != kIOMessageSystemWillPowerOn) {
                IOAllowPowerChange(c->root, reinterpret_cast<std::intptr_t>(argument));
            }
        },
        &notifier);
    ASSERT_NE(context.root, 0u);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                       kCFRunLoopDefaultMode);
    fMachine.SleepSystem();
    fMachine.WakeSystem();
    EXPECT_TRUE(context.seen.empty());
    Run();
    EXPECT_EQ(context.seen,
              (std::vector<natural_t>{kIOMessageSystemWillSleep, kIOMessageSystemWillPowerOn,
                                      kIOMessageSystemHasPoweredOn}));
    EXPECT_FALSE(fMachine.Power().AllAcknowledged());
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "0.000 power message=0xe0000280",
                           "0.000 power message=0xe0000320",
                           "0.000 power message=0xe0000300",
                           "0.000 power-ack message=0xe0000280",
                           "0.000 power-ack message=0xe0000300",
                       }));

    EXPECT_EQ(IODeregisterForSystemPower(&notifier), kIOReturnSuccess);
    EXPECT_EQ(notifier, 0u);
    fMachine.SleepSystem();
    Run();
    EXPECT_EQ(context.seen.size(), 3u);
    IOServiceClose(context.root);
    IONotificationPortDestroy(port);

    fMachine.SetPowerRegistrationRefused(true);
    EXPECT_EQ(IORegisterForSystemPower(
                  &context, &port, [](void*, io_service_t, natural_t, void*) {}, &notifier),
              0u);
}

TEST_F(MachineTest, SessionNotificationsAndLogLinesAppearInOrderInOneLineEach) {
    std::vector<std::string> seen;
    SharedWorkspaceNotificationCenter().addObserver(
        this, [&](const NSNotification& n) { seen.push_back(n.name); }, {});
    fMachine.ResignSession();
    fMachine.At(1.5, [this] { fMachine.ActivateSession(); });
    fMachine.Loop().Run();
    EXPECT_EQ(seen, (std::vector<std::string>{
                        std::string(NSWorkspaceSessionDidResignActiveNotification),
                        std::string(NSWorkspaceSessionDidBecomeActiveNotification)}));
    SystemLog("PrepareForSleep");
    StandardError("IOServiceGetMatchingServices returned 5\n");
    PropertyList info(Dictionary{{"IsTarn", PropertyList::MakeBoolean(false)}});
    CFNotificationCenterPostNotification(CFNotificationCenterGetDistributedCenter(),
                                         "DeviceAttached", nullptr, &info, false);
    CFNotificationCenterPostNotification(CFNotificationCenterGetDistributedCenter(),
                                         "PrefPaneStarted", "PrefChange", nullptr, true);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "0.000 session inactive",
                           "1.500 session active",
                           "1.500 syslog PrepareForSleep",
                           "1.500 stderr IOServiceGetMatchingServices returned 5",
                           "1.500 notification name=DeviceAttached object=- "
                           "userInfo={\"IsTarn\": false} immediate=no",
                           "1.500 notification name=PrefPaneStarted object=PrefChange "
                           "userInfo=- immediate=yes",
                       }));
}

int gSignalled = 0;

TEST_F(MachineTest, InterruptRunsItsHandlerFromTheRunLoopAndExitStopsIt) {
    gSignalled = 0;
    ASSERT_TRUE(InstallSignalHandler(kSignalInterrupt, [](int signal) {
        gSignalled = signal;
        ExitImmediately(0);
    }));
    fMachine.At(5.0, [this] { fMachine.Interrupt(); });
    fMachine.At(9.0, [] { FAIL() << "the loop should have stopped"; });
    fMachine.Loop().Run();
    EXPECT_EQ(gSignalled, kSignalInterrupt);
    EXPECT_EQ(fMachine.ExitStatus(), 0);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"5.000 signal 2", "5.000 exit status=0"}));

    fMachine.SetSignalHandlerRefused(true);
    EXPECT_FALSE(InstallSignalHandler(kSignalInterrupt, [](int) {}));
}

}  // namespace
}  // namespace platform
