#include "AgentState.h"

#include "AgentSettings.h"
#include "DeviceDiscovery.h"
#include "DeviceManager.h"
#include "EventTap.h"

std::unique_ptr<ASettingsFile> sDeviceSettings;
platform::IOHIDManagerRef sHidManagerRef = nullptr;
platform::io_connect_t sHidConnection = 0;
platform::IONotificationPortRef sDriverNotificationPort = nullptr;

std::array<platform::io_object_t, kMaxDevices> sOrvandelObject = {};
std::array<std::int32_t, kMaxDevices> sDevicePids = {};
std::int32_t sNumDevices = 0;
std::array<platform::io_object_t, kMaxDevices> sInterestNotifs = {};

std::uint64_t sEventFlags = 0;
platform::CFMachPortRef sEventTap = nullptr;
platform::CFRunLoopSourceRef sRunLoopSource = nullptr;

void ResetAgentState() {
    ADeviceManager::DestroyDeviceManager();
    gDeviceManager = nullptr;
    sDeviceSettings.reset();
    ResetFallbackSettings();
    sHidManagerRef.reset();
    if (sHidConnection != 0) {
        platform::IOServiceClose(sHidConnection);
        platform::IOObjectRelease(sHidConnection);
        sHidConnection = 0;
    }
    RemoveEventTap();
    for (auto& notification : sInterestNotifs) {
        if (notification != 0) {
            platform::IOObjectRelease(notification);
            notification = 0;
        }
    }
    EmptyDeviceList();
    sDevicePids = {};
    if (sDriverNotificationPort != nullptr) {
        platform::IONotificationPortDestroy(sDriverNotificationPort);
        sDriverNotificationPort = nullptr;
    }
}
