#pragma once

#include <cstdint>

#include "HIDManager.h"
#include "IOKitTypes.h"

// Finding the mice of the family and their driver instances.

// The HID manager's callbacks: a mouse of the family came or went. No
// argument is used; the manager only signals.
void HandleDeviceMatchingCallback(void* context, platform::IOReturn result, void* sender,
                                  platform::IOHIDDeviceRef device);
void HandleDeviceRemovalCallback(void* context, platform::IOReturn result, void* sender,
                                 platform::IOHIDDeviceRef device);

// A driver instance of the family that is not yet in the device list, or 0.
platform::io_object_t FindOrvandel();
// The product id of a registry entry, or 0.
std::int32_t GetDevicePid(platform::io_object_t handle);
// Looks up every driver instance by class name.
platform::kern_return_t FindDevices(platform::io_iterator_t* iterator);

// Both entries and the count to 0; the mice the HID manager reported are
// forgotten too (it reports them again once reopened).
void EmptyDeviceList();

// How long a matched mouse's driver instance is searched for.
inline constexpr int kDriverSearchAttempts = 10;
inline constexpr double kDriverSearchInterval = 0.2;
