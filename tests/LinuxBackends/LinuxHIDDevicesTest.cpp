#include <gtest/gtest.h>
#include <poll.h>
#include <umockdev.h>

#include <memory>
#include <string>
#include <vector>

#include "LinuxHIDDevices.h"

namespace {

using platform::HIDDevice;

// Runs under libumockdev's preload: udev then reads a test bed, not the
// machine's devices.
class LinuxHIDDevicesTest : public testing::Test, public platform::HIDDeviceBackend::Listener {
protected:
    void SetUp() override {
        fBed = umockdev_testbed_new();
        if (!umockdev_in_mock_environment()) {
            GTEST_SKIP() << "needs the umockdev preload";
        }
    }
    void TearDown() override {
        if (fBed != nullptr) {
            g_object_unref(fBed);
        }
    }

    std::string AddUsb(const char* name, const char* vendor, const char* product) {
        gchar* path =
            umockdev_testbed_add_device(fBed, "usb", name, nullptr, "idVendor", vendor, "idProduct",
                                        product, nullptr, "DEVTYPE", "usb_device", nullptr);
        std::string result(path);
        g_free(path);
        return result;
    }

    // Waits (bounded) for the monitor, then lets the backend report.
    static void Pump(platform::LinuxHIDDevices& devices) {
        pollfd descriptor{devices.Descriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&descriptor, 1, 5000), 1);
        devices.Dispatch();
    }

    void DeviceArrived(const HIDDevice& device) override { fLog.push_back("+" + Name(device)); }
    void DeviceRemoved(const HIDDevice& device) override { fLog.push_back("-" + Name(device)); }
    void BackendGone() override { fLog.push_back("gone"); }
    static std::string Name(const HIDDevice& device) {
        return std::to_string(device.id) + ":" + std::to_string(device.vendorId) + "/" +
               std::to_string(device.productId);
    }

    UMockdevTestbed* fBed = nullptr;
    std::vector<std::string> fLog;
};

TEST_F(LinuxHIDDevicesTest, EnumeratesThenFollowsPlugAndUnplug) {
    AddUsb("1-1", "fff0", "0191");
    AddUsb("1-2", "zz", "0191");  // unreadable id: not a device to report
    platform::LinuxHIDDevices devices;
    ASSERT_TRUE(devices.IsOpen());
    devices.AddListener(this);
    ASSERT_EQ(devices.PresentDevices().size(), 1u);
    EXPECT_EQ(devices.PresentDevices()[0].productId, 401);

    const std::string second = AddUsb("1-3", "fff0", "0195");
    umockdev_testbed_uevent(fBed, second.c_str(), "add");
    Pump(devices);
    umockdev_testbed_uevent(fBed, second.c_str(), "remove");
    Pump(devices);
    EXPECT_EQ(fLog, (std::vector<std::string>{"+2:65520/405", "-2:65520/405"}));
    devices.RemoveListener(this);
}

TEST_F(LinuxHIDDevicesTest, WithdrawnDevicesComeBackWithNewIdsAndStayQuietMeanwhile) {
    const std::string first = AddUsb("1-1", "fff0", "0191");
    platform::LinuxHIDDevices devices;
    devices.AddListener(this);
    devices.Withdraw();
    devices.Withdraw();
    EXPECT_TRUE(devices.PresentDevices().empty());
    const std::string second = AddUsb("1-2", "fff0", "0192");
    umockdev_testbed_uevent(fBed, second.c_str(), "add");
    Pump(devices);
    umockdev_testbed_uevent(fBed, first.c_str(), "remove");
    Pump(devices);
    devices.Restore();
    EXPECT_EQ(fLog, (std::vector<std::string>{"-1:65520/401", "+3:65520/402"}));
    devices.RemoveListener(this);
}

}  // namespace
