#include <gtest/gtest.h>

#include <vector>

#include "HIDManager.h"
#include "SimulatedClock.h"
#include "SimulatedHIDDevices.h"

namespace platform {
namespace {

struct Report {
    bool matched;
    std::int32_t productId;
    bool operator==(const Report&) const = default;
};
std::vector<Report> gReports;

void Matched(void*, IOReturn, void*, IOHIDDeviceRef device) {
    gReports.push_back({true, device->productId});
}
void Removed(void*, IOReturn, void*, IOHIDDeviceRef device) {
    gReports.push_back({false, device->productId});
}

PropertyList Matching(std::int64_t vendor, std::int64_t product) {
    return PropertyList(
        PropertyList::Dictionary{{"VendorID", PropertyList::MakeInteger(vendor)},
                                 {"ProductID", PropertyList::MakeInteger(product)}});
}

class HIDManagerTest : public ::testing::Test {
protected:
    HIDManagerTest() {
        fPreviousLoop = InstallRunLoopBackend(std::make_unique<SimulatedClock>());
        auto devices = std::make_unique<SimulatedHIDDevices>();
        fDevices = devices.get();
        fPreviousDevices = InstallHIDDeviceBackend(std::move(devices));
        gReports.clear();
        fManager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
        IOHIDManagerSetDeviceMatchingMultiple(
            fManager, PropertyList(PropertyList::Array{Matching(7, 401), Matching(7, 405)}));
        IOHIDManagerRegisterDeviceMatchingCallback(fManager, Matched, nullptr);
        IOHIDManagerRegisterDeviceRemovalCallback(fManager, Removed, nullptr);
        IOHIDManagerScheduleWithRunLoop(fManager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }
    ~HIDManagerTest() override {
        fManager.reset();
        InstallHIDDeviceBackend(std::move(fPreviousDevices));
        InstallRunLoopBackend(std::move(fPreviousLoop));
    }
    void Run() { CFRunLoopGetCurrent()->RunUntilIdle(); }

    SimulatedHIDDevices* fDevices;
    IOHIDManagerRef fManager;
    std::unique_ptr<RunLoopBackend> fPreviousLoop;
    std::unique_ptr<HIDDeviceBackend> fPreviousDevices;
};

TEST_F(HIDManagerTest, ReportsMatchingMiceIncludingThosePresentAtOpen) {
    fDevices->Plug(7, 401);
    fDevices->Plug(7, 402);  // not in the dictionaries
    fDevices->Plug(8, 405);  // another vendor
    IOHIDManagerOpen(fManager, kIOHIDOptionsTypeNone);
    EXPECT_TRUE(gReports.empty());  // later, from the run loop
    Run();
    EXPECT_EQ(gReports, (std::vector<Report>{{true, 401}}));

    std::uint64_t tarn = fDevices->Plug(7, 405);
    fDevices->Unplug(tarn);
    Run();
    EXPECT_EQ(gReports, (std::vector<Report>{{true, 401}, {true, 405}, {false, 405}}));
}

TEST_F(HIDManagerTest, ClearedCallbacksAndCloseDropPendingReports) {
    IOHIDManagerOpen(fManager, kIOHIDOptionsTypeNone);
    std::uint64_t mouse = fDevices->Plug(7, 401);
    IOHIDManagerRegisterDeviceMatchingCallback(fManager, nullptr, nullptr);
    Run();
    EXPECT_TRUE(gReports.empty());

    IOHIDManagerRegisterDeviceMatchingCallback(fManager, Matched, nullptr);
    fDevices->Unplug(mouse);
    fDevices->Plug(7, 405);
    IOHIDManagerUnscheduleFromRunLoop(fManager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    Run();
    EXPECT_TRUE(gReports.empty());  // unscheduled: the reports wait
    IOHIDManagerScheduleWithRunLoop(fManager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    Run();
    EXPECT_EQ(gReports, (std::vector<Report>{{false, 401}, {true, 405}}));

    fDevices->Plug(7, 401);
    IOHIDManagerClose(fManager, kIOHIDOptionsTypeNone);
    fDevices->Plug(7, 401);
    Run();
    EXPECT_EQ(gReports.size(), 2u);
}

TEST_F(HIDManagerTest, ManagersOutliveTheirBackend) {
    IOHIDManagerOpen(fManager, kIOHIDOptionsTypeNone);
    fDevices->Plug(7, 401);
    InstallHIDDeviceBackend(std::make_unique<SimulatedHIDDevices>());
    Run();
    EXPECT_TRUE(gReports.empty());
    EXPECT_EQ(IOHIDManagerClose(fManager, kIOHIDOptionsTypeNone), kIOReturnNotOpen);
}

}  // namespace
}  // namespace platform
