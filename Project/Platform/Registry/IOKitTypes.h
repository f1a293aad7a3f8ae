#pragma once

#include <cstdint>

namespace platform {

// User-side handles are 32-bit names in the program's own name space.
using kern_return_t = std::int32_t;
using IOReturn = kern_return_t;
using IOOptionBits = std::uint32_t;
using natural_t = std::uint32_t;
using mach_port_t = std::uint32_t;
using task_port_t = mach_port_t;
using io_object_t = mach_port_t;
using io_service_t = io_object_t;
using io_iterator_t = io_object_t;
using io_registry_entry_t = io_object_t;
using io_connect_t = io_object_t;

inline constexpr mach_port_t MACH_PORT_NULL = 0;
inline constexpr mach_port_t kIOMasterPortDefault = 0;
inline constexpr mach_port_t bootstrap_port = 0;

inline constexpr kern_return_t KERN_SUCCESS = 0;
// A handle that names nothing (never issued, or already released).
inline constexpr kern_return_t MACH_SEND_INVALID_DEST = 0x10000003;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xE00002BC);
inline constexpr IOReturn kIOReturnNoMemory = static_cast<IOReturn>(0xE00002BD);
inline constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xE00002C0);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xE00002C2);
inline constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xE00002C7);
inline constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xE00002CD);
inline constexpr IOReturn kIOReturnNotAttached = static_cast<IOReturn>(0xE00002D9);
inline constexpr IOReturn kIOReturnNotPermitted = static_cast<IOReturn>(0xE00002E2);
inline constexpr IOReturn kIOReturnNotFound = static_cast<IOReturn>(0xE00002F0);

// Service messages of the platform itself, next to the drivers' own codes.
inline constexpr natural_t kIOMessageServiceIsTerminated = 0xE0000010;

// Connection type of the HID system's parameter connection.
inline constexpr std::uint32_t kIOHIDParamConnectType = 1;

// The agent's own task, for IOServiceOpen.
task_port_t mach_task_self();

}  // namespace platform
