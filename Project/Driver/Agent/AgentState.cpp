#include "AgentState.h"

#include "AgentSettings.h"
#include "DeviceManager.h"

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

void ResetAgentStateForTesting() {
    ADeviceManager::DestroyDeviceManagerForTesting();
    gDeviceManager = nullptr;
    sDeviceSettings.reset();
    ResetFallbackSettings();
    sHidManagerRef = nullptr;
    sHidConnection = 0;
    sDriverNotificationPort = nullptr;
    sOrvandelObject = {};
    sDevicePids = {};
    sNumDevices = 0;
    sInterestNotifs = {};
    sEventFlags = 0;
    sEventTap = nullptr;
    sRunLoopSource = nullptr;
}
