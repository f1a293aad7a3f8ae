#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "HIDManager.h"
#include "IOKitTypes.h"
#include "KeyEventFilter.h"
#include "Registry.h"
#include "SettingsFile.h"

// The agent's file-level state. Touched only on the main thread.

// The agent's copy of the user's settings.
extern std::unique_ptr<ASettingsFile> sDeviceSettings;
// Matches the mice of the family.
extern platform::IOHIDManagerRef sHidManagerRef;
// Parameter connection to the HID system service; 0 when there is none.
extern platform::io_connect_t sHidConnection;
// Carries the driver instances' interest messages.
extern platform::IONotificationPortRef sDriverNotificationPort;

// The device list: room for two mice; entry i is in use when i < sNumDevices.
inline constexpr int kMaxDevices = 2;
extern std::array<platform::io_object_t, kMaxDevices> sOrvandelObject;
extern std::array<std::int32_t, kMaxDevices> sDevicePids;
extern std::int32_t sNumDevices;
extern std::array<platform::io_object_t, kMaxDevices> sInterestNotifs;

// Modifier flags held by modifier-key buttons, and the key-event filter that
// stamps them on key-down events.
extern std::uint64_t sEventFlags;
extern platform::CFMachPortRef sEventTap;
extern platform::CFRunLoopSourceRef sRunLoopSource;

// Ends the agent's whole state: destroys the device manager, drops the event
// tap, the interest notifications and the driver notification port, and puts
// every file-level variable back to its start. For tests and hosts that run
// the agent more than once in a process or tear its machine down after it.
void ResetAgentState();
